#pragma once
#include "Core/CString.h"
#include "Core/CStringList.h"

#include <cstdio>
#include <vector>

namespace tal {

class CError;

// Checks the words of a command line against a set of argument definitions, assigns each word to its
// definition, validates the values by type and prints a help text. For command-line tools built on
// the framework; one object per command line, used on one thread.
// Required arguments are given by position, strictly left to right; optional ones anywhere, as
// "--long", "--long=value", "-x", "-xvalue" or "-x value". The definition "-h"/"--help" is always
// there: it prints the full help and ends the check with an error whose message is empty.
class CArguments {
public:
    // Value types and their checks.
    enum Type {
        kText = 0,            // not validated
        kFileName = 1,        // no control characters; "\" becomes "/"; not empty, not ending in "/"
        kFileNameOrEmpty = 2, // as kFileName, but may be empty
        kFolder = 3,          // no control characters; "\" becomes "/"; a non-empty value gets a final "/"
        kIdentifier = 4,      // a C identifier
        kSwitch = 5,          // a boolean, lower-cased; a switch given without a value is "true"
        kInteger = 6,         // parseInt
        kReal = 7,            // parseDouble
    };

    // One argument definition and what the command line gave for it.
    struct Definition {
        char shortName = 0;       // optional arguments: after one dash; 0 for none
        CString name;             // required: the name in the help; optional: the long name after "--"
        int type = kText;
        CString description;
        CString value;            // the value given (after the type's conversion)
        int position = 0;         // command-line position (from 1) where it was given; 0 when not given
    };

    // --- life cycle ---
    // argv[0] is the program path; the words are argv[1] to argv[argc - 1]. version and notice go
    // into the help's first line, description below the usage line.
    CArguments(int argc, const char* const* argv, const CString& version, const CString& notice,
               const CString& description);
    CArguments(const CArguments&) = delete;
    CArguments& operator=(const CArguments&) = delete;

    // --- definitions (before check) ---
    void addRequired(const CString& name, int type, const CString& description);
    void addOptional(char shortName, const CString& longName, int type, const CString& description);
    // The help goes to standard output unless set otherwise; not owned.
    void setOutput(std::FILE* out) noexcept { mOut = out; }

    // --- operations ---
    // Assigns every word to a definition and validates the values. Errors name the word and its
    // position; after "--help"/"-h" or a command line without words (when arguments are required)
    // the help was printed and the error's message is empty.
    [[nodiscard]] CError* check();
    // Prints the help: the short form (header, usage, description) or the full one with every
    // definition's description.
    void printHelp(bool full);

    // --- results (after check) ---
    const Definition& getRequired(int index) const { return mRequired[std::size_t(index)]; }
    // The optional definition of a long name, or null.
    const Definition* findOptional(const CString& longName) const noexcept;
    bool isGiven(const CString& longName) const noexcept;
    // The words not consumed by check (none after a successful check).
    const CStringList& getWords() const noexcept { return mWords; }

private:
    Definition* findLong(const CString& name) noexcept;
    Definition* findShort(std::uint32_t c) noexcept;
    [[nodiscard]] CError* parseArgValue(Definition& def);
    void printWrapped(const CString& text, bool indented);

    CString mProgram;                         // the file name part of argv[0]
    CString mVersion;
    CString mNotice;
    CString mDescription;
    CStringList mWords;
    std::vector<Definition> mRequired;
    std::vector<Definition> mOptional;        // the help first
    std::FILE* mOut = stdout;                 // not owned
};

} // namespace tal

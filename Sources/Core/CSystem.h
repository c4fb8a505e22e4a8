#pragma once
#include "Core/CByteBuffer.h"
#include "Core/CSortedMap.h"
#include "Core/CString.h"
#include "Core/CStringList.h"

#include <cstdint>
#include <string>
#include <vector>

namespace tal {

class CError;

// An entry of a folder listing: the name within its folder, and whether it is a folder.
struct CSystemFileEntry {
    CString name;
    bool isFolder = false;
};

// The framework's static operations on the operating system: the plug-in bundle's paths, the
// user's preferences folder, folder and file queries, folder creation, file-name extensions, class
// identifier text and wildcard matching. Stateless apart from the two bundle strings, which
// start-up sets once before any other use; any thread afterwards.
class CSystem {
public:
    CSystem() = delete;

    // The plug-in bundle (the "Delmaro.vst3" folder, no trailing '/') and the folder holding it
    // (with a trailing '/'). Empty until initBundlePath.
    static CString bundlePath;
    static CString bundleFolder;

    // Finds the shared object that holds this code (dladdr) and sets bundlePath to the enclosing
    // "<name>.vst3" folder when the object sits in "<name>.vst3/Contents/<arch>/", else to the
    // object's own path. bundleFolder is set from it only while empty.
    static void initBundlePath();

    // The user's configuration folder with a trailing '/': $XDG_CONFIG_HOME, else $HOME/.config;
    // empty when neither is known. Tests point it elsewhere with setUserPreferencesFolderForTest.
    static CString getUserPreferencesFolder();
    // The system-wide configuration folder, "/etc/xdg/".
    static CString getLocalPreferencesFolder();
    // A non-empty folder replaces the one above (with a trailing '/' added when missing); an empty
    // one restores it. Tests only.
    static void setUserPreferencesFolderForTest(const CString& folder);

    // Whether the path names a folder that can be opened; an empty path counts as existing.
    static bool folderExists(const CString& path);
    // Whether the path exists; an empty path counts as existing.
    static bool fileExists(const CString& path);
    // Creates every missing folder along the path (mode 0755), split at '/' or '\'. False for an
    // empty path or when a folder cannot be made (the ones made before stay).
    static bool createFolders(const CString& path);
    // The lower-cased text after the last '.', empty when there is none.
    static CString getFileExt(const CString& name);
    // Reads a 36-character class identifier text (hyphens at 8, 13, 18 and 23 not examined) into
    // 16 bytes in text order. False for a shorter text or a non-hexadecimal digit; bytes start zeroed.
    static bool parseUUID(const CString& text, std::uint8_t bytes[16]);
    // The working folder with a trailing '/'.
    static CString getCurrentFolder();
    // Removes a file; true on success.
    static bool removeFile(const CString& path);
    // Renames a file, replacing newPath; true on success.
    static bool renameFile(const CString& oldPath, const CString& newPath);

    // An absolute path: a relative one is taken from the working folder; '\' becomes '/', "/./"
    // and "/<component>/../" are resolved ("." or ".." as the last component stay). Empty for empty.
    static CString makeAbsolutePath(const CString& path);
    // Cleans separators in place: blanks before the first separator are dropped, runs of '/' or
    // '\' become one '/', a drive ':' is followed by '/', other paths start with '/', an empty
    // path becomes "/"; with trailingSlash a final '/' is added when missing.
    static void normalizePath(CString& path, bool trailingSlash);
    // The modification time in whole seconds; false when the path cannot be examined.
    static bool getFileTime(const CString& path, std::int64_t& seconds);
    // True when either path cannot be examined or a was modified before b.
    static bool isOlder(const CString& a, const CString& b);
    // Removes an empty folder; true on success.
    static bool removeFolder(const CString& path);
    // Lists a folder's files (and, with recursive, its sub-folders' files; with includeFolders also
    // the sub-folders themselves) into map, keyed by full path. Names starting with '.' are skipped;
    // a file is kept when its lower-cased name matches no exclude pattern and, when there are
    // include patterns, one of them. An empty folder means "./". Returns an error when a folder
    // cannot be opened; the entries collected before stay.
    [[nodiscard]] static CError* collectFiles(const CString& folder, bool recursive, bool includeFolders,
                                              CSortedMap<CString, CSystemFileEntry>& map,
                                              const CStringList& includePatterns, const CStringList& excludePatterns);
    // The error's lines, each followed by a line feed (empty for no error); frees the error.
    static CString getErrorText(CError* error);
    // Prints the error's lines to standard output after a line feed, when its first line is not
    // empty; frees the error.
    static void printError(CError* error);

    // --- messages to the user (blocking; any thread but the audio thread) ---
    // A notice with one button: level 0 is an error, 1 a warning, others information. Shown by
    // zenity, else by kdialog; when neither is installed it is written to the log instead.
    static void showNotice(const CString& title, const CString& text, int level);
    // A question with two buttons; true when the user chose the default button. False when it was
    // not answered (closed, or no dialog program: then the question is written to the log).
    static bool askYesNo(const CString& title, const CString& text, const CString& defaultButton,
                         const CString& alternateButton);
    // Runs a program (argv[0] looked up on PATH; no shell, each argument passed as it stands) and
    // waits for it: its exit status, 128 + the signal when a signal ended it, or -1 when it could
    // not be started.
    static int runProgram(const std::vector<std::string>& argv);
    // Replaces runProgram for the two messages above (null restores it). Tests only.
    using CProgramRunner = int (*)(const std::vector<std::string>& argv);
    static void setProgramRunnerForTest(CProgramRunner runner);

    // A path as the system takes it: NUL-terminated UTF-8 with every '\' turned into '/'.
    static CByteBuffer toSystemPath(const CString& path);
    // A path handed back by the system (UTF-8) as a string: 8-bit while every character is below 256.
    static CString fromSystemPath(const char* utf8);
};

// Matches text from position start against a pattern of literal characters, '?' (any one) and
// '*' (any run, also empty); case-sensitive, no escapes. Patterns are NUL-terminated.
bool matchWildcard(const CString& text, const char* pattern, int start = 0);
bool matchWildcard(const CString& text, const char32_t* pattern, int start = 0);

} // namespace tal

#pragma once
#include "Core/CByteBuffer.h"
#include "Core/CString.h"

#include <cstdint>

namespace tal {

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

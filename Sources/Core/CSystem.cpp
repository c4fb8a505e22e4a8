#include "Core/CSystem.h"

#include "Core/CWriteSeqBuffer.h"

#include <dirent.h>
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace tal {

CString CSystem::bundlePath;
CString CSystem::bundleFolder;

namespace {

CString gPreferencesOverride;   // tests only

// Position of the last '/' in text, or -1.
int lastSlash(const CString& text) { return text.findLast(CString("/")); }

bool endsWith(const CString& text, const char* suffix) {
    const int n = int(std::strlen(suffix));
    return text.length() >= n && CString(text, text.length() - n, n).equals(suffix);
}

CString withTrailingSlash(const CString& folder) {
    if (folder.isEmpty() || folder.charAt(folder.length() - 1) == '/')
        return folder;
    return CString(folder, "/");
}

template <class StrChar, class PatChar>
bool matchFrom(const StrChar* s, int length, int pos, const PatChar* p) {
    for (;;) {
        if (*p == 0)
            return pos == length;
        if (*p == '*') {
            while (*p == '*')
                ++p;
            if (*p == 0)
                return true;
            if (pos == length)
                return false;
            for (int i = pos; i < length; ++i)
                if ((*p == '?' || std::uint32_t(s[i]) == std::uint32_t(*p)) && matchFrom(s, length, i, p))
                    return true;
            return false;
        }
        if (pos == length)
            return false;
        if (*p != '?' && std::uint32_t(s[pos]) != std::uint32_t(*p))
            return false;
        ++pos;
        ++p;
    }
}

template <class PatChar>
bool matchAny(const CString& text, const PatChar* pattern, int start) {
    if (start < 0 || start > text.length())
        return false;
    if (text.isWide())
        return matchFrom(text.chars32(), text.length(), start, pattern);
    return matchFrom(reinterpret_cast<const unsigned char*>(text.chars8()), text.length(), start, pattern);
}

int hexDigit(std::uint32_t c) {
    if (c >= '0' && c <= '9')
        return int(c - '0');
    if (c >= 'a' && c <= 'f')
        return int(c - 'a' + 10);
    if (c >= 'A' && c <= 'F')
        return int(c - 'A' + 10);
    return -1;
}

} // namespace

CByteBuffer CSystem::toSystemPath(const CString& path) {
    CWriteSeqBuffer utf8;
    CError* err = path.isWide() ? utf8.writeText32(path.chars32(), true) : utf8.writeText8(path.chars8(), true);
    (void)err;   // an in-memory buffer never fails
    CByteBuffer out;
    utf8.moveTo(out);
    for (std::int32_t i = 0; i < out.size(); ++i)
        if (out.data()[i] == '\\')
            out.data()[i] = '/';
    return out;
}

CString CSystem::fromSystemPath(const char* utf8) {
    CString s;
    s.setUTF8(utf8, int(std::strlen(utf8)));
    return s;
}

void CSystem::initBundlePath() {
    Dl_info info{};
    if (dladdr(reinterpret_cast<void*>(&CSystem::initBundlePath), &info) == 0 || info.dli_fname == nullptr)
        return;
    char* resolved = realpath(info.dli_fname, nullptr);
    CString object = fromSystemPath(resolved ? resolved : info.dli_fname);
    std::free(resolved);
    // <bundle>.vst3/Contents/<arch>/<binary>: the bundle is three levels up.
    CString bundle = object;
    for (int level = 0; level < 3; ++level) {
        const int slash = lastSlash(bundle);
        if (slash <= 0) {
            bundle = object;
            break;
        }
        bundle = CString(bundle, 0, slash);
    }
    bundlePath = endsWith(bundle, ".vst3") ? bundle : object;
    const int slash = lastSlash(bundlePath);
    if (bundleFolder.isEmpty() && slash >= 0)
        bundleFolder = CString(bundlePath, 0, slash + 1);
}

CString CSystem::getUserPreferencesFolder() {
    if (!gPreferencesOverride.isEmpty())
        return gPreferencesOverride;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && xdg[0] == '/')
        return withTrailingSlash(fromSystemPath(xdg));
    if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != 0)
        return CString(withTrailingSlash(fromSystemPath(home)), ".config/");
    return CString();
}

CString CSystem::getLocalPreferencesFolder() { return CString("/etc/xdg/"); }

void CSystem::setUserPreferencesFolderForTest(const CString& folder) { gPreferencesOverride = withTrailingSlash(folder); }

bool CSystem::folderExists(const CString& path) {
    if (path.isEmpty())
        return true;
    DIR* dir = opendir(reinterpret_cast<const char*>(toSystemPath(path).data()));
    if (dir == nullptr)
        return false;
    closedir(dir);
    return true;
}

bool CSystem::fileExists(const CString& path) {
    return path.isEmpty() || access(reinterpret_cast<const char*>(toSystemPath(path).data()), F_OK) == 0;
}

bool CSystem::createFolders(const CString& path) {
    if (path.isEmpty())
        return false;
    CString running;
    int start = 0;
    const int n = path.length();
    for (int i = 0; i <= n; ++i) {
        const std::uint32_t c = i < n ? path.charAt(i) : 0;
        if (i < n && c != '/' && c != '\\')
            continue;
        if (i == start) {   // a leading or doubled separator
            if (i < n)
                running.append("/");
            start = i + 1;
            continue;
        }
        running.append(CString(path, start, i - start));
        const bool drive = running.charAt(running.length() - 1) == ':';
        if (drive)
            running.append("/");
        if (!drive && !folderExists(running) &&
            mkdir(reinterpret_cast<const char*>(toSystemPath(running).data()), 0755) != 0)
            return false;
        if (!drive)
            running.append("/");
        start = i + 1;
    }
    return true;
}

CString CSystem::getFileExt(const CString& name) {
    const int dot = name.findLast(CString("."));
    if (dot < 0)
        return CString();
    return CString(name, dot + 1, -1).toLower();
}

bool CSystem::parseUUID(const CString& text, std::uint8_t bytes[16]) {
    std::memset(bytes, 0, 16);
    if (text.length() < 36)
        return false;
    int digit = 0;
    for (int i = 0; i < 36; ++i) {
        if (i == 8 || i == 13 || i == 18 || i == 23)
            continue;
        const int v = hexDigit(text.charAt(i));
        if (v < 0)
            return false;
        bytes[digit / 2] = std::uint8_t(bytes[digit / 2] | (digit % 2 == 0 ? v << 4 : v));
        ++digit;
    }
    return true;
}

CString CSystem::getCurrentFolder() {
    char buffer[4096];
    if (getcwd(buffer, sizeof buffer) == nullptr)
        return CString();
    return withTrailingSlash(fromSystemPath(buffer));
}

bool CSystem::removeFile(const CString& path) {
    return std::remove(reinterpret_cast<const char*>(toSystemPath(path).data())) == 0;
}

bool CSystem::renameFile(const CString& oldPath, const CString& newPath) {
    return std::rename(reinterpret_cast<const char*>(toSystemPath(oldPath).data()),
                       reinterpret_cast<const char*>(toSystemPath(newPath).data())) == 0;
}

bool matchWildcard(const CString& text, const char* pattern, int start) {
    return matchAny(text, reinterpret_cast<const unsigned char*>(pattern), start);
}

bool matchWildcard(const CString& text, const char32_t* pattern, int start) { return matchAny(text, pattern, start); }

} // namespace tal

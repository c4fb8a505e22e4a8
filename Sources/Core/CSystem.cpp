#include "Core/CSystem.h"

#include "Core/CError.h"
#include "Core/CWriteSeqBuffer.h"

#include "Core/Log.h"

#include <dirent.h>
#include <dlfcn.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>

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

CString CSystem::makeAbsolutePath(const CString& path) {
    if (path.isEmpty())
        return CString();
    CString text;
    const std::uint32_t first = path.charAt(0);
    if (first != '/' && first != '\\')
        text = getCurrentFolder();
    text.append(path);
    for (int i = 0; i < text.length(); ++i)
        if (text.charAt(i) == '\\')
            text.replace(i, 1, CString("/"));
    const CString dot("/./"), dotDot("/../"), slash("/");
    for (int at = text.find(dot); at >= 0; at = text.find(dot))
        text.replace(at, 3, slash);
    for (int at = text.find(dotDot); at >= 0; at = text.find(dotDot)) {
        const int before = at > 0 ? text.findLast(slash, at - 1) : -1;
        if (before < 0)
            text.replace(at, 4, slash);
        else
            text.replace(before + 1, at + 4 - (before + 1), CString());
    }
    return text;
}

void CSystem::normalizePath(CString& path, bool trailingSlash) {
    CString out;
    bool separatorWritten = false;
    int lastColon = -1;
    for (int i = 0; i < path.length(); ++i) {
        const std::uint32_t c = path.charAt(i);
        if (c == ' ' && !separatorWritten)
            continue;
        if (c == '/' || c == '\\') {
            if (out.length() > 0 && out.charAt(out.length() - 1) == '/')
                continue;
            out.append("/");
            separatorWritten = true;
            continue;
        }
        if (c == ':')
            lastColon = out.length();
        out.appendSub(path, i, 1);
    }
    if (!out.isEmpty() && lastColon >= 0) {
        if (lastColon + 1 >= out.length())
            out.append("/");
        else if (out.charAt(lastColon + 1) != '/')
            out.replace(lastColon + 1, 0, CString("/"));
    } else if (!out.isEmpty() && out.charAt(0) != '/') {
        out.replace(0, 0, CString("/"));
    } else if (out.isEmpty()) {
        out = "/";
    }
    if (trailingSlash && out.charAt(out.length() - 1) != '/')
        out.append("/");
    path = out;
}

bool CSystem::getFileTime(const CString& path, std::int64_t& seconds) {
    struct stat info {};
    if (stat(reinterpret_cast<const char*>(toSystemPath(path).data()), &info) != 0)
        return false;
    seconds = std::int64_t(info.st_mtime);
    return true;
}

bool CSystem::isOlder(const CString& a, const CString& b) {
    std::int64_t ta = 0, tb = 0;
    if (!getFileTime(a, ta) || !getFileTime(b, tb))
        return true;
    return ta < tb;
}

bool CSystem::removeFolder(const CString& path) {
    return rmdir(reinterpret_cast<const char*>(toSystemPath(path).data())) == 0;
}

namespace {

bool matchesAny(const CString& name, const CStringList& patterns) {
    for (int i = 0; i < patterns.count(); ++i) {
        const CString& pattern = patterns[i];
        const bool match = pattern.isWide() ? matchWildcard(name, pattern.chars32()) : matchWildcard(name, pattern.chars8());
        if (match)
            return true;
    }
    return false;
}

} // namespace

CError* CSystem::collectFiles(const CString& folder, bool recursive, bool includeFolders,
                              CSortedMap<CString, CSystemFileEntry>& map, const CStringList& includePatterns,
                              const CStringList& excludePatterns) {
    CString base = folder.isEmpty() ? CString("./") : folder;
    const std::uint32_t last = base.charAt(base.length() - 1);
    if (last != '/' && last != '\\')
        base.append("/");
    DIR* dir = opendir(reinterpret_cast<const char*>(toSystemPath(base).data()));
    if (dir == nullptr)
        return newError("@talstr_CSystem_collectFiles_FolderError Folder '%1' cannot be opened", CString::emptyString, base);
    CError* result = nullptr;
    while (const dirent* entry = readdir(dir)) {
        if (entry->d_name[0] == '\0' || entry->d_name[0] == '.')
            continue;
        const CString name = fromSystemPath(entry->d_name);
        CString path = base;
        path.append(name);
        if (entry->d_type & 8) {
            const CString lower = name.toLower();
            if (matchesAny(lower, excludePatterns))
                continue;
            if (includePatterns.count() > 0 && !matchesAny(lower, includePatterns))
                continue;
            map.findOrAdd(path)->value = CSystemFileEntry{name, false};
        } else if ((entry->d_type & 4) && recursive) {
            if (includeFolders)
                map.findOrAdd(path)->value = CSystemFileEntry{name, true};
            path.append("/");
            if (CError* err = collectFiles(path, recursive, includeFolders, map, includePatterns, excludePatterns)) {
                result = traceError(err);
                break;
            }
        }
    }
    closedir(dir);
    return result;
}

CString CSystem::getErrorText(CError* error) {
    CString text;
    if (error != nullptr) {
        for (int i = 0; i < error->lineCount(); ++i) {
            text.append(error->line(i));
            text.append("\n");
        }
        delete error;
    }
    return text;
}

void CSystem::printError(CError* error) {
    if (error == nullptr)
        return;
    if (error->lineCount() > 0 && !error->line(0).isEmpty()) {
        std::fputs("\n", stdout);
        for (int i = 0; i < error->lineCount(); ++i) {
            CByteBuffer line;
            line.initUTF8(error->line(i));
            std::fwrite(line.data(), 1, std::size_t(line.size() - 1), stdout);
            std::fputs("\n", stdout);
        }
    }
    delete error;
}

namespace {

std::atomic<CSystem::CProgramRunner> gProgramRunner{nullptr};

std::string utf8Argument(const CString& text) {
    CByteBuffer bytes;
    bytes.initUTF8(text);
    return std::string(reinterpret_cast<const char*>(bytes.data()), std::size_t(bytes.size() - 1));
}

// Runs the dialog with zenity, else with kdialog: the helper's exit status, or -1 when neither
// could be started.
int runDialog(const std::vector<std::string>& zenity, const std::vector<std::string>& kdialog) {
    CSystem::CProgramRunner runner = gProgramRunner.load();
    if (runner == nullptr) runner = &CSystem::runProgram;
    const int status = runner(zenity);
    return status >= 0 ? status : runner(kdialog);
}

void logUnshown(const char* kind, const CString& title, const CString& text) {
    const std::string line = std::string("No dialog program (zenity or kdialog) is installed; ") + kind + " \"" +
                             utf8Argument(title) + "\": " + utf8Argument(text);
    writeLog(line.c_str(), true);
}

} // namespace

int CSystem::runProgram(const std::vector<std::string>& argv) {
    if (argv.empty()) return -1;
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    pid_t pid = 0;
    if (posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0) return -1;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0)
        if (errno != EINTR) return -1;
    if (WIFEXITED(status)) return WEXITSTATUS(status);
    return WIFSIGNALED(status) ? 128 + WTERMSIG(status) : -1;
}

void CSystem::setProgramRunnerForTest(CProgramRunner runner) { gProgramRunner.store(runner); }

void CSystem::showNotice(const CString& title, const CString& text, int level) {
    const std::string t = utf8Argument(title), m = utf8Argument(text);
    const char* zenityKind = level == 0 ? "--error" : level == 1 ? "--warning" : "--info";
    const char* kdialogKind = level == 0 ? "--error" : level == 1 ? "--sorry" : "--msgbox";
    if (runDialog({"zenity", zenityKind, "--no-markup", "--title", t, "--text", m},
                  {"kdialog", "--title", t, kdialogKind, m}) < 0)
        logUnshown("notice", title, text);
}

bool CSystem::askYesNo(const CString& title, const CString& text, const CString& defaultButton,
                       const CString& alternateButton) {
    const std::string t = utf8Argument(title), m = utf8Argument(text);
    const std::string yes = utf8Argument(defaultButton), no = utf8Argument(alternateButton);
    const int status = runDialog({"zenity", "--question", "--no-markup", "--title", t, "--text", m, "--ok-label", yes,
                                  "--cancel-label", no},
                                 {"kdialog", "--title", t, "--yes-label", yes, "--no-label", no, "--yesno", m});
    if (status < 0) logUnshown("question (not answered)", title, text);
    return status == 0;
}

} // namespace tal

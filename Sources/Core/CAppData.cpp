#include "Core/CAppData.h"

#include "Core/CAppDataGlobal.h"
#include "Core/CAppDataGroup.h"
#include "Core/CAppDataLocal.h"
#include "Core/CError.h"
#include "Core/CFileReader.h"
#include "Core/CFileWriter.h"
#include "Core/CMemoryReader.h"
#include "Core/CResourceMap.h"
#include "Core/CSystem.h"
#include "Core/Log.h"
#include "Core/ProductIdentity.h"

#include <mutex>

namespace tal {

namespace {

// Item names become file names: refuse anything that could leave the scope's folder.
bool isValidItemName(const CString& name) {
    if (name.isEmpty() || name.equals(".") || name.equals("..")) return false;
    return name.findChar('/') < 0 && name.findChar('\\') < 0 && name.findChar(0) < 0;
}

void logLine(const char* text, const CString& path) {
    CString line(text);
    line.append(path.narrowed());
    writeLog(line.chars8(), true);
}

} // namespace

// --- the scopes ---

CAppDataGlobal::CAppDataGlobal(const char* vendor, const char* /*category*/)
    : CAppData(CString(CString(vendor), "/"), CString(), CString("AppDataGlobal_")) {}
CAppDataGlobal::~CAppDataGlobal() = default;

CAppDataGroup::CAppDataGroup(const char* vendor, const char* category)
    : CAppData(CString(CString(CString(CString(vendor), "/"), category), "/"), CString(), CString("AppDataGroup_")) {}
CAppDataGroup::~CAppDataGroup() = default;

CAppDataLocal::CAppDataLocal(const char* vendor, const char* category, const char* product)
    : CAppData(CString(CString(CString(CString(CString(CString(vendor), "/"), category), "/"), product), "/"),
               CString(CString(product), "/"), CString("AppDataLocal_")) {}
CAppDataLocal::~CAppDataLocal() = default;

CAppData& CAppData::globalScope() {
    static CAppDataGlobal scope(kVendorName, kCategoryName);
    return scope;
}

CAppData& CAppData::groupScope() {
    static CAppDataGroup scope(kVendorName, kCategoryName);
    return scope;
}

CAppData& CAppData::localScope() {
    static CAppDataLocal scope(kVendorName, kCategoryName, kProductName);
    return scope;
}

CAppData* CAppData::scopeNamed(const CString& name) {
    if (name.equals("local")) return &localScope();
    if (name.equals("group")) return &groupScope();
    if (name.equals("global")) return &globalScope();
    return nullptr;
}

CAppData::CAppData(const CString& scopeFolder, const CString& bundleSubfolder, const CString& resourcePrefix)
    : mScopeFolder(scopeFolder), mBundleSubfolder(bundleSubfolder), mResourcePrefix(resourcePrefix) {}

CAppData::~CAppData() {
    // Before the ids go: no listener may reach getListenerKey any more.
    closeNotifier();
}

// --- folders and ids (under mLock) ---

bool CAppData::setupFolders() {
    mFoldersReady = true;
    mMainFolder = CString();
    mFallbackFolder = CString();
    mBundleSideFolder = CString();
    const CString& pluginFolder = CSystem::bundleFolder;
    const CString preferences = CSystem::getUserPreferencesFolder();
    if (!pluginFolder.isEmpty()) {
        if (!mBundleSubfolder.isEmpty()) {
            mBundleSideFolder = pluginFolder;
            mBundleSideFolder.append(mBundleSubfolder);
            if (!CSystem::folderExists(mBundleSideFolder)) mBundleSideFolder = CString();
        }
        const int slash = mScopeFolder.findChar('/');
        if (slash >= 0) {
            // "<plug-in folder><vendor> Settings" holds the settings of a portable installation.
            CString settings = pluginFolder;
            settings.appendSub(mScopeFolder, 0, slash);
            settings.append(" Settings");
            if (CSystem::folderExists(settings)) {
                mMainFolder = settings;
                mMainFolder.appendSub(mScopeFolder, slash, mScopeFolder.length() - slash);
            }
        }
    }
    if (!mMainFolder.isEmpty()) {
        if (!preferences.isEmpty()) {
            mFallbackFolder = preferences;
            mFallbackFolder.append(mScopeFolder);
        }
        return true;
    }
    if (preferences.isEmpty()) return false;
    mMainFolder = preferences;
    mMainFolder.append(mScopeFolder);
    return true;
}

void CAppData::ensureFolders() {
    if (mFoldersReady) return;
    if (!setupFolders()) {
        mCreationTried = true;
        mWritable = false;
        writeLog("Application data: no settings folder is known; changes are kept for this session only.", true);
    }
}

std::int64_t CAppData::nameIdLocked(const CString& name) {
    bool added = false;
    auto* node = mNameIds.findOrAdd(name, &added);
    if (added) node->value = ++mLastId;
    return node->value;
}

std::int64_t CAppData::getNameId(const CString& name) {
    std::lock_guard lock(mLock);
    return nameIdLocked(name);
}

std::int64_t CAppData::getListenerKey(std::intptr_t param) {
    const auto* name = reinterpret_cast<const CString*>(param);
    return name != nullptr ? getNameId(*name) : 0;
}

// --- reading ---

bool CAppData::readFileRecord(const CString& path, CByteBuffer& out, std::uint32_t tag) {
    CFileReader reader;
    if (CError* err = reader.open(path)) {
        delete err;
        return false;
    }
    CByteBuffer scratch;  // undefined after a failed read
    CError* err = reader.readCompressedData(scratch, tag);
    delete reader.close();
    if (err != nullptr) {
        delete err;
        return false;
    }
    out.swap(scratch);
    return true;
}

bool CAppData::readEmbeddedRecord(const CString& name, CByteBuffer& out, std::uint32_t tag) const {
    // Only an embedded resource: never a file of that name in the working folder.
    const CResourceMap::CPayload* payload = CResourceMap::find(CString(mResourcePrefix).append(name));
    if (payload == nullptr) return false;
    CMemoryReader reader(payload->data, payload->size);
    CByteBuffer scratch;
    if (CError* err = reader.readCompressedData(scratch, tag)) {
        delete err;
        return false;
    }
    out.swap(scratch);
    return true;
}

void CAppData::read(const CString& name, CByteBuffer& out, std::uint32_t tag, bool reload) {
    out.alloc(0);
    if (!isValidItemName(name)) return;
    std::lock_guard lock(mLock);
    ensureFolders();
    const std::int64_t id = nameIdLocked(name);
    auto* cached = mCache.find(id);
    if (cached != nullptr && !reload) {
        if (cached->value.tag == tag) out = cached->value.data;
        return;
    }
    // The first source that holds a readable record of the tag wins; a damaged or foreign file
    // passes the turn, so that it never hides the embedded default.
    bool found = false;
    for (const CString* folder : {&mMainFolder, &mFallbackFolder, &mBundleSideFolder})
        if (!found && !folder->isEmpty()) found = readFileRecord(CString(*folder).append(name), out, tag);
    if (!found) found = readEmbeddedRecord(name, out, tag);
    if (found) {
        CAppDataItem& item = mCache.findOrAdd(id)->value;
        item.tag = tag;
        item.data = out;
    } else if (cached != nullptr && cached->value.tag == tag) {
        out = cached->value.data;
    }
}

// --- writing ---

void CAppData::writeFile(const CString& name, const CByteBuffer& data, std::uint32_t tag) {
    const CString path = CString(mMainFolder).append(name);
    CFileWriter writer;  // rewrites through a temporary file, renamed over the file on success
    CError* err = writer.open(path);
    if (err == nullptr) {
        err = writer.writeCompressedData(data, tag);
        if (err != nullptr) writer.discard();
        CError* closeErr = writer.close();
        if (err == nullptr) err = closeErr;
        else delete closeErr;
    }
    if (err != nullptr) {
        logLine("Application data: could not save ", path);
        reportError(err);
    }
}

void CAppData::write(const CString& name, const CByteBuffer& data, const void* sender, std::uint32_t tag) {
    if (!isValidItemName(name)) return;
    std::int64_t id = 0;
    {
        std::lock_guard lock(mLock);
        ensureFolders();
        if (!mCreationTried) {
            mCreationTried = true;
            mWritable = CSystem::createFolders(mMainFolder);
            if (!mWritable) logLine("Application data: changes are kept for this session only; cannot create ", mMainFolder);
        }
        id = nameIdLocked(name);
        CAppDataItem& item = mCache.findOrAdd(id)->value;
        item.tag = tag;
        item.data = data;
        if (mWritable) writeFile(name, data, tag);
    }
    // Every listener hears of the change, also when it could not be saved: the cache holds it
    // for the rest of the session.
    const CUpdateRecord record{sender, id};
    notifyUpdate(&record);
}

// --- inspection ---

CString CAppData::mainFolder() {
    std::lock_guard lock(mLock);
    return mMainFolder;
}

CString CAppData::fallbackFolder() {
    std::lock_guard lock(mLock);
    return mFallbackFolder;
}

CString CAppData::bundleSideFolder() {
    std::lock_guard lock(mLock);
    return mBundleSideFolder;
}

void CAppData::resetForTest() {
    std::lock_guard lock(mLock);
    mMainFolder = CString();
    mFallbackFolder = CString();
    mBundleSideFolder = CString();
    mFoldersReady = false;
    mCreationTried = false;
    mWritable = false;
    mLastId = 0;
    mNameIds.clear();
    mCache.clear();
}

} // namespace tal

// libFuzzer target for the application-data item readers: the bytes are an item's file in the
// local scope's settings folder, read as a record of the tag its first four bytes give and as a
// text item. An item that was read, written under another name and read again from its file, is
// the same; so is a text item.
#include "Core/AppDataText.h"
#include "Core/CAppData.h"
#include "Core/CByteBuffer.h"
#include "Core/CString.h"
#include "Core/CSystem.h"
#include "Core/RecordTags.h"
#include "FuzzSupport.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

using namespace tal;
using fuzz::check;

namespace {

std::string gFolder;

void removeFolder() { CSystem::removeFolder(CString(gFolder.c_str())); }

// The scope's folder, below a private temporary preferences folder.
std::string scopeFolder() {
    char base[] = "/tmp/app-data-fuzz-XXXXXX";
    check(mkdtemp(base) != nullptr);
    gFolder = base;
    std::atexit(removeFolder);
    CSystem::setUserPreferencesFolderForTest(CString((gFolder + "/").c_str()));
    CAppData& scope = CAppData::localScope();
    scope.resetForTest();
    CByteBuffer none;
    scope.read(CString("none"), none, kTagAppData, false);   // sets the folders up
    const CString main = scope.mainFolder();
    check(!main.isEmpty() && CSystem::createFolders(main));
    return std::string(main.narrowed().chars8());
}

void writeItemFile(const std::string& path, const std::uint8_t* data, std::size_t size) {
    FILE* file = std::fopen(path.c_str(), "wb");
    check(file != nullptr);
    check(std::fwrite(data, 1, size, file) == size);
    check(std::fclose(file) == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const std::string folder = scopeFolder();
    if (size > (1u << 18))
        return 0;
    CAppData& scope = CAppData::localScope();
    scope.resetForTest();   // nothing cached from an earlier input
    const CString item("fuzz-item"), copy("fuzz-copy");
    writeItemFile(folder + "fuzz-item", data, size);

    std::uint32_t tag = kTagAppData;
    if (size >= 4)
        std::memcpy(&tag, data, 4);
    CByteBuffer bytes;
    scope.read(item, bytes, tag, true);
    if (!bytes.isEmpty()) {
        scope.write(copy, bytes, nullptr, tag);
        CByteBuffer back;
        scope.read(copy, back, tag, true);
        check(back == bytes);
    }

    // As a text item: refresh the cache from the file, then read the text through it.
    scope.read(item, bytes, kTagAppString, true);
    const CString fallback("\x01");
    const CString text = readAppDataString(&scope, item, fallback);
    if (!bytes.isEmpty() && !(text == fallback)) {
        writeAppDataString(&scope, copy, text, nullptr);
        CByteBuffer reloaded;
        scope.read(copy, reloaded, kTagAppString, true);
        check(readAppDataString(&scope, copy, fallback) == text);
    }
    return 0;
}

// libFuzzer target: the CSV table reader and the line reader in every encoding, through a file.
#include "Core/CError.h"
#include "Core/CString.h"
#include "Core/CWriteSeqBuffer.h"
#include "Other/CCSVTable.h"
#include "Other/CTextReaderLine.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

const std::string& scratchFile() {
    static const std::string path = [] {
        char name[] = "/tmp/talfuzzcsvXXXXXX";
        const int fd = mkstemp(name);
        if (fd >= 0)
            close(fd);
        return std::string(name);
    }();
    return path;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > (1u << 16))
        return 0;
    const std::string& path = scratchFile();
    if (std::FILE* f = std::fopen(path.c_str(), "wb")) {
        std::fwrite(data, 1, size, f);
        std::fclose(f);
    }
    tal::CCSVTable table;
    delete table.load(tal::CString(path.c_str()));
    table.sortByColumn(int(size % 3), (size & 1) != 0);
    tal::CWriteSeqBuffer out;
    table.save(out);

    const int type = size > 0 ? data[0] % 4 : 0;
    tal::CTextReaderLine reader;
    if (tal::CError* err = reader.open(tal::CString(path.c_str()), type, 4 + int(size % 7))) {
        delete err;
        return 0;
    }
    tal::CString line;
    int terminator = 10;
    for (std::size_t guard = 0; terminator != 0 && guard <= size; ++guard) {
        if (tal::CError* err = reader.readLine(line, terminator)) {
            delete err;
            break;
        }
    }
    if (terminator != 0)
        __builtin_trap();   // the reader must reach the end within one line per byte
    return 0;
}

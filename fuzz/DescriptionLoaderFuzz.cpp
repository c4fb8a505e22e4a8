// libFuzzer target of the description loader: any bytes, loaded in place (as an embedded
// resource) and through a stream (as a file), must build a tree or return an error, never read
// outside the input, and every template they hold must instantiate or fail cleanly.
#include "Core/CApplication.h"
#include "Core/CError.h"
#include "Core/CMemoryReader.h"
#include "Core/CObject.h"
#include "Core/CXMLLoader.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace {

using namespace tal;

void instantiateTemplates(CObject& root) {
    for (int i = 0; i < root.childCount(); ++i) {
        CObject* placeholder = root.child(i);
        if (placeholder->templateBody() == nullptr)
            continue;
        CObject* instance = nullptr;
        delete root.createChild(instance, placeholder->getShortName(), CString("instance"), true, nullptr, nullptr);
    }
}

void loadOnce(const std::uint8_t* data, std::int32_t size, bool inPlace, bool borrowed) {
    CObject* root = new CObject;
    root->initRoot(nullptr);
    if (inPlace) {
        delete CXMLLoader::loadImage(*root, data, size, borrowed, true);
    } else {
        CMemoryReader reader(data, size);
        delete CXMLLoader::loadStream(*root, reader, true);
    }
    instantiateTemplates(*root);
    root->release();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool ready = [] {
        // Without a shared object every initialised object would be read-only.
        delete CApplication::initSharedObject(CString());
        return true;
    }();
    (void)ready;
    if (size > (1u << 20))
        return 0;
    // An exact-size copy, so that a read past the end is caught.
    const std::vector<std::uint8_t> bytes(data, data + size);
    const auto n = std::int32_t(bytes.size());
    loadOnce(bytes.data(), n, true, true);
    loadOnce(bytes.data(), n, true, false);
    loadOnce(bytes.data(), n, false, false);
    return 0;
}

#include "Platform/ClipboardText.h"

#include "Core/CByteBuffer.h"
#include "Core/CString.h"
#include "Platform/CEditorPlatformServices.h"
#include "Platform/CX11WindowBackend.h"

#include <string>

namespace tal {

namespace {

std::string gProcessClipboard;   // UTF-8; the clipboard while no editor is open (main thread)

constexpr int kReadTimeoutMs = 1000;

} // namespace

void getClipboardText(CString& text) {
    std::string utf8;
    if (CEditorPlatformServices* services = CEditorPlatformServices::current()) {
        if (!services->backend().readClipboard(utf8, kReadTimeoutMs))
            utf8.clear();
    } else {
        utf8 = gProcessClipboard;
    }
    text.setUTF8(utf8.data(), int(utf8.size()));
}

void setClipboardText(const CString& text) {
    CByteBuffer bytes;
    bytes.initUTF8(text);
    // Without the terminating zero that initUTF8 appends.
    const std::string utf8(reinterpret_cast<const char*>(bytes.data()), std::size_t(bytes.size() > 0 ? bytes.size() - 1 : 0));
    if (CEditorPlatformServices* services = CEditorPlatformServices::current())
        services->backend().clipboard().setText(utf8);
    else
        gProcessClipboard = utf8;
}

} // namespace tal

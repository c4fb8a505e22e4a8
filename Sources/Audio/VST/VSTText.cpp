#include "Audio/VST/VSTText.h"

#include "pluginterfaces/base/ustring.h"

namespace tal {

CString textFromUTF16(const Steinberg::Vst::TChar* text, int maxUnits) {
    int length = 0;
    while (text != nullptr && length < maxUnits && text[length] != 0)
        ++length;
    CString out;
    out.widen(0);
    char32_t* chars = static_cast<char32_t*>(out.setLength(length, false));
    for (int i = 0; i < length; ++i)
        chars[i] = char32_t(std::uint16_t(text[i]));
    return out;
}

void textToString128(const CString& text, Steinberg::Vst::String128 out) {
    const CString narrow = text.narrowed();
    Steinberg::UString(out, 128).fromAscii(narrow.chars8());
}

} // namespace tal

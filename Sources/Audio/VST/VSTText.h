#pragma once
#include "Core/CString.h"

#include "pluginterfaces/vst/vsttypes.h"

namespace tal {

// Texts between the framework and the VST 3 SDK's 128-unit UTF-16 strings.

// A 32-bit framework string of the units up to the first zero (at most maxUnits), one character
// per unit.
CString textFromUTF16(const Steinberg::Vst::TChar* text, int maxUnits = 128);

// The text into a 128-unit string, one unit per byte of its narrowed form (32-bit characters keep
// their low byte), cut to 127 units and always terminated.
void textToString128(const CString& text, Steinberg::Vst::String128 out);

} // namespace tal

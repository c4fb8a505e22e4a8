#pragma once
#include "Core/CArray.h"
#include "Core/CString.h"
#include "UI/Controls/CRulerStep.h"

namespace tal {

// The ruler's text attributes read into their parsed forms. Pure functions, any thread.

// "ruler-stepping": blank-separated items, finest first, each of two or three "/"-separated steps
// (small/middle/large; two steps a/b read as a/a/b). A step ending in "%" is a percentage of the
// range. Empty pieces (repeated blanks or slashes) are skipped; an unreadable number gives 0.
// An empty text is a success with no items. An item of one step or of four and more fails: false,
// with out left empty.
bool parseRulerStepping(const CString& text, CArray<CRulerStep>& out);

// "hairline-lengths": exactly four blank-separated numbers (pixels at scale 1 for the minor,
// middle, major and end-mark hairlines), each rounded half away from zero; an unreadable number
// gives 0. Any other count fails: false, with out left empty.
bool parseHairlineLengths(const CString& text, CArray<int>& out);

} // namespace tal

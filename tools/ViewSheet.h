#pragma once
#include "Core/CString.h"

#include <span>
#include <string>

namespace tal {
class CError;
class CLinearBitmap;
class CObject;
class CView;
} // namespace tal

namespace delmaro_tool {

// Makes a sheet view: a view that paints its visible part in its base colour (colour 0 of its colour
// table, in the colour state of the paint call, at the colour's opacity). The sheet stands it in for
// "ui:view", whose own paint draws nothing, so that a description's views show.
tal::CObject* createSheetView();

// Lays out the window of root (a root view) at scale (window pixels per logical unit) and paints its
// views into out, sized to the root's total rectangle, bottom to top as the window's tiles are
// painted: views not shown, at cumulative opacity below 0.005 or narrower than 0.1 pixel are
// skipped; each view's colour states are selected and prepareDraw asked first. out starts black.
// Returns an error object (owned by the caller) from the layout pass, or null.
[[nodiscard]] tal::CError* renderViewSheet(tal::CView& root, double scale, tal::CLinearBitmap& out);

// The sheet of a description file (XML source): compiles and loads it on a new tree, readies its
// palette "ui.palette" with the description's colours, finds the first root view and renders it.
// Views of tag "ui:view" paint as sheet views. false with error set on failure.
bool renderDescriptionSheet(const std::string& path, double scale, tal::CLinearBitmap& out, std::string& error);

} // namespace delmaro_tool

namespace delmaro_tool {

// "sheet --description FILE.xml OUT.png [--scale S]": the sheet of a description as a PNG. The
// palette's cache of this machine is neither read nor written. Returns the exit status.
int runViewSheet(std::span<const char* const> args);

} // namespace delmaro_tool

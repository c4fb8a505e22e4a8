#pragma once
#include "Other/CLinearBitmap.h"

#include <cstdint>

namespace tal {

class CColor;
class CImageLayer;
class CSector;
class CView;
struct CImageDraw;
struct CImageDrawList;
struct CLineDraw;

// What controls paint with: draw-item rectangles, fills, image-set frames (prepared per layer with
// slot tints and the disabled tint, drawn once or tiled), line, curve and area jobs with their
// rasteriser routine, and axis lines.
// Threads: the preparing helpers (rectangles, frames, image requests, routine selection, frame
// lookups) run on the UI thread in the prepare step; the painting helpers (fill, frame drawing,
// running a routine, axis lines) run inside paint on any worker and only read the view and its
// colour table (resolved beforehand) and write the sector's target bitmap.

// --- draw items (UI thread) ---
// Sets item index (2 and up) from a rectangle relative to the view's total rectangle: edges snapped
// to 1/128 pixel and then to whole pixels, clipped by the item's parent. Items 0 and 1 are kept.
void setDrawItemRect(CView& view, std::int32_t index, double x, double y, double width, double height);
// Empties item index (2 and up).
void clearDrawItemRect(CView& view, std::int32_t index);

// --- painting (any worker) ---
// Fills the visible part of item index (item 1: the whole clip rectangle) with the colour's tone at
// the view's draw opacity; a disabled view fills with its table's disabled colour.
void fillDrawItem(const CView& view, CSector& sector, std::int32_t index, const CColor& color, int tone);
// Draws a prepared frame at (x, y) in window pixels inside item index (item 1: the clip rectangle),
// once or tiled across the sector in either direction.
void drawImageSetItem(const CView& view, CSector& sector, const CImageDrawList& list, std::int32_t x, std::int32_t y,
                      std::int32_t index, bool tileHorizontally, bool tileVertically);
// Runs the job's routine on the sector's target.
void runBrushRenderer(CSector& sector, const CLineDraw& job);
// A one-pixel vertical (equal x) or horizontal line (on the first point's row), both ends included,
// at alpha intensity x colour opacity; nothing below 129 / 32768.
void drawAxisLine(CSector& sector, std::int32_t x0, std::int32_t y0, std::int32_t x1, std::int32_t y1,
                  const CColor& color, int tone, double intensity);

// --- preparing (UI thread) ---
// The index of a frame of the view's image set, shifted by the start of the image-set range in
// force when shift is set; -1 when the view has no image set or no such image.
std::int32_t imageSetFrameIndex(CView& view, std::int32_t index, bool shift);
// Prepares every layer of a frame into the list, tinted with its slot colour (layer 0 with the
// override colour when given; a disabled view with its disabled colour); an absent frame empties
// the list. The list's size is layer 0's logical size at the window scale.
void drawImageSetFrame(CView& view, CImageDrawList& list, std::int32_t index, bool shift, bool ignoreTintOpacity,
                       const CColor* overrideColor, double opacity);
// Takes a record of the window's image-draw pool and asks for the layer at the window scale, tinted
// (a disabled view: with its disabled or, with disabledText, disabled text colour) at opacity x the
// view's draw opacity. Null when the view has no window data.
CImageDraw* requestImageDraw(CView& view, CImageLayer* layer, const CColor* tint, bool disabledText,
                             bool ignoreTintOpacity, double opacity);
// Chooses the job's routine from its flags and applies the view's draw opacity (jobs with fewer than
// two points draw nothing). Gradient jobs get the view's total rectangle and the gradient values.
void selectBrushRenderer(const CView& view, CLineDraw& job, bool withoutBrush, bool xOrdered, bool gradient,
                         std::int32_t gradientInt, double gradient1, double gradient2, double gradient3);
// The colour (a colour index) and tone that fill a frame's centre: from its first layer. False, with
// no colour and tone 0, when the frame or layer is absent.
bool getImageSetFrameColor(CView& view, std::int32_t index, bool shift, const CColor*& color, int& tone);
// A frame's logical size, at the window scale when scaled; 0 x 0 when absent.
void getImageSetFrameSize(CView& view, std::int32_t index, bool shift, bool scaled, std::int32_t& width,
                          std::int32_t& height);

} // namespace tal

#pragma once

namespace tal {

// The scale of one window: device pixels per point, the window scale (the user's visual scale times
// the pixel ratio) and their inverses. Owned by the window's root area and shared by all its areas;
// the window renderer writes it before it calls CViewArea::setWindowScale. UI thread only.
struct CScaleRecord {
    double pixelRatio = 1.0;
    double invPixelRatio = 1.0;
    double windowScale = 1.0;
    double invWindowScale = 1.0;
};

} // namespace tal

#pragma once
#include <string>

namespace tal {
class CImageSet;
}

// Builds an image set for "delmaro-tool pack imageset" from a readable manifest:
//
//   # comment
//   scale 2                           artwork scale of the layers (default 2)
//   range NAME FIRST LAST             a named index range; "" is the empty name
//   image INDEX WIDTH HEIGHT          an image of that logical size in pixels at scale 1
//   layer SLOT svg FILE[#ID] MODE     a layer tinted by colour slot SLOT, rendered by librsvg from
//                                     FILE (relative to the manifest), only element ID when given,
//                                     into the image's frame at the artwork scale; MODE "grey"
//                                     keeps tone and alpha (so that views tint it), "colour" keeps
//                                     blue, green, red and alpha
//   layer SLOT draw KIND [ARG]        a grey layer drawn by code: "rule" (a one-pixel line fading
//                                     out at both ends), "swatch RADIUS" (a filled rounded square)
//
// Layers follow their image and are stacked in manifest order, the first at the bottom.
namespace delmaro_tool {

// Fills set (cleared first) from the manifest file. Returns false with a reason naming the line.
bool packImageSet(const std::string& manifest, tal::CImageSet& set, std::string& error);

} // namespace delmaro_tool

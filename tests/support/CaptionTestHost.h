#pragma once
#include "Core/CString.h"
#include "Other/CColor.h"
#include "Other/CImageDraw.h"
#include "Other/CImageLayer.h"
#include "UI/CCaptionTextHost.h"

#include <deque>
#include <map>
#include <string>
#include <vector>

namespace tal {

// The owner view of captions in tests: colour slots and palette colours of its own, image draws
// prepared at once at the window scale, and a journal of every request (layer and colour).
class CCaptionTestHost : public CCaptionTextHost {
public:
    struct Request {
        const CImageLayer* layer;
        const CColor* color;
    };

    explicit CCaptionTestHost(double windowScale) : scale(windowScale) {}

    const CColor* captionColor(std::int32_t index) override {
        if (!hasPalette)
            return nullptr;
        return index >= 0 && index < std::int32_t(slots.size()) ? &slots[std::size_t(index)] : &fallback;
    }
    const CColor* captionPaletteColor(const CString& name) override {
        if (!hasPalette)
            return nullptr;
        paletteNames.emplace_back(name.narrowed().chars8());
        const auto found = palette.find(paletteNames.back());
        return found != palette.end() ? &found->second : &fallback;
    }
    CImageDraw* requestCaptionImageDraw(const CImageLayer* layer, const CColor* color, double opacity) override {
        requests.push_back({layer, color});
        CImageDraw& record = records.emplace_back();
        CImageDraw::init(record, const_cast<CImageLayer*>(layer)->getScaled(scale), color, false, opacity);
        return &record;
    }

    static CColor solid(int r, int g, int b, double opacity = 1.0) {
        CColor color;
        color.buildToneRamp(r, g, b, 1.0, opacity, 0.0);
        return color;
    }

    double scale;
    bool hasPalette = true;
    std::vector<CColor> slots{solid(230, 234, 240), solid(0, 0, 0, 0.6)};   // text, shadow
    std::map<std::string, CColor> palette;
    CColor fallback = solid(128, 128, 128);
    std::vector<Request> requests;
    std::vector<std::string> paletteNames;
    std::deque<CImageDraw> records;   // stable addresses
};

} // namespace tal

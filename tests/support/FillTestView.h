#pragma once
#include "Core/CCreatorRegistry.h"
#include "Core/CObjectScheme.h"
#include "UI/CSector.h"
#include "UI/CView.h"
#include "UI/CViewColorTable.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <map>
#include <string>

namespace tal {

// "test:fill-view": a view that paints its visible part in one grey per colour state, read from the
// colour state the paint call was given: the state name's grey from greys (the default 200 for
// names not listed). Counts its paint calls per colour-state name. Its paint reads the view only.
class CFillTestView : public CView {
public:
    static void registerTags() {
        static const bool registered = [] {
            static const CCreatorTableEntry table[] = {
                {"test:fill-view", [] { return static_cast<CObject*>(new CFillTestView); }, &CView::initScheme},
                {"", nullptr, nullptr},
            };
            return CCreatorRegistry::instance().registerTable(table) == 0;
        }();
        EXPECT_TRUE(registered);
    }

    void paint(CSector& sector) override {
        const CString& state = colorTable()->stateNames()[sector.colorState];
        const std::string name = state.narrowed().chars8();
        const auto found = greys.find(name);
        const int grey = found != greys.end() ? found->second : 200;
        if (countPaints) ++paints[name];
        CPixelRect r;
        if (!drawItem(1)->intersectContext(sector, r)) return;
        for (std::int32_t y = r.y; y < r.y + r.height; ++y) {
            std::uint8_t* p = sector.target->pixel(r.x, y);
            for (std::int32_t x = 0; x < r.width; ++x, p += 4) {
                p[0] = p[1] = p[2] = std::uint8_t(grey);
                p[3] = 255;
            }
        }
    }

    std::map<std::string, int> greys;
    std::map<std::string, int> paints;
    bool countPaints = true;   // off while several threads paint
};

} // namespace tal

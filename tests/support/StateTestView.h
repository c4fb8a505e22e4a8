#pragma once
#include "Core/CCreatorRegistry.h"
#include "UI/CViewBaseCtlEvents.h"
#include "UI/ViewCreators.h"
#include "support/PlacementTestView.h"

#include <functional>
#include <string>
#include <vector>

namespace tal {

// A view made of the layers up to the input layer ("test:state-view"), on a clock the test sets.
// Its event "ping" records its argument map as "name=text" pairs and runs onPing; "release-me" releases the view;
// "fail" returns an error.
class CStateTestView : public CViewBaseCtlEvents {
public:
    static void registerTags() {
        CPlacementTestView::registerTags();
        static const bool registered = [] {
            static const CCreatorTableEntry table[] = {
                {"test:state-view", [] { return static_cast<CObject*>(new CStateTestView); }, &initTestScheme},
                {"", nullptr, nullptr},
            };
            return CCreatorRegistry::instance().registerTable(table) == 0;
        }();
        EXPECT_TRUE(registered);
    }
    static void initTestScheme(CObjectScheme* scheme) {
        CViewBaseCtlEvents::initScheme(scheme);
        CEventHandler& ping = scheme->addEventHandler(CString("ping"));
        ping.hasArgs = true;
        ping.withArgs = [](CObject* object, CAttrMap* args) -> CError* {
            std::string line;
            for (auto* n = args->first(); n != nullptr; n = CAttrMap::next(n))
                line += (line.empty() ? "" : " ") + str(n->key) + "=" + str(n->value.asText());
            auto* view = static_cast<CStateTestView*>(object);
            view->pings.push_back(line);
            if (view->onPing) view->onPing();
            return nullptr;
        };
        CEventHandler& release = scheme->addEventHandler(CString("release-me"));
        release.plain = [](CObject* object) -> CError* {
            object->release();
            return nullptr;
        };
        CEventHandler& fail = scheme->addEventHandler(CString("fail"));
        fail.plain = [](CObject*) -> CError* { return newError("failed on purpose"); };
    }

    void invalidateSectors(const CAreaRect&, CViewBasePlacement*) override { ++invalidations; }
    CError* updateHover() override { return nullptr; }
    double getTime() override { return now; }

    double now = 0.0;
    int invalidations = 0;
    std::vector<std::string> pings;
    std::function<void()> onPing;   // runs after each "ping" is recorded
};

} // namespace tal

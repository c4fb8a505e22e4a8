#pragma once
#include "Core/CError.h"
#include "UI/CViewArea.h"
#include "UI/CViewAreaUpdateHandler.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tal {

// A stand-in for a view: owns its area, records every report and content update in a shared journal
// ("report P", "content Q") and runs optional hooks from inside them.
class CLayoutTestOwner : public CViewAreaUpdateHandler {
public:
    CLayoutTestOwner(std::string name, std::vector<std::string>* journal, CLayoutTestOwner* parent,
                     bool isScrollable = false)
        : mName(std::move(name)), mJournal(journal) {
        area = std::make_unique<CViewArea>(this, parent != nullptr ? parent->area.get() : nullptr, isScrollable);
    }
    ~CLayoutTestOwner() override = default;

    CError* handleViewAreaUpdate(const CAreaRect& total, const CAreaRect& clip) override {
        lastTotal = total;
        lastClip = clip;
        ++reports;
        if (mJournal != nullptr)
            mJournal->push_back("report " + mName);
        if (onReport)
            return onReport();
        return CViewAreaUpdateHandler::handleViewAreaUpdate(total, clip);
    }
    CError* updateContent() override {
        if (mJournal != nullptr)
            mJournal->push_back("content " + mName);
        return onContent ? onContent() : nullptr;
    }

    double var(int v) const { return area->value(v); }

    std::unique_ptr<CViewArea> area;
    CAreaRect lastTotal, lastClip;
    int reports = 0;
    std::function<CError*()> onReport, onContent;

private:
    std::string mName;
    std::vector<std::string>* mJournal;
};

// A window of test owners: a root and children made in order, destroyed children first.
struct CLayoutTestWindow {
    std::vector<std::string> journal;
    std::vector<std::unique_ptr<CLayoutTestOwner>> owners;

    CLayoutTestOwner& add(const std::string& name, CLayoutTestOwner* parent, bool scrollable = false) {
        owners.push_back(std::make_unique<CLayoutTestOwner>(name, &journal, parent, scrollable));
        return *owners.back();
    }
    ~CLayoutTestWindow() {
        while (!owners.empty())
            owners.pop_back();
    }
    CLayoutSolver& solver() { return *owners.front()->area->solver(); }
    CViewArea& root() { return *owners.front()->area; }
};

} // namespace tal

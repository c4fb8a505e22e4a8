#pragma once
#include "Core/CEventRegistry.h"
#include "Core/CObject.h"
#include "Core/CObjectEventBridgeHandler.h"
#include "Core/CPumpedEventBridge.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tal {

// A listener of tag "test:listener": its event "on" records "<short name>:<event-name>" in the
// shared journal and then runs its action, if any; "plain" records "<short name>:plain"; "fail"
// returns an error.
class CEventTestObject : public CObject {
public:
    static void registerTags();  // "test:listener" and "test:bridge" (a bridge handler)
    static std::vector<std::string>& journal();

    std::function<CError*(CEventTestObject&, CAttrMap&)> action;
    int calls = 0;
};

// An editor-like tree: a root with its own registry, the bridge carrier "ui" with a pumped bridge
// that delivers on the test's thread, and helpers to add listeners.
class CEventTestTree : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    CEventTestObject* addListener(CObject* parent, const char* name);
    CEventRegistry& registry() { return *root->eventRegistry(); }

    CObject* shared = nullptr;
    CObject* root = nullptr;
    CObjectEventBridgeHandler* ui = nullptr;
    std::unique_ptr<CPumpedEventBridge> bridge;
};

inline std::string text(const CString& s) { return std::string(s.narrowed().chars8()); }

} // namespace tal

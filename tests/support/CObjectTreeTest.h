#pragma once
#include "Core/CObject.h"
#include "support/CRecordingObject.h"

#include <gtest/gtest.h>

#include <string>

namespace tal {

// A fixture with a registered shared object (so that initialised objects stay writable) and an
// empty root without event registry; both are released after the test.
class CObjectTreeTest : public ::testing::Test {
protected:
    void SetUp() override {
        CRecordingObject::registerTags();
        shared = new CObject;
        shared->initRoot(nullptr);
        CObject::setSharedObject(shared);
        root = new CObject;
        root->initRoot(nullptr);
        CRecordingObject::journal().clear();
    }
    void TearDown() override {
        if (root != nullptr) root->release();
        if (shared != nullptr) shared->release();
        CObject::setSharedObject(nullptr);
    }

    // Adds a plain child without life cycle.
    CObject* add(CObject* parent, const char* name, const char* tag = "core:object") {
        CObject* child = nullptr;
        EXPECT_EQ(parent->addChild(child, CString(tag), CString(name), false), nullptr);
        return child;
    }

    CObject* shared = nullptr;
    CObject* root = nullptr;
};

inline std::string str(const CString& s) { return std::string(s.narrowed().chars8()); }

} // namespace tal

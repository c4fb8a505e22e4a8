#include "DescriptionDump.h"

#include "Core/CError.h"
#include "Core/CObject.h"
#include "Core/CTemplateBody.h"
#include "Core/Log.h"
#include "Core/Utf8.h"

#include <cstdio>

namespace delmaro_tool {

namespace {

using namespace tal;

std::string utf8(const CString& s) {
    std::string out;
    for (int i = 0; i < s.length(); ++i) {
        std::uint8_t bytes[4];
        const int n = encodeUtf8(s.charAt(i), bytes);
        out.append(reinterpret_cast<const char*>(bytes), std::size_t(n));
    }
    return out;
}

const char* typeName(CAttrValue::Type t) {
    switch (t) {
    case CAttrValue::kBool: return "bool";
    case CAttrValue::kReal: return "real";
    case CAttrValue::kInt: return "int";
    case CAttrValue::kText: return "text";
    case CAttrValue::kPointer: return "pointer";
    case CAttrValue::kNone: return "none";
    }
    return "?";
}

void dumpObject(CObject& object, std::string& out) {
    out += quoted(utf8(object.getFullName())) + " tag " + quoted(utf8(object.tag()));
    if (CTemplateBody* body = object.templateBody())
        out += " template body " + quoted(utf8(body->bodyTag()));
    out += "\n";
    for (auto* node = object.attrs().first(); node != nullptr; node = object.attrs().next(node)) {
        if (node->key.equals("full-name"))
            continue;
        CAttrValue& v = node->value;
        out += "    " + utf8(node->key) + " " + typeName(v.type());
        if (v.type() != CAttrValue::kPointer && v.type() != CAttrValue::kNone)
            out += " " + quoted(utf8(v.asText()));
        out += "\n";
    }
    for (int i = 0; i < object.childCount(); ++i)
        dumpObject(*object.child(i), out);
}

} // namespace

std::string quoted(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += char(c);
        } else if (c == '\n') {
            out += "\\n";
        } else if (c == '\r') {
            out += "\\r";
        } else if (c == '\t') {
            out += "\\t";
        } else if (c < 0x20 || c == 0x7F) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            out += hex;
        } else {
            out += char(c);
        }
    }
    return out + "\"";
}

std::string dumpTree(CObject& root) {
    std::string out;
    dumpObject(root, out);
    return out;
}

std::string dumpTemplates(CObject& root) {
    std::string out;
    for (int i = 0; i < root.childCount(); ++i) {
        CObject* placeholder = root.child(i);
        if (placeholder->templateBody() == nullptr)
            continue;
        const CString name = placeholder->getShortName();
        // A scratch root finds the template through the shared object, so the instance's full
        // name is the template name itself.
        CObject* scratch = new CObject;
        scratch->initRoot(nullptr);
        CObject* instance = nullptr;
        out += "template " + quoted(utf8(name)) + "\n";
        if (CError* err = scratch->createChild(instance, name, name, true, nullptr, nullptr)) {
            out += "    error: " + utf8(joinErrorLines(err));
            delete err;
        }
        if (instance != nullptr)
            out += dumpTree(*instance);
        scratch->release();
    }
    return out;
}

} // namespace delmaro_tool

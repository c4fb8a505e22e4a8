#include "DescriptionCompiler.h"

#include <pugixml.hpp>

#include <algorithm>
#include <cstring>
#include <map>
#include <string_view>

namespace delmaro_tool {

namespace {

constexpr const char* kNameAttr = "_name";          // reserved: the child's name
constexpr const char* kTemplateTag = "template";
constexpr const char* kContentTag = "content";
constexpr const char* kContentValue = "value";
constexpr std::uint8_t kKindElement = 0;
constexpr std::uint8_t kKindTemplate = 1;
constexpr std::size_t kMaxStrings = 65536;           // indexes are 16 bits
constexpr std::size_t kMaxCount = 65535;             // attribute and child counts are 16 bits

struct CompileError {
    std::string message;
};

// Where an element sits, for messages: the chain of tags and names from the root.
std::string describe(const pugi::xml_node& node) {
    std::string path;
    for (pugi::xml_node n = node; n && n.type() == pugi::node_element; n = n.parent()) {
        std::string part = "<" + std::string(n.name());
        if (const char* name = n.attribute(kNameAttr).value(); *name != 0)
            part += " " + std::string(kNameAttr) + "=\"" + name + "\"";
        part += ">";
        path = path.empty() ? part : part + " / " + path;
    }
    return path;
}

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

std::string trimmed(std::string_view text) {
    std::size_t a = 0, b = text.size();
    while (a < b && isBlank(text[a])) ++a;
    while (b > a && isBlank(text[b - 1])) --b;
    return std::string(text.substr(a, b - a));
}

// Writes the node stream and numbers the strings in order of first use.
class Writer {
public:
    std::vector<std::uint8_t> nodes;
    std::vector<std::string> strings;   // by index

    std::uint16_t index(const std::string& s) {
        auto [it, added] = mIndexes.try_emplace(s, std::uint32_t(strings.size()));
        if (added) {
            if (strings.size() >= kMaxStrings)
                throw CompileError{"more than 65536 distinct strings"};
            strings.push_back(s);
        }
        return std::uint16_t(it->second);
    }

    static void put8(std::vector<std::uint8_t>& to, std::uint8_t v) { to.push_back(v); }
    static void put16(std::vector<std::uint8_t>& to, std::uint16_t v) {
        to.push_back(std::uint8_t(v));
        to.push_back(std::uint8_t(v >> 8));
    }
    static void put32(std::vector<std::uint8_t>& to, std::uint32_t v) {
        for (int i = 0; i < 4; ++i) to.push_back(std::uint8_t(v >> (8 * i)));
    }

    // One child of a parent's list: tag, name, then the node.
    struct Child {
        std::string tag, name;
        pugi::xml_node element;   // null for a text node
        std::string text;         // the text of a text node
    };

    std::vector<Child> childrenOf(const pugi::xml_node& element) {
        std::vector<Child> list;
        for (pugi::xml_node n : element.children()) {
            switch (n.type()) {
            case pugi::node_element:
                list.push_back({n.name(), n.attribute(kNameAttr).value(), n, {}});
                break;
            case pugi::node_pcdata: {
                std::string text = trimmed(n.value());
                if (!text.empty())
                    list.push_back({kContentTag, kContentTag, pugi::xml_node(), std::move(text)});
                break;
            }
            case pugi::node_cdata:
                list.push_back({kContentTag, kContentTag, pugi::xml_node(), n.value()});
                break;
            default:
                break;   // comments, processing instructions
            }
        }
        if (list.size() > kMaxCount)
            throw CompileError{"more than 65535 children in " + describe(element)};
        return list;
    }

    void writeElement(std::vector<std::uint8_t>& to, const pugi::xml_node& element) {
        std::vector<std::pair<std::string, std::string>> attrs;
        for (pugi::xml_attribute a : element.attributes()) {
            if (std::strcmp(a.name(), kNameAttr) == 0)
                continue;
            for (const auto& seen : attrs)
                if (seen.first == a.name())
                    throw CompileError{"attribute '" + seen.first + "' given twice in " + describe(element)};
            attrs.emplace_back(a.name(), a.value());
        }
        if (attrs.size() > kMaxCount)
            throw CompileError{"more than 65535 attributes in " + describe(element)};
        put8(to, kKindElement);
        put16(to, std::uint16_t(attrs.size()));
        for (const auto& [name, value] : attrs) {
            put16(to, index(name));
            put16(to, index(value));
        }
        const std::vector<Child> children = childrenOf(element);
        put16(to, std::uint16_t(children.size()));
        for (const Child& c : children) {
            put16(to, index(c.tag));
            put16(to, index(c.name));
            if (!c.element)
                writeText(to, c.text);
            else if (c.tag == kTemplateTag)
                writeTemplate(to, c.element);
            else
                writeElement(to, c.element);
        }
    }

    void writeText(std::vector<std::uint8_t>& to, const std::string& text) {
        put8(to, kKindElement);
        put16(to, 1);
        put16(to, index(kContentValue));
        put16(to, index(text));
        put16(to, 0);
    }

    void writeTemplate(std::vector<std::uint8_t>& to, const pugi::xml_node& templ) {
        for (pugi::xml_attribute a : templ.attributes())
            if (std::strcmp(a.name(), kNameAttr) != 0)
                throw CompileError{"a template takes no attribute but '" + std::string(kNameAttr) + "': " +
                                   describe(templ)};
        if (*templ.attribute(kNameAttr).value() == 0)
            throw CompileError{"a template needs a name: " + describe(templ)};
        pugi::xml_node body;
        for (pugi::xml_node n : templ.children()) {
            if (n.type() == pugi::node_element) {
                if (body)
                    throw CompileError{"a template holds exactly one element, its body: " + describe(templ)};
                body = n;
            } else if ((n.type() == pugi::node_pcdata && !trimmed(n.value()).empty()) || n.type() == pugi::node_cdata) {
                throw CompileError{"a template holds no text: " + describe(templ)};
            }
        }
        if (!body)
            throw CompileError{"a template needs a body element: " + describe(templ)};
        const std::uint16_t bodyTag = index(body.name());
        std::vector<std::uint8_t> bytes;
        put32(bytes, bodyTag);
        writeElement(bytes, body);
        if (bytes.size() > 0xFFFFFFFFu)
            throw CompileError{"template body too large: " + describe(templ)};
        put8(to, kKindTemplate);
        put16(to, bodyTag);
        put32(to, std::uint32_t(bytes.size()));
        to.insert(to.end(), bytes.begin(), bytes.end());
    }

private:
    std::map<std::string, std::uint32_t> mIndexes;
};

} // namespace

bool compileDescription(const std::string& xmlText, std::vector<std::uint8_t>& out, std::string& error) {
    pugi::xml_document doc;
    const pugi::xml_parse_result parsed =
        doc.load_buffer(xmlText.data(), xmlText.size(), pugi::parse_default | pugi::parse_cdata, pugi::encoding_utf8);
    if (!parsed) {
        // The line of the failure, counted from the offset pugixml reports.
        const auto upTo = xmlText.begin() + std::min<std::ptrdiff_t>(parsed.offset, std::ptrdiff_t(xmlText.size()));
        const long line = 1 + std::count(xmlText.begin(), upTo, '\n');
        error = "XML error at line " + std::to_string(line) + ": " + parsed.description();
        return false;
    }
    const pugi::xml_node root = doc.document_element();
    if (!root) {
        error = "no root element";
        return false;
    }
    try {
        if (!root.attribute(kNameAttr).empty())
            throw CompileError{"the root element has no name ('" + std::string(kNameAttr) + "')"};
        Writer w;
        w.index("");   // the root tag: read and ignored by the loader, written empty
        w.writeElement(w.nodes, root);

        // The string area: offset table by index, the bytes in ascending byte order.
        const std::size_t n = w.strings.size();
        std::vector<std::uint32_t> order(n);
        for (std::uint32_t i = 0; i < n; ++i) order[i] = i;
        std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) { return w.strings[a] < w.strings[b]; });
        std::vector<std::uint32_t> offsets(n);
        std::vector<std::uint8_t> bytes;
        std::size_t at = 4 * n;
        for (std::uint32_t i : order) {
            offsets[i] = std::uint32_t(at);
            bytes.insert(bytes.end(), w.strings[i].begin(), w.strings[i].end());
            bytes.push_back(0);
            at += w.strings[i].size() + 1;
        }
        if (at > 0x7FFFFFFF)
            throw CompileError{"string area above 2 GB"};
        out.clear();
        Writer::put32(out, std::uint32_t(n));
        Writer::put32(out, std::uint32_t(at));
        for (std::uint32_t o : offsets) Writer::put32(out, o);
        out.insert(out.end(), bytes.begin(), bytes.end());
        Writer::put32(out, 0);   // the root tag's index: the empty string came first
        out.insert(out.end(), w.nodes.begin(), w.nodes.end());
        return true;
    } catch (const CompileError& e) {
        error = e.message;
        return false;
    }
}

} // namespace delmaro_tool

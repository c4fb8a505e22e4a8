#include "Core/CXMLLoader.h"

#include "Core/CApplication.h"
#include "Core/CByteBuffer.h"
#include "Core/CError.h"
#include "Core/CObject.h"
#include "Core/CResourceReader.h"
#include "Core/CXMLStringTable.h"
#include "Core/CXMLTemplateBody.h"
#include "Core/Log.h"
#include "Platform/CMonotonicClock.h"

#include <cstdio>

namespace tal {

namespace {

constexpr std::uint8_t kKindElement = 0;

thread_local int tDepth = 0;

// Counts one level of nesting for as long as it lives.
struct CDepthGuard {
    CDepthGuard() noexcept { ++tDepth; }
    ~CDepthGuard() { --tDepth; }
    CDepthGuard(const CDepthGuard&) = delete;
    CDepthGuard& operator=(const CDepthGuard&) = delete;
};

CString offsetText(const CXMLCursor& c) { return CString(std::int64_t(c.pos - c.base)); }

CError* truncated(const CXMLCursor& c, const CString& objectName) {
    return newError("@talstr_CXMLLoader_buildFromXML_Truncated The description ends inside a node (offset %1).",
                    objectName, offsetText(c));
}

bool take(CXMLCursor& c, std::int64_t n) noexcept {
    if (n < 0 || c.end - c.pos < n)
        return false;
    c.pos += n;
    return true;
}

bool read8(CXMLCursor& c, std::uint8_t& v) noexcept {
    if (c.end - c.pos < 1)
        return false;
    v = c.pos[0];
    c.pos += 1;
    return true;
}

bool read16(CXMLCursor& c, std::uint16_t& v) noexcept {
    if (c.end - c.pos < 2)
        return false;
    v = std::uint16_t(c.pos[0] | c.pos[1] << 8);
    c.pos += 2;
    return true;
}

bool read32(CXMLCursor& c, std::uint32_t& v) noexcept {
    if (c.end - c.pos < 4)
        return false;
    v = std::uint32_t(c.pos[0]) | std::uint32_t(c.pos[1]) << 8 | std::uint32_t(c.pos[2]) << 16 |
        std::uint32_t(c.pos[3]) << 24;
    c.pos += 4;
    return true;
}

// String index of the table; an error for an index at or above its count.
CError* lookup(const CXMLStringTable& table, const CXMLCursor& c, std::uint16_t index, const CString*& out,
               const CString& objectName) {
    out = table.string(index);
    if (out != nullptr)
        return nullptr;
    return newError("@talstr_CXMLLoader_buildFromXML_BadIndex The description refers to string %1 of %2 (offset %3).",
                    objectName, CString(int(index)), CString(table.count()), offsetText(c));
}

void logLoad(const CString& name, const CObject& target, std::uint64_t startNs) {
    const std::uint64_t now = getMonotonicNanos();
    const double loadSeconds = double(now - startNs) * 1e-9;
    const double sinceStart = double(now - CApplication::startTimeNs()) * 1e-9;
    const CString name8 = name.narrowed(), full8 = target.getFullName().narrowed();
    char line[1024];
    if (full8.isEmpty())
        std::snprintf(line, sizeof line, "loadXMLData \"%s\" init time: %.4f s @ %.4f s", name8.chars8(), loadSeconds,
                      sinceStart);
    else
        std::snprintf(line, sizeof line, "loadXMLData \"%s\" init time: %.4f s @ %.4f s // %s", name8.chars8(),
                      loadSeconds, sinceStart, full8.chars8());
    writeLog(line, true);
}

// Builds the root node that follows the string table.
CError* buildRoot(CObject& target, const std::uint8_t* nodes, std::int32_t size, CXMLStringTable& table, bool borrowed,
                  bool runInit) {
    CXMLCursor cursor{nodes, nodes + size, nodes};
    return CXMLLoader::buildFromXML(target, cursor, table, borrowed, runInit, true, false, false);
}

} // namespace

CError* CXMLLoader::loadImage(CObject& target, const std::uint8_t* image, std::int32_t size, bool borrowed,
                              bool runInit) {
    const CString& self = target.getFullName();
    CXMLStringTable* table = new CXMLStringTable;
    std::int32_t nodesOffset = 0;
    CError* err = table->readImage(image, size, nodesOffset);
    if (err == nullptr)
        err = buildRoot(target, image + nodesOffset, size - nodesOffset, *table, borrowed, runInit);
    table->release();
    return traceError(err, self);
}

CError* CXMLLoader::loadStream(CObject& target, CPosInputStream& stream, bool runInit) {
    const CString& self = target.getFullName();
    CXMLStringTable* table = new CXMLStringTable;
    CByteBuffer nodes;
    std::int32_t position = 0, size = 0;
    CError* err = table->read(stream);
    if (err == nullptr)
        err = stream.getPositionInt(position);
    if (err == nullptr)
        err = stream.getSizeInt(size);
    if (err == nullptr && size > position) {
        nodes.alloc(size - position);
        err = stream.read(nodes.data(), nodes.size());
    }
    if (err == nullptr)
        err = buildRoot(target, nodes.data(), nodes.size(), *table, false, runInit);
    table->release();
    return traceError(err, self);
}

CError* CXMLLoader::loadXMLData(CObject& target, const CString& name, bool runInit) {
    const std::uint64_t startNs = getMonotonicNanos();
    const CString& self = target.getFullName();
    CResourceReader reader;
    if (CError* err = reader.open(name))
        return traceError(err, self);
    CError* err = nullptr;
    if (const std::uint8_t* image = reader.getDataPtr()) {
        const std::int64_t size = reader.getRemainingSize();
        if (size > 0x7FFFFFFF)
            err = newError("@talstr_CXMLLoader_loadXMLData_TooLarge The size of the stream is above allowed 2 GB.");
        else
            err = loadImage(target, image, std::int32_t(size), true, runInit);
    } else {
        err = loadStream(target, reader, runInit);
    }
    if (err != nullptr)
        return traceError(err, self);
    logLoad(name, target, startNs);
    return nullptr;
}

CError* CXMLLoader::buildFromXML(CObject& target, CXMLCursor& cursor, CXMLStringTable& table, bool borrowed,
                                 bool runInit, bool skipLeadingIndex, bool skipAttributes, bool skipChildren) {
    const CString& self = target.getFullName();
    CDepthGuard depth;
    if (tDepth > kMaxDepth)
        return newError("@talstr_CXMLLoader_buildFromXML_TooDeep The description nests objects deeper than %1 levels "
                        "(offset %2).",
                        self, CString(kMaxDepth), offsetText(cursor));
    std::uint8_t kind = 0;
    if ((skipLeadingIndex && !take(cursor, 4)) || !read8(cursor, kind))
        return truncated(cursor, self);

    if (kind != kKindElement) {
        // A template body: this object is its placeholder.
        if (skipAttributes || skipChildren)
            return newError("@talstr_CXMLLoader_buildFromXML_BodyNotElement A template body does not start with an "
                            "element (offset %1).",
                            self, offsetText(cursor));
        std::uint16_t tagIndex = 0;
        std::uint32_t length = 0;
        if (!read16(cursor, tagIndex) || !read32(cursor, length))
            return truncated(cursor, self);
        const CString* tag = nullptr;
        if (CError* err = lookup(table, cursor, tagIndex, tag, self))
            return err;
        const std::uint8_t* body = cursor.pos;
        if (!take(cursor, length))
            return newError("@talstr_CXMLLoader_buildFromXML_BodyLength A template body of %1 bytes runs past the end of "
                            "the description (offset %2).",
                            self, CString(std::int64_t(length)), offsetText(cursor));
        target.setTemplateBody(new CXMLTemplateBody(table, *tag, body, std::int32_t(length), borrowed));
        if (CError* err = target.createChilds())
            return traceError(err, self);
        if (CError* err = target.initChilds())
            return traceError(err, self);
        target.setLifeStage(4);
        return nullptr;
    }

    std::uint16_t attrCount = 0;
    if (!read16(cursor, attrCount))
        return truncated(cursor, self);
    if (skipAttributes) {
        if (!take(cursor, 4 * std::int64_t(attrCount)))
            return truncated(cursor, self);
    } else {
        for (int i = 0; i < attrCount; ++i) {
            std::uint16_t nameIndex = 0, valueIndex = 0;
            if (!read16(cursor, nameIndex) || !read16(cursor, valueIndex))
                return truncated(cursor, self);
            const CString *name = nullptr, *value = nullptr;
            if (CError* err = lookup(table, cursor, nameIndex, name, self))
                return err;
            if (CError* err = lookup(table, cursor, valueIndex, value, self))
                return err;
            if (value->isEmpty() || value->equals("false"))
                continue;   // not set: the class default applies
            if (CError* err = target.setAttr(*name, *value, false))
                return traceError(err, self);
        }
    }

    if (runInit) {
        if (CError* err = target.init())
            return traceError(err, self);
        if (CError* err = target.createChilds())
            return traceError(err, self);
    }

    if (!skipChildren) {
        std::uint16_t childCount = 0;
        if (!read16(cursor, childCount))
            return truncated(cursor, self);
        for (int i = 0; i < childCount; ++i) {
            std::uint16_t tagIndex = 0, nameIndex = 0;
            if (!read16(cursor, tagIndex) || !read16(cursor, nameIndex))
                return truncated(cursor, self);
            const CString *tag = nullptr, *name = nullptr;
            if (CError* err = lookup(table, cursor, tagIndex, tag, self))
                return err;
            if (CError* err = lookup(table, cursor, nameIndex, name, self))
                return err;
            CObject* child = nullptr;
            if (CError* err = target.addChild(child, *tag, *name, false))
                return traceError(err, self);
            if (CError* err = buildFromXML(*child, cursor, table, borrowed, true, false, false, false)) {
                child->release();
                return traceError(err, self);
            }
            if (child->templateBody() != nullptr)
                target.addTemplate(child->getShortName(), child);
        }
    }

    if (runInit) {
        if (CError* err = target.initChilds())
            return traceError(err, self);
        target.setLifeStage(4);
    }
    return nullptr;
}

} // namespace tal

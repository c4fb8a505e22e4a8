#pragma once
#include "Core/CString.h"

#include <cstdint>

namespace tal {

class CError;
class CObject;
class CPosInputStream;
class CXMLStringTable;

// A read position in a node stream and the end it may not pass; base is where offsets in
// messages count from.
struct CXMLCursor {
    const std::uint8_t* pos;
    const std::uint8_t* end;
    const std::uint8_t* base;
};

// Loads compiled descriptions into object trees: the string table, then the node stream, each node
// becoming an object through the creator registry with its attributes, life cycle and children.
// Embedded descriptions are parsed in place (their template bodies point into the resource); a
// description read from a file is copied, and so are its template bodies. Every count, index,
// offset and length is checked against the data: malformed input gives an error and never a read
// outside it. A failed build leaves the objects made before the failure in the tree.
// A load runs on one thread and touches only the loading object's subtree.
class CXMLLoader {
public:
    CXMLLoader() = delete;

    // Loads the description name (an embedded resource of that name, else a file at that path) onto
    // target. runInit: run target's init, createChilds and initChilds around the build (new roots);
    // false for a root that was initialised by code. Logs the load time on success.
    [[nodiscard]] static CError* loadXMLData(CObject& target, const CString& name, bool runInit);
    // Loads a description from a memory image of size bytes. With borrowed the template bodies
    // point into the image, which must then outlive them; otherwise they are copied.
    [[nodiscard]] static CError* loadImage(CObject& target, const std::uint8_t* image, std::int32_t size,
                                           bool borrowed, bool runInit);
    // Loads a description from a stream whose bytes are read and copied.
    [[nodiscard]] static CError* loadStream(CObject& target, CPosInputStream& stream, bool runInit);

    // Builds one node at the cursor onto target and advances the cursor past it. The flags select
    // the use: a whole description (skipLeadingIndex), a template body's attributes (runInit false,
    // skipChildren) or its children (runInit false, skipAttributes), one child node (runInit).
    [[nodiscard]] static CError* buildFromXML(CObject& target, CXMLCursor& cursor, CXMLStringTable& table,
                                              bool borrowed, bool runInit, bool skipLeadingIndex,
                                              bool skipAttributes, bool skipChildren);

    // Nodes nested deeper than this are refused (a malformed description must not exhaust the stack).
    static constexpr int kMaxDepth = 256;
};

} // namespace tal

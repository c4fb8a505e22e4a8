#pragma once
#include "Core/CString.h"

#include <cstdint>

namespace tal {

class CAttrValue;
class CError;
class CObject;

// An attribute handler: runs when the attribute of that name is set or when deferred handlers are
// flushed. Returns null on success.
using CAttrHandler = CError* (*)(CObject* object, CAttrValue* value);

// One named value of the object model: an attribute of a CObject or an argument of an event.
// It has one stored type and is read as whatever type the reader asks for; a conversion is done on
// the first read through a fixed table and cached inside the value, so a repeated read is one flag
// test. Lives inside a node of its CAttrMap, owned by the map.
// Not thread-safe: a read may write the conversion cache. A value whose caches were warmed with
// warmCaches() is only read by later reads (a failed conversion never writes), so a warmed value
// may be read from several threads at once as long as nobody assigns it.
class CAttrValue {
public:
    // Stored types; they index the conversion table.
    enum Type : std::uint8_t { kBool = 0, kReal = 1, kInt = 2, kText = 3, kPointer = 4, kNone = 5 };
    // Flag bits: the valid bits of the cached representations, then the two bits that belong to
    // the owning object (queued on its pending list, handler looked up).
    enum Flags : std::uint8_t {
        kValidBool = 0x01,
        kValidReal = 0x02,
        kValidInt = 0x04,
        kValidText = 0x08,
        kValidPointer = 0x10,
        kQueued = 0x20,
        kHandlerLooked = 0x40,
        kOwnerBits = kQueued | kHandlerLooked,
        kValidBits = 0x1f,
    };

    CAttrValue() = default;

    // --- typed assignment: drop every cached conversion, keep the owner bits ---
    void setBool(bool v) noexcept { mBool = v ? 1 : 0; assignType(kBool, kValidBool); }
    void setReal(double v) noexcept { mReal = v; assignType(kReal, kValidReal); }
    void setInt(std::int32_t v) noexcept { mInt = v; assignType(kInt, kValidInt); }
    void setPointer(void* v) noexcept { mPointer = v; assignType(kPointer, kValidPointer); }
    // Stores a text with type detection: a canonical decimal integer becomes int, the empty text
    // none, exactly "true"/"false" bool, anything else text.
    void setText(const CString& text);
    // Takes the source's type and every valid representation; keeps this value's owner bits.
    void copyTyped(const CAttrValue& from);

    // --- reads with conversion: the default (false, 0, 0.0, the empty string) when it fails ---
    bool asBool();
    std::int32_t asInt();
    double asReal();
    const CString& asText();
    // The text field as stored, without conversion; meaningful when the text is valid.
    const CString& storedText() const noexcept { return mText; }
    // No conversion: null unless the stored type is pointer.
    void* asPointer() const noexcept { return mType == kPointer ? mPointer : nullptr; }
    // Converts to the wanted type (kBool..kText) unless already cached; true when the field is valid.
    bool convert(Type wanted);
    // Caches every conversion that succeeds, so that later reads write nothing.
    void warmCaches();

    // --- queries ---
    Type type() const noexcept { return Type(mType); }
    std::uint8_t flags() const noexcept { return mFlags; }
    bool isValid(Type t) const noexcept { return t <= kPointer && (mFlags & (1u << t)) != 0; }

    // --- owner state (the owning object's pending list and handler cache) ---
    bool isQueued() const noexcept { return (mFlags & kQueued) != 0; }
    void setQueued(bool q) noexcept { mFlags = std::uint8_t(q ? (mFlags | kQueued) : (mFlags & ~kQueued)); }
    bool isHandlerLooked() const noexcept { return (mFlags & kHandlerLooked) != 0; }
    // The handler found for this value's name, null when the lookup found none.
    CAttrHandler handler() const noexcept { return mHandler; }
    void setHandler(CAttrHandler h) noexcept { mHandler = h; mFlags |= kHandlerLooked; }
    CAttrValue* pendingNext() const noexcept { return mPendingNext; }
    void setPendingNext(CAttrValue* v) noexcept { mPendingNext = v; }

private:
    using Converter = bool (CAttrValue::*)();
    static const Converter kConvertTable[6][6];

    void assignType(Type t, std::uint8_t validBit) noexcept {
        mType = t;
        mFlags = std::uint8_t((mFlags & kOwnerBits) | validBit);
    }

    // Conversion table entries: each writes the wanted field only when it succeeds.
    bool boolToReal();
    bool boolToInt();
    bool boolToText();
    bool realToBool();
    bool realToInt();
    bool realToText();
    bool intToBool();
    bool intToReal();
    bool intToText();
    bool textToBool();
    bool textToReal();
    bool textToInt();
    bool noneToBool();
    bool noneToReal();
    bool noneToInt();
    bool noneToText();

    CAttrValue* mPendingNext = nullptr;
    CAttrHandler mHandler = nullptr;
    double mReal = 0.0;
    void* mPointer = nullptr;
    std::int32_t mInt = 0;
    CString mText;
    std::uint8_t mBool = 0;
    std::uint8_t mType = kNone;
    std::uint8_t mFlags = 0;
};

// Nearest integer of a real, halves away from zero, saturated to the 32-bit range; NaN gives 0.
std::int32_t roundRealToInt(double x) noexcept;
// The same rounding into the signed 64-bit range.
std::int64_t roundRealToInt64(double x) noexcept;

} // namespace tal

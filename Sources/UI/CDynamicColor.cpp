#include "UI/CDynamicColor.h"

#include "Core/CStringList.h"
#include "UI/CDynamicColorData.h"
#include "UI/CDynamicPalette.h"
#include "UI/HexColor.h"
#include "UI/SchemeThunks.h"

#include <cmath>

namespace tal {

CObject* CDynamicColor::create() { return new CDynamicColor(); }

void CDynamicColor::initScheme(CObjectScheme* scheme) {
    CObject::initScheme(scheme);
    for (const char* name : {"brightness", "contrast", "opacity", "tone", "tone2", "tone3"})
        scheme->addAttrHandler(CString(name)) = &attrThunkOf<CDynamicColor, &CDynamicColor::onColorAttrChanged>;
    addAttrOf<CDynamicColor, &CDynamicColor::onHoverBrightnessChanged>(scheme, "hover-brightness");
}

CDynamicColor::~CDynamicColor() {
    // Children of the palette go before it; the data record stays with the palette.
    if (mPalette != nullptr && mIsRegistered)
        mPalette->unregisterColor(this);
}

CString CDynamicColor::makeHoverName(const CString& name) {
    CStringList pieces;
    name.split(pieces, '_', true, true);
    return pieces.count() == 1 ? name + CString("_Hover") : name + CString("Hover");
}

CError* CDynamicColor::parseEditableFeatures(const CString& text) {
    bool sign = true;
    for (int i = 0; i < text.length(); ++i) {
        switch (text.charAt(i)) {
        case '+': sign = true; break;
        case '-': sign = false; break;
        case 'b': mEditBrightness = sign; break;
        case 'c': mEditContrast = sign; break;
        case 'e': mEditEnable = sign; break;
        case 'o': mEditOpacity = sign; break;
        case 't': mEditTone = sign; break;
        default:
            return newError("@talstr_CDynamicColor_init_BadEditableFeatures Invalid characters in "
                            "editable-features attribute.",
                            getFullName());
        }
    }
    return nullptr;
}

CError* CDynamicColor::init() {
    if (CError* error = CObject::init())
        return traceError(error, getFullName());
    if (CError* error = findObjectByAttr(mPalette, CString("palette"), true))
        return traceError(error, getFullName());
    mCopyDefaultFrom = getTextAttr("copy-default-from");
    mIsReady = false;
    mIsAlias = getBoolAttr("is-copy-parent-color");
    CDynamicColor* owner = this;
    if (mIsAlias) {
        owner = dynamic_cast<CDynamicColor*>(parent());
        if (owner == nullptr)
            return newError("@talstr_CDynamicColor_init_NoParentColor Parent dynamic color not found.",
                            getFullName());
    }
    mDefBrightness = getDoubleAttr("brightness");
    mDefContrast = getDoubleAttr("contrast");
    mDefOpacity = getDoubleAttr("opacity");
    mDefTone = parseHexColor(getTextAttr("tone"));
    mDefTone2 = parseHexColor(getTextAttr("tone2"));
    mDefTone3 = parseHexColor(getTextAttr("tone3"));
    mEditBrightness = mEditContrast = mEditEnable = mEditOpacity = mEditTone = false;
    mIsEnabled = false;
    if (CError* error = parseEditableFeatures(getTextAttr("editable-features")))
        return error;
    mBrightnessMin = getDoubleAttr("editable-brightness-min");
    mBrightnessMax = getDoubleAttr("editable-brightness-max");
    mName = getShortName();
    mHoverName = makeHoverName(mName);
    if (!mIsAlias) {
        const std::int32_t size = getIntAttr("gradient-size");
        if (size < 1)
            return newError("@talstr_CDynamicColor_init_BadGradientSize Gradient size not defined.", getFullName());
        mData = mPalette->getColorData(mName, size, getBoolAttr("is-hoverable"));
    }
    mPalette->registerColor(owner, mName, mHoverName);
    mIsRegistered = true;
    return nullptr;
}

CError* CDynamicColor::onColorAttrChanged() {
    if (!mIsReady)
        return nullptr;
    return traceError(update(), getFullName());
}

CError* CDynamicColor::onHoverBrightnessChanged() {
    if (!mIsReady || !getBoolAttr("is-hoverable"))
        return nullptr;
    return traceError(update(), getFullName());
}

CError* CDynamicColor::update() {
    mIsEnabled = getDoubleAttr("brightness") > 0.0;
    if (mIsAlias || mData == nullptr)
        return nullptr;
    const bool built = mData->setParams(parseHexColor(getTextAttr("tone")), parseHexColor(getTextAttr("tone2")),
                                        parseHexColor(getTextAttr("tone3")), getDoubleAttr("brightness"),
                                        getDoubleAttr("contrast"), getDoubleAttr("opacity"),
                                        getDoubleAttr("hover-brightness"));
    if (!built || mPalette == nullptr)
        return nullptr;
    return traceError(mPalette->onColorChanged(), getFullName());
}

const CDynamicColor* CDynamicColor::dataOwner() const {
    const CDynamicColor* color = this;
    while (color->mIsAlias) {
        const auto* up = dynamic_cast<const CDynamicColor*>(color->parent());
        if (up == nullptr)
            return nullptr;
        color = up;
    }
    return color;
}

CColor* CDynamicColor::getGradientColor(double position) const {
    const CDynamicColor* owner = dataOwner();
    const CDynamicColorData* data = owner != nullptr ? owner->mData : nullptr;
    if (data == nullptr || data->entryCount() == 0)
        return nullptr;
    const double x = double(data->entryCount() - 1) * position;
    const double k = x < 0.0 ? -std::floor(0.5 - x) : std::floor(x + 0.5);
    return data->entry(k >= 0.0 && k < double(data->entryCount()) ? std::int32_t(k) : 0);
}

CColor* CDynamicColor::getHoverColor(double position) const {
    const CDynamicColor* owner = dataOwner();
    if (owner != nullptr && owner->mData != nullptr && owner->mData->hasHover())
        return owner->mData->hoverColor();
    return getGradientColor(position);
}

} // namespace tal

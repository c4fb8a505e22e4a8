#include "UI/CDynListAudioExportSlots.h"

#include "Audio/Converters/CAudioParamConverter.h"
#include "Core/CError.h"
#include "Other/CColorSwatch.h"
#include "UI/CUIParam.h"
#include "UI/CVizExchange.h"
#include "UI/SchemeThunks.h"

namespace tal {

CObject* CDynListAudioExportSlots::create() { return new CDynListAudioExportSlots(); }

void CDynListAudioExportSlots::initScheme(CObjectScheme* scheme) {
    CObject::initScheme(scheme);
    addPlainEventOf<CDynListAudioExportSlots, &CDynListAudioExportSlots::onUpdateSlotNames>(scheme,
                                                                                            "update-slot-names");
}

CDynListAudioExportSlots::~CDynListAudioExportSlots() {
    mVizExchange.reset();
    mColorSwatch.reset();
}

CError* CDynListAudioExportSlots::init() {
    if (CError* error = CObject::init())
        return traceError(error, getFullName());
    mColorSwatch.init(this, CString(), CString(), nullptr, CString("color-swatch"));
    mColorSwatch.isRequired = true;
    mIsImport = getBoolAttr("is-import");
    mVizExchange.init(this, CString("ui.viz-exchange"), CString(), nullptr, CString());
    mVizExchange.isRequired = true;
    mVizExchange.listenEvent(CString("export-slot-names-changed"), CString("update-slot-names"));
    mAllRequiredActive = false;
    CSlot& exportSlot = slot(0);
    exportSlot.isRequiredForActivity = true;
    exportSlot.mustBeAttached = true;
    exportSlot.name = "ui-param-export-slot";
    return nullptr;
}

CError* CDynListAudioExportSlots::onUpdateSlotNames() { return traceError(notifyListUpdated(), getFullName()); }

void CDynListAudioExportSlots::getItems(std::int32_t listId, CStringList& out) {
    const CSlot* exportSlot = findSlot(0);
    if (!mAllRequiredActive || exportSlot == nullptr || !exportSlot->isActive || exportSlot->param == nullptr)
        return;
    CVizExchange* exchange = mVizExchange.resolve();
    CColorSwatch* swatch = mColorSwatch.resolve();
    const std::int64_t lo = CAudioParamConverter::roundToInt(exportSlot->param->getMinValue(0));
    const std::int64_t hi = CAudioParamConverter::roundToInt(exportSlot->param->getMaxValue(0));
    std::int32_t position = 0;
    for (std::int64_t i = lo; i <= hi; ++i) {
        if (i == 0) {
            setCacheEntry(listId, position++, 0);
            out.add("---");
            continue;
        }
        CString name;
        std::int32_t opt1 = -1;
        if (exchange != nullptr)
            exchange->getExportSlotName(std::int32_t(i - 1), name, &opt1, nullptr);
        if (name.isEmpty() && mIsImport)
            continue;
        if (name.isEmpty() || (displayFlag() && !mIsImport)) {
            setCacheEntry(listId, position++, std::int32_t(i));
            out.add(CString(int(i)));
            continue;
        }
        setCacheEntry(listId, position++, std::int32_t(i), !mIsImport);
        if (opt1 >= 0) {
            name.append(" [IMG=is.button#Color:")
                .append(swatch != nullptr ? swatch->colorName(opt1) : CString::emptyString)
                .append("]");
        }
        out.add(name);
    }
}

} // namespace tal

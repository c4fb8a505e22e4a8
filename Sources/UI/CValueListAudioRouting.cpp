// The routing labels of the audio value list: how the inputs feed the internal channels and how
// the internal channels form channel groups.
#include "UI/CValueListAudio.h"

#include "Core/CError.h"
#include "Other/Interface/CAudioInterfaceClient.h"
#include "UI/CUIParam.h"

#include <algorithm>
#include <map>
#include <set>
#include <vector>

namespace tal {

namespace {

CString joined(const std::vector<std::int32_t>& inputs, const CStringList& names) {
    CString text;
    for (std::size_t i = 0; i < inputs.size(); ++i) {
        if (i > 0)
            text.append("+");
        text.append(inputs[i] < names.count() ? names[inputs[i]] : CString("?"));
    }
    return text;
}

} // namespace

CError* CValueListAudio::collectRoutingLabels(CStringList& list) {
    // 1. Muted internal channels.
    std::set<std::int32_t> muted;
    if (hasActive(kRoleChannelMute))
        for (std::int32_t k = 0; k < roleCount(kRoleChannelMute); ++k)
            if (roleReal(kRoleChannelMute, k) >= 0.5)
                muted.insert(k);
    // 2. Input names.
    CStringList names;
    CAudioInterfaceClient* client = mInterfaceClient.owner != nullptr ? mInterfaceClient.resolve() : nullptr;
    const std::int32_t inputCount = client != nullptr ? client->inputChannelCount() : 0;
    for (std::int32_t i = 0; i < inputCount; ++i)
        names.add(roleText(kRoleInNames, i));
    // 3. The inputs of each internal channel, ascending.
    std::map<std::int32_t, std::vector<std::int32_t>> inputsOf;
    const std::int32_t routed = std::min(roleCount(kRoleInRouting), std::int32_t(names.count()));
    for (std::int32_t i = 0; i < routed; ++i) {
        const std::int32_t r = roleValue(kRoleInRouting, i);
        if (r > 0)
            inputsOf[r - 1].push_back(i);
    }
    auto hasInputs = [&inputsOf](std::int32_t k) {
        auto it = inputsOf.find(k);
        return it != inputsOf.end() && !it->second.empty();
    };
    auto inputsText = [&](std::int32_t k) {
        auto it = inputsOf.find(k);
        return it != inputsOf.end() ? joined(it->second, names) : CString();
    };
    // 4. Mid/side pairs: the first member of a pair of two is its mid channel, the second its side.
    std::map<std::int32_t, std::vector<std::int32_t>> pairs;
    if (hasActive(kRoleMsPairs))
        for (std::int32_t k = 0; k < roleCount(kRoleMsPairs); ++k) {
            const std::int32_t p = roleValue(kRoleMsPairs, k);
            if (p > 0 && hasInputs(k))
                pairs[p - 1].push_back(k);
        }
    std::map<std::int32_t, std::int32_t> partner;  // internal channel -> pair (mid) or pair + 1000 (side)
    for (const auto& [p, members] : pairs)
        if (members.size() == 2) {
            partner[members[0]] = p;
            partner[members[1]] = p + 1000;
        }
    // 5. Side-chain sources.
    std::map<std::int32_t, std::int32_t> sidechainOf;
    if (hasActive(kRoleSidechain))
        for (std::int32_t k = 0; k < roleCount(kRoleSidechain); ++k) {
            const std::int32_t s = roleValue(kRoleSidechain, k);
            if (s >= 0 && s != k && hasInputs(k))
                sidechainOf[k] = s;
        }
    // 6. The channel text of an internal channel.
    auto channelText = [&](std::int32_t k, bool& isPlain) {
        auto it = partner.find(k);
        isPlain = it == partner.end();
        if (isPlain)
            return inputsText(k);
        const std::int32_t p = it->second % 1000;
        const std::vector<std::int32_t>& members = pairs[p];
        CString text(it->second >= 1000 ? "s(" : "m(");
        text.append(inputsText(members[0])).append(" & ").append(inputsText(members[1])).append(")");
        return text;
    };

    const std::int32_t channels = roleCount(kRoleGrouping);
    // 7. One group number per internal channel.
    if (mRoutingMode == kRoutingActiveGroupPerChannel) {
        for (std::int32_t k = 0; k < channels; ++k) {
            const std::int32_t g = roleValue(kRoleGrouping, k);
            const bool shown = muted.count(k) == 0 && (g == mCurrentGroup || mShowAllGroups) && hasInputs(k);
            list.add(shown ? CString(int(g)) : CString("-1"));
        }
        return nullptr;
    }
    // 8. The internal channels in order.
    const bool groupModes = mRoutingMode == kRoutingActiveGroups || mRoutingMode == kRoutingActiveGroupsWithChannels;
    std::map<std::int32_t, std::int32_t> seen;
    for (std::int32_t k = 0; k < channels; ++k) {
        if (muted.count(k) != 0)
            continue;
        const std::int32_t g = roleValue(kRoleGrouping, k);
        if (groupModes)
            seen.emplace(g, 0);
        else if (g != mCurrentGroup && !mShowAllGroups)
            continue;
        bool isPlain = true;
        CString text = channelText(k, isPlain);
        switch (mRoutingMode) {
        case kRoutingFull:
            if (!text.isEmpty()) {
                if (isPlain && inputsOf[k].size() >= 2) {
                    CString wrapped("(");
                    text = wrapped.append(text).append(")");
                }
                auto sc = sidechainOf.find(k);
                if (sc != sidechainOf.end() && hasInputs(sc->second))
                    text.append(":sc(").append(inputsText(sc->second)).append(")");
                text.append("[SUP]").append(CString(int(k + 1))).append("[/SUP]");
                list.add(text);
            }
            break;
        case kRoutingActiveChannels:
            if (!text.isEmpty())
                list.add(CString(int(k + 1)));
            break;
        case kRoutingActiveChannelNames:
        case kRoutingActiveInChannelLabels:
            if (hasInputs(k)) {
                for (std::int32_t input : inputsOf[k])
                    if (input < names.count()) {
                        CString label(names[input]);
                        if (mRoutingMode == kRoutingActiveInChannelLabels)
                            label.append(";").append(CString(int(k + 1)));
                        list.add(label);
                        break;
                    }
            }
            break;
        case kRoutingActiveGroupsWithChannels:
            if (!text.isEmpty())
                ++seen[g];
            break;
        default:
            break;
        }
    }
    if (!groupModes)
        return nullptr;
    // 9. The current group is shown disabled once the selector is bound.
    if (getBoolAttr("routing-label-disable-current") && !mIsSelectorBound)
        bindGroupSelector();
    CStringList colors;
    if (CError* error = collectGroupColors(colors))
        return traceError(error, getFullName());
    // 10. One item per seen group.
    for (const auto& [g, count] : seen) {
        if (mRoutingMode == kRoutingActiveGroupsWithChannels && count <= 0)
            continue;
        CString text = roleText(kRoleGroupNames, g);
        if (colors.count() > 0) {
            const std::int32_t m = roleValueInGroup(kRoleGroupColor, 0, g);
            if (m >= 0 && m < colors.count())
                text.append(" ").append(colors[m]);
        }
        text.append(";").append(CString(int(g + 1)));
        list.add(g == mCurrentGroup ? formatItemEnabled(text, false) : text);
    }
    return nullptr;
}

} // namespace tal

#pragma once
#include "Core/CString.h"

namespace tal {

// Helpers of process definitions that read parameter names written in descriptions.
class CAudioProcessDefBaseInit {
public:
    // The full name of a parameter name written relative to base (a process's name prefix):
    // a leading "/" makes the rest absolute; each leading "^" drops the last dotted component of
    // base (all of it when it has no dot); the rest is joined to what remains with one dot.
    static CString resolveParamName(const CString& name, const CString& base);
};

} // namespace tal

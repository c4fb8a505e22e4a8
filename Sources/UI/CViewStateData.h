#pragma once
#include "Core/CArray.h"
#include "Core/CAttrMap.h"
#include "Core/CPoolAllocated.h"
#include "Core/CSortedMap.h"
#include "Core/CString.h"

#include <cstdint>

namespace tal {

class CViewCommand;
class CViewState;

// What a view paints: the names of its set states (joined by blanks in name order), the colour
// state that selects its colours and the image-set range that offsets its image frames. Two looks
// with the same state name count as the same look.
struct CViewStateLook {
    CString stateName;
    CString colorState;
    CString imageSetRange;
};

// One of a view's three attribute tweens ("opacity", "width", "height").
struct CViewStateTween {
    CString attrName;
    double value = 0.0;           // written by the last step
    bool isDone = true;
    bool isPercent = false;       // values are written as "NN.NNNN%"
    bool isTargetPercent = false;
    double startValue = 0.0;
    double targetValue = 0.0;
    double startTime = 0.0;       // seconds of the view clock
    double endTime = 0.0;
};

// The state record of a view: its commands per event, its set state names with the values they
// replaced, the state objects, and the cross-fade and tweens that animate a change. Made on demand;
// views without states or commands have none. Owned by the view.
struct CViewStateData : CPoolAllocated {
    CSortedMap<CString, CArray<CViewCommand*>> commandLists;   // commands not owned, in registration order
    CSortedMap<CString, std::uint8_t> setStates;               // the set names (value always 1)
    CViewStateLook baseLook;
    CAttrMap defaultAttrs;        // the view's values before any state changed them
    bool isMorphing = false;
    bool isTweening = false;
    CViewStateLook shownLook;     // painted; during a cross-fade the look fading out
    double morphFraction = 0.0;   // weight of targetLook while isMorphing
    CViewStateLook targetLook;    // fading in
    CViewStateLook nextLook;      // the latest request; the target of the next step
    double morphDuration = 0.0;
    double morphStart = 0.0;
    double morphEnd = 0.0;
    CViewStateTween tweens[3];    // opacity, width, height
    CSortedMap<CString, CViewState*> stateObjects;             // not owned
};

} // namespace tal

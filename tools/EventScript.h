#pragma once
#include "Platform/CNativeEvent.h"

#include <string>
#include <vector>

namespace delmaro_tool {

// A script of input events for an editor window, one step a line (tools/EventScripts.md):
//   move X Y | press B X Y [MODS] | release B X Y [MODS] | click B X Y [MODS] | drag X1 Y1 X2 Y2 [MODS]
//   wheel X Y STEPS [MODS] | key KEY [MODS] | text WORDS... | wait SECONDS | shot FILE
// with B one of L, M, R, X1, X2, MODS words joined by '+' (ctrl, shift, alt, double), positions in
// window points of the main window. Moves made while buttons are held carry them.
struct EventScriptStep {
    enum class Kind { Events, Wait, Shot };
    Kind kind = Kind::Events;
    std::vector<tal::CNativeEvent> events;   // Events
    double seconds = 0.0;                    // Wait
    std::string file;                        // Shot
};

// Reads a script file; an empty result, or "FILE:LINE: what is wrong".
std::string readEventScript(const std::string& path, std::vector<EventScriptStep>& steps);
// Reads script text (name stands for the file in messages).
std::string parseEventScript(const std::string& text, const std::string& name, std::vector<EventScriptStep>& steps);

} // namespace delmaro_tool

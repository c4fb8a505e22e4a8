#include "EventScript.h"

#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace delmaro_tool {

using tal::CNativeEvent;

namespace {

struct KeyName {
    const char* name;
    int code;
};
constexpr KeyName kKeyNames[] = {
    {"escape", 0xE001}, {"insert", 0xE002}, {"delete", 0xE003}, {"backspace", 0xE004}, {"tab", 0xE005},
    {"return", 0xE006}, {"enter", 0xE006}, {"home", 0xE007},  {"end", 0xE008},       {"pageup", 0xE009},
    {"pagedown", 0xE00A}, {"left", 0xE00B}, {"right", 0xE00C}, {"up", 0xE00D},        {"down", 0xE00E},
    {"space", ' '},
};

// The state the lines share: the buttons held, for the moves.
struct ScriptState {
    std::uint32_t held = 0;
};

bool parseNumber(const std::string& word, double& out) {
    char* end = nullptr;
    out = std::strtod(word.c_str(), &end);
    return !word.empty() && end != nullptr && *end == 0;
}

// "ctrl+shift+double" and the like; false for an unknown word.
bool parseModifiers(const std::string& text, std::uint32_t& modifiers, bool& doubleClick) {
    modifiers = 0;
    doubleClick = false;
    if (text.empty())
        return true;
    std::istringstream words(text);
    std::string word;
    while (std::getline(words, word, '+')) {
        if (word == "ctrl")
            modifiers |= CNativeEvent::kCtrl;
        else if (word == "shift")
            modifiers |= CNativeEvent::kShift;
        else if (word == "alt")
            modifiers |= CNativeEvent::kAlt;
        else if (word == "double")
            doubleClick = true;
        else
            return false;
    }
    return true;
}

// A key: a name, a single character, or a number (decimal or 0x...).
bool parseKey(const std::string& word, int& code) {
    for (const KeyName& k : kKeyNames)
        if (word == k.name) {
            code = k.code;
            return true;
        }
    if (word.size() == 1) {
        code = static_cast<unsigned char>(word[0]);
        return true;
    }
    char* end = nullptr;
    const long value = std::strtol(word.c_str(), &end, 0);
    if (end == word.c_str() || *end != 0 || value < 1 || value > 0xFFFF)
        return false;
    code = int(value);
    return true;
}

CNativeEvent pointerEvent(CNativeEvent::Type type, double x, double y, std::uint32_t modifiers) {
    CNativeEvent e;
    e.type = type;
    e.x = x;
    e.y = y;
    e.modifiers = modifiers;
    return e;
}

std::uint32_t buttonBit(const std::string& name) {
    return name == "L" ? CNativeEvent::kLeftButton : name == "R" ? CNativeEvent::kRightButton
                                                   : name == "M" ? CNativeEvent::kMiddleButton : 0;
}

// The press or release of a button: a move to the place first, then the button.
bool addButton(const std::string& name, bool down, double x, double y, std::uint32_t modifiers, bool doubleClick,
               ScriptState& state, std::vector<CNativeEvent>& out) {
    CNativeEvent e = pointerEvent(CNativeEvent::Type::MouseButton, x, y, 0);
    if (name == "L" || name == "R" || name == "M") {
        e.button = name == "L" ? 0 : name == "R" ? 1 : 2;
    } else if (name == "X1" || name == "X2") {
        e.type = CNativeEvent::Type::MouseXButton;
        e.button = name == "X1" ? 2 : 1;   // extra button 1 is forward, 2 is back
    } else {
        return false;
    }
    out.push_back(pointerEvent(CNativeEvent::Type::MouseMove, x, y, modifiers | state.held));
    if (down)
        state.held |= buttonBit(name);
    e.modifiers = modifiers | state.held;
    e.down = down;
    e.doubleClick = doubleClick;
    out.push_back(e);
    if (!down)
        state.held &= ~buttonBit(name);
    return true;
}

void addKey(int code, std::uint32_t modifiers, std::vector<CNativeEvent>& out) {
    CNativeEvent press;
    press.type = CNativeEvent::Type::KeyPress;
    press.keycode = code;
    press.modifiers = modifiers;
    CNativeEvent release = press;
    release.type = CNativeEvent::Type::KeyRelease;
    out.push_back(press);
    out.push_back(release);
}

} // namespace

std::string parseEventScript(const std::string& text, const std::string& name, std::vector<EventScriptStep>& steps) {
    std::istringstream in(text);
    std::string line;
    ScriptState state;
    for (int number = 1; std::getline(in, line); ++number) {
        std::istringstream words(line);
        std::string verb;
        if (!(words >> verb) || verb[0] == '#')
            continue;
        std::vector<std::string> args;
        for (std::string w; words >> w;)
            args.push_back(w);
        const std::string where = name + ":" + std::to_string(number) + ": ";
        auto bad = [&](const char* why) { return where + why + " in '" + line + "'"; };
        auto numbers = [&](std::size_t from, std::size_t count, double* out) {
            if (args.size() < from + count)
                return false;
            for (std::size_t i = 0; i < count; ++i)
                if (!parseNumber(args[from + i], out[i]))
                    return false;
            return true;
        };
        EventScriptStep step;
        std::uint32_t modifiers = 0;
        bool doubleClick = false;
        double n[4] = {0, 0, 0, 0};
        if (verb == "move") {
            if (args.size() != 2 || !numbers(0, 2, n))
                return bad("'move X Y' wanted");
            step.events.push_back(pointerEvent(CNativeEvent::Type::MouseMove, n[0], n[1], state.held));
        } else if (verb == "press" || verb == "release" || verb == "click") {
            if (args.size() < 3 || args.size() > 4 || !numbers(1, 2, n))
                return bad("'press|release|click BUTTON X Y [MODIFIERS]' wanted");
            if (!parseModifiers(args.size() == 4 ? args[3] : "", modifiers, doubleClick))
                return bad("unknown modifier (ctrl, shift, alt, double)");
            const bool ok = verb == "release"
                                ? addButton(args[0], false, n[0], n[1], modifiers, false, state, step.events)
                                : addButton(args[0], true, n[0], n[1], modifiers, doubleClick, state, step.events) &&
                                      (verb == "press" ||
                                       addButton(args[0], false, n[0], n[1], modifiers, false, state, step.events));
            if (!ok)
                return bad("unknown button (L, M, R, X1, X2)");
        } else if (verb == "down" || verb == "up") {
            // The older spelling: left, or right with the word "right".
            if (args.size() < 2 || !numbers(0, 2, n))
                return bad("'down|up X Y [right]' wanted");
            addButton(args.size() > 2 && args[2] == "right" ? "R" : "L", verb == "down", n[0], n[1], 0, false, state,
                      step.events);
        } else if (verb == "drag") {
            if (args.size() < 4 || args.size() > 5 || !numbers(0, 4, n) ||
                !parseModifiers(args.size() == 5 ? args[4] : "", modifiers, doubleClick))
                return bad("'drag X1 Y1 X2 Y2 [MODIFIERS]' wanted");
            addButton("L", true, n[0], n[1], modifiers, false, state, step.events);
            for (int k = 1; k <= 8; ++k)
                step.events.push_back(pointerEvent(CNativeEvent::Type::MouseMove, n[0] + (n[2] - n[0]) * k / 8,
                                                   n[1] + (n[3] - n[1]) * k / 8, modifiers | state.held));
            addButton("L", false, n[2], n[3], modifiers, false, state, step.events);
        } else if (verb == "wheel") {
            if (args.size() < 3 || args.size() > 4 || !numbers(0, 3, n) || n[2] == 0.0 ||
                !parseModifiers(args.size() == 4 ? args[3] : "", modifiers, doubleClick))
                return bad("'wheel X Y STEPS [MODIFIERS]' wanted (STEPS not 0)");
            step.events.push_back(pointerEvent(CNativeEvent::Type::MouseMove, n[0], n[1], modifiers | state.held));
            CNativeEvent e = pointerEvent(CNativeEvent::Type::MouseWheel, n[0], n[1], modifiers | state.held);
            e.delta = n[2];
            step.events.push_back(e);
        } else if (verb == "key") {
            int code = 0;
            if (args.empty() || args.size() > 2 || !parseKey(args[0], code))
                return bad("'key KEY [MODIFIERS]' wanted (a name, a character or a code)");
            if (!parseModifiers(args.size() == 2 ? args[1] : "", modifiers, doubleClick))
                return bad("unknown modifier (ctrl, shift, alt)");
            addKey(code, modifiers, step.events);
        } else if (verb == "text") {
            // The rest of the line after one space, each character (UTF-8 bytes above 127 are not
            // decoded: ASCII only) as a key.
            const std::size_t at = line.find("text") + 5;
            if (at > line.size())
                return bad("'text WORDS' wanted");
            for (unsigned char ch : line.substr(at)) {
                if (ch >= 128)
                    return bad("text is ASCII only");
                addKey(ch, 0, step.events);
            }
        } else if (verb == "wait") {
            if (args.size() != 1 || !numbers(0, 1, n) || !(n[0] >= 0.0 && n[0] <= 60.0))
                return bad("'wait SECONDS' wanted (0 to 60)");
            step.kind = EventScriptStep::Kind::Wait;
            step.seconds = n[0];
        } else if (verb == "shot") {
            if (args.size() != 1)
                return bad("'shot FILE' wanted");
            step.kind = EventScriptStep::Kind::Shot;
            step.file = args[0];
        } else {
            return bad("unknown step");
        }
        steps.push_back(std::move(step));
    }
    return {};
}

std::string readEventScript(const std::string& path, std::vector<EventScriptStep>& steps) {
    std::ifstream in(path);
    if (!in)
        return "cannot open the event script '" + path + "'";
    std::stringstream text;
    text << in.rdbuf();
    return parseEventScript(text.str(), path, steps);
}

} // namespace delmaro_tool

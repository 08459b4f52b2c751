#pragma once
// The floor's channel: when mirevo-idle may lock the screen after a saver run, it starts Mirevo.scr with one
// end of a socket pair that the run inherits, named by the environment variable MIREVO_FLOOR_CHANNEL (the
// descriptor's number). The saver hands it on to its viewer as it is. Over it the viewer says when the floor
// is on every output ("shown") and when the user's key came ("key"), and mirevo-idle says when a lock is on
// its way ("lock": let the keyboard go to the locker) and when the floor may end ("end"). Each word is one
// line. Without the variable the viewer ends on the key at once, as always.
#include <cstdlib>
#include <optional>
#include <string>

namespace mirevo {

inline constexpr const char* kFloorChannelVariable = "MIREVO_FLOOR_CHANNEL";

enum class FloorMessage { Shown, Key, Lock, End };

inline const char* floorMessageText(FloorMessage message) {
    switch (message) {
    case FloorMessage::Shown:
        return "shown\n";
    case FloorMessage::Key:
        return "key\n";
    case FloorMessage::Lock:
        return "lock\n";
    case FloorMessage::End:
        break;
    }
    return "end\n";
}

// A line without its line break; nothing for a word that is not one of the four.
inline std::optional<FloorMessage> floorMessage(const std::string& line) {
    for (FloorMessage m : {FloorMessage::Shown, FloorMessage::Key, FloorMessage::Lock, FloorMessage::End})
        if (line + "\n" == floorMessageText(m)) return m;
    return std::nullopt;
}

// The descriptor the variable's value names: a plain decimal number from 3 (after the standard three) to
// 65535.
inline std::optional<int> floorChannelDescriptor(const char* value) {
    if (!value || !*value) return std::nullopt;
    long number = 0;
    for (const char* c = value; *c; ++c) {
        if (*c < '0' || *c > '9' || c - value >= 5) return std::nullopt;
        number = number * 10 + (*c - '0');
    }
    if (number < 3 || number > 65535 || (value[0] == '0')) return std::nullopt;
    return int(number);
}

} // namespace mirevo

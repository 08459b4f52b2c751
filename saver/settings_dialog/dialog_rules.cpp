#include "saver/settings_dialog/dialog_rules.h"

#include <cctype>
#include <limits>

#include "shared/settings/decimal_number.h"

namespace mirevo {

ScreenPoint dialogPosition(int outerWidth, int outerHeight, const ScreenRect& screen) {
    return {screen.x + (screen.width - outerWidth) / 2, screen.y + (screen.height - outerHeight) / 3};
}

KindControls kindControls(int16_t kind) {
    KindControls controls;
    if (kind >= 0 && kind < int16_t(controls.marked.size())) controls.marked[std::size_t(kind)] = true;
    controls.trackEnabled = kind == BGM_CD;
    controls.fileEnabled = kind == BGM_FILE;
    return controls;
}

std::string trackText(int16_t track) {
    return track == 0 ? std::string() : std::to_string(track);
}

std::vector<std::string> trackList() {
    std::vector<std::string> list;
    for (int16_t track = 0; track <= 30; ++track)
        list.push_back(trackText(track));
    return list;
}

int16_t trackFromText(const std::string& text) {
    const auto number = readDecimalWithExponent(text);
    if (!number) return 0;
    const auto whole = roundHalfEven(*number);
    if (!whole || *whole < std::numeric_limits<int16_t>::min() ||
        *whole > std::numeric_limits<int16_t>::max())
        return 0;
    return int16_t(*whole);
}

FileRequest musicFileRequest(const std::string& bgmFolder) {
    return {"ﾌｧｲﾙを開く", "BGMﾌｧｲﾙ (MP3 WAV)", {anyCasePattern("*.MP3"), anyCasePattern("*.WAV")}, bgmFolder};
}

std::string anyCasePattern(const std::string& pattern) {
    std::string out;
    for (unsigned char c : pattern) {
        if (std::isalpha(c)) {
            out += '[';
            out += char(std::tolower(c));
            out += char(std::toupper(c));
            out += ']';
        } else {
            out += char(c);
        }
    }
    return out;
}

} // namespace mirevo

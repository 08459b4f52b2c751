#pragma once
// What the settings dialog decides, free of any window: where it opens, which controls a music kind enables,
// how the track number is written and read back, the three values OK stores, and the file chooser's request.
#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "shared/settings/settings.h"

namespace mirevo {

struct ScreenRect {
    int x = 0, y = 0, width = 0, height = 0;
};
struct ScreenPoint {
    int x = 0, y = 0;
};

// Top-left of the window's outer rectangle: centred across the screen, a third of the free height down.
ScreenPoint dialogPosition(int outerWidth, int outerHeight, const ScreenRect& screen);

// The kind rows, top to bottom on the panel, and what a selected kind enables. A kind outside 0..2 selects
// no row and enables neither control.
inline constexpr std::array<int16_t, 3> kKindRowsTopDown{BGM_CD, BGM_NONE, BGM_FILE};
struct KindControls {
    std::array<bool, 3> marked{}; // by kind: the row shows the selected mark
    bool trackEnabled = false;    // the track combo
    bool fileEnabled = false;     // the "..." button
};
KindControls kindControls(int16_t kind);

// The track-number rule: plain decimal with a "-" for negatives, and 0 as the empty text.
std::string trackText(int16_t track);
// The combo's list: the rule applied to 0..30.
std::vector<std::string> trackList();

// The track OK stores for the combo's text: an optional sign, digits with an optional decimal point and
// exponent, blanks around; rounded to the nearest whole number, a half to the even one. Anything else, and a
// number outside the 16-bit range, stores 0.
int16_t trackFromText(const std::string& text);


// What the file chooser is asked for. patterns match music files whatever the case of their ending.
struct FileRequest {
    std::string title;
    std::string filterName;
    std::vector<std::string> patterns;
    std::string folder;
};
FileRequest musicFileRequest(const std::string& bgmFolder);

// "*.MP3" -> "*.[mM][pP]3": file names on Linux keep their case, and song.mp3 is as much an MP3 as SONG.MP3.
std::string anyCasePattern(const std::string& pattern);

} // namespace mirevo

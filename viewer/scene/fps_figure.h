#pragma once
// The frame-rate figure a hack shows in a corner when asked (--fps): frames counted over each second, and
// the figure as cells of a 3 x 5 digit font, so that it needs no font on the machine.
#include <string>
#include <vector>

namespace mirevo::viewer {

class FrameRateCounter {
public:
    // After each frame, with the time it was drawn; the figure changes once a second.
    void frameAt(double seconds);
    // Frames in the last whole second counted; 0 until one has passed.
    int figure() const { return figure_; }

private:
    double secondStart_ = -1;
    int frames_ = 0;
    int figure_ = 0;
};

struct FigureCell {
    int column, row; // row 0 is the top of the figure
};

// The lit cells of the text ("0" to "9", " " and anything else left blank), 4 columns per character.
std::vector<FigureCell> figureCells(const std::string& text);

} // namespace mirevo::viewer

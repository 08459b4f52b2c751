#include "viewer/scene/fps_figure.h"

namespace mirevo::viewer {

namespace {

// Each digit's five rows of three cells, the leftmost the highest bit.
constexpr unsigned char kDigits[10][5] = {
    {7, 5, 5, 5, 7}, {2, 6, 2, 2, 7}, {7, 1, 7, 4, 7}, {7, 1, 7, 1, 7}, {5, 5, 7, 1, 1},
    {7, 4, 7, 1, 7}, {7, 4, 7, 5, 7}, {7, 1, 2, 2, 2}, {7, 5, 7, 5, 7}, {7, 5, 7, 1, 7},
};

} // namespace

void FrameRateCounter::frameAt(double seconds) {
    if (secondStart_ < 0) secondStart_ = seconds;
    ++frames_;
    if (seconds - secondStart_ >= 1.0) {
        figure_ = frames_;
        frames_ = 0;
        secondStart_ = seconds;
    }
}

std::vector<FigureCell> figureCells(const std::string& text) {
    std::vector<FigureCell> cells;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9') continue;
        const auto& rows = kDigits[text[i] - '0'];
        for (int row = 0; row < 5; ++row)
            for (int column = 0; column < 3; ++column)
                if (rows[row] & (4 >> column)) cells.push_back({static_cast<int>(i) * 4 + column, row});
    }
    return cells;
}

} // namespace mirevo::viewer

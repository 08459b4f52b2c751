#pragma once
// Shrinking a picture larger than the GL takes while its rows are read: both sides are divided by one whole
// factor, and each pixel of the result is the average of the block of source pixels it stands for (a box
// filter). The blocks along the right and top edges may be narrower; they average what they hold. Only the
// result and one row of sums are ever held, never the whole source picture.
#include <cstdint>
#include <vector>

#include "viewer/picture/picture.h"

namespace mirevo::viewer {

// The smallest whole factor that brings both sides within maxSide; 1 when they already are.
int reductionFactor(int width, int height, int maxSide);

// Sides of the result: ceil(side / factor).
int reducedSide(int side, int factor);

class BoxReducer {
public:
    // Allocates the result (throws std::bad_alloc when there is no room for it).
    BoxReducer(int width, int height, int factor);
    // The next source row, bottom row first as the file holds them: 3 x width blue-green-red bytes.
    void addRow(const uint8_t* row);
    // The result, 4-byte aligned rows bottom row first, once every source row has been added.
    Picture take() { return std::move(result_); }

private:
    void emitRow();

    int width_, height_, factor_;
    int rowsInBlock_ = 0, rowsAdded_ = 0, rowsEmitted_ = 0;
    size_t resultRowBytes_;
    // Per channel of each source column, the sum over the rows of the block so far: adding a row is one
    // straight pass the compiler can vectorise; the blocks' columns are summed once per result row.
    std::vector<uint32_t> columnSums_;
    Picture result_;
};

} // namespace mirevo::viewer

#include "viewer/picture/box_reduce.h"

#include <algorithm>

namespace mirevo::viewer {

int reducedSide(int side, int factor) {
    return (side + factor - 1) / factor;
}

int reductionFactor(int width, int height, int maxSide) {
    const int longest = std::max(width, height);
    const int limit = std::max(maxSide, 1);
    int factor = (longest + limit - 1) / limit;
    return std::max(factor, 1);
}

BoxReducer::BoxReducer(int width, int height, int factor)
    : width_(width), height_(height), factor_(std::max(factor, 1)) {
    result_.width = reducedSide(width_, factor_);
    result_.height = reducedSide(height_, factor_);
    resultRowBytes_ = pictureRowBytes(result_.width);
    columnSums_.assign(static_cast<size_t>(width_) * 3, 0);
    // Grown a row at a time (see emitRow), so that its memory is touched as the source is read.
    result_.pixels.reserve(resultRowBytes_ * static_cast<size_t>(result_.height));
}

void BoxReducer::addRow(const uint8_t* row) {
    if (rowsAdded_ >= height_) return;
    // Distinct buffers: said so, the compiler vectorises the passes.
    uint32_t* __restrict sum = columnSums_.data();
    const uint8_t* __restrict source = row;
    const size_t count = columnSums_.size();
    if (rowsInBlock_ == 0) {
        for (size_t i = 0; i < count; ++i)
            sum[i] = source[i];
    } else {
        for (size_t i = 0; i < count; ++i)
            sum[i] += source[i];
    }
    ++rowsAdded_;
    if (++rowsInBlock_ == factor_ || rowsAdded_ == height_) emitRow();
}

void BoxReducer::emitRow() {
    const size_t at = result_.pixels.size();
    result_.pixels.resize(at + resultRowBytes_); // padding included, zeroed
    uint8_t* out = result_.pixels.data() + at;
    const uint32_t* column = columnSums_.data();
    for (int x = 0; x < result_.width; ++x, out += 3) {
        const int columns = std::min(factor_, width_ - x * factor_);
        uint64_t sum[3] = {0, 0, 0};
        for (int i = 0; i < columns; ++i, column += 3) {
            sum[0] += column[0];
            sum[1] += column[1];
            sum[2] += column[2];
        }
        const uint64_t count = static_cast<uint64_t>(columns) * static_cast<uint64_t>(rowsInBlock_);
        for (int c = 0; c < 3; ++c)
            out[c] = static_cast<uint8_t>((sum[c] + count / 2) / count);
    }
    rowsInBlock_ = 0;
    ++rowsEmitted_;
}

} // namespace mirevo::viewer

#pragma once
// The desktop picture as the viewer reads it: an uncompressed 24-bit bottom-up bitmap file, mirrored left to
// right. Plain arithmetic on pixel memory, so it is tested without a screen.
#include <cstddef>
#include <cstdint>
#include <optional>

#include "common/posix/byte_sink.h"
#include "common/result.h"

namespace mirevo {

// Screen pixels as the X server hands them over on a true-colour visual: 32 bits each, 0x00RRGGBB in this
// machine's byte order, rows top to bottom, stride bytes apart.
struct PixelView {
    const uint8_t* data = nullptr;
    int width = 0;
    int height = 0;
    size_t stride = 0;
};

// A picture read a band of rows at a time, so that no screen-sized copy of it is ever made: a band fits the
// cache, and fresh memory the size of the screen costs more to fault in than the reading itself.
class RowSource {
public:
    virtual ~RowSource() = default;
    virtual int width() const = 0;
    virtual int height() const = 0;
    // Rows top .. top + count - 1 (count at most bandHeight()), the view's first row being row top; nothing
    // when they cannot be read. The view is valid until the next call.
    virtual std::optional<PixelView> readRows(int top, int count) = 0;
    virtual int bandHeight() const = 0;
};

// A picture already in memory.
class PixelViewRows final : public RowSource {
public:
    explicit PixelViewRows(const PixelView& picture, int bandHeight = 64)
        : picture_(picture), band_(bandHeight) {}
    int width() const override { return picture_.width; }
    int height() const override { return picture_.height; }
    std::optional<PixelView> readRows(int top, int count) override;
    int bandHeight() const override { return band_; }

private:
    PixelView picture_;
    int band_;
};

inline constexpr size_t kBitmapHeaderSize = 54; // 14-byte file header + 40-byte information header

// Bytes of one pixel row in the file: three per pixel, padded to a multiple of four.
constexpr size_t bitmapRowSize(int width) {
    return (static_cast<size_t>(width) * 3 + 3) & ~size_t(3);
}
constexpr size_t bitmapFileSize(int width, int height) {
    return kBitmapHeaderSize + bitmapRowSize(width) * static_cast<size_t>(height);
}

enum class MirrorFailure { EmptyPicture, PictureUnreadable, SinkFailed };
using MirrorResult = Result<void, MirrorFailure>;

// The file of the picture mirrored left to right (column x lands in column width - 1 - x), rows not flipped:
// the first row in the file is the picture's bottom row, as bottom-up bitmaps have it. The picture is read
// band by band from the bottom up, and the bytes go to the sink one band at a time.
MirrorResult writeMirroredBitmap(RowSource& picture, const ByteSink& sink);

} // namespace mirevo

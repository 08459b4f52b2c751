#pragma once
// A picture's pixels read a band of rows at a time, so that no screen-sized copy of it is ever made: a band
// fits the cache, and fresh memory the size of the screen costs more to fault in than the reading itself.
// The saver's snapshot and the hack's picture both read the X server's pixels this way.
#include <cstddef>
#include <cstdint>
#include <optional>

namespace mirevo {

// Pixels as the X server hands them over on a true-colour visual: 32 bits each, 0x00RRGGBB in this
// machine's byte order, rows top to bottom, stride bytes apart.
struct PixelView {
    const uint8_t* data = nullptr;
    int width = 0;
    int height = 0;
    size_t stride = 0;
};

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
    std::optional<PixelView> readRows(int top, int count) override {
        if (!picture_.data || top < 0 || count < 0 || top + count > picture_.height) return std::nullopt;
        return PixelView{picture_.data + size_t(top) * picture_.stride, picture_.width, count, picture_.stride};
    }
    int bandHeight() const override { return band_; }

private:
    PixelView picture_;
    int band_;
};

} // namespace mirevo

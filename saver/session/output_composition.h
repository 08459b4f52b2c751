#pragma once
// The desktop of a Wayland session as one picture: each output's copy (in the output's own pixels, as a
// screen copy arrives) put at its logical place, turned back by its transform and brought to logical size.
// Plain pixel arithmetic, tested without a compositor.
#include <cstdint>
#include <string>
#include <vector>

#include "common/result.h"
#include "common/wayland/output_layout.h"
#include "saver/session/picture_size.h"
#include "saver/session/snapshot_bitmap.h"

namespace mirevo {

// How the four bytes of a copied pixel hold its colours.
enum class CopiedPixels {
    Xrgb, // wl_shm's (A|X)RGB8888: 0xXXRRGGBB as a little-endian word
    Xbgr, // (A|X)BGR8888: red and blue the other way round
};

struct OutputCopy {
    OutputLayout layout;
    std::vector<uint8_t> pixels; // width x height, rows stride bytes apart
    int width = 0, height = 0;
    size_t stride = 0;
    CopiedPixels order = CopiedPixels::Xrgb;
    bool yInverted = false; // rows arrive bottom first
};

// A picture in the snapshot writer's pixel form (0x00RRGGBB words), owning its pixels.
class ComposedPicture final : public RowSource {
public:
    ComposedPicture() = default;
    ComposedPicture(int width, int height) : width_(width), height_(height), pixels_(size_t(width) * size_t(height)) {}
    int width() const override { return width_; }
    int height() const override { return height_; }
    std::optional<PixelView> readRows(int top, int count) override;
    int bandHeight() const override { return 64; }

    uint32_t at(int x, int y) const { return pixels_[size_t(y) * size_t(width_) + size_t(x)]; }
    void set(int x, int y, uint32_t rgb) { pixels_[size_t(y) * size_t(width_) + size_t(x)] = rgb; }
    // Is every pixel black? A compositor that will not show its screen may hand over such a copy.
    bool allBlack() const;

private:
    int width_ = 0, height_ = 0;
    std::vector<uint32_t> pixels_;
};

// The largest side a layout of outputs may span; a wider one is refused.
inline constexpr int kMaxComposedSide = kMaxDesktopSide;

// The outputs' copies in one picture the size of their logical bounding box (reduced to the kept size where
// it is larger, see picture_size.h), its top-left at the leftmost and topmost logical edge; parts no output
// covers stay black. Refused (with why) when there is no copy, a
// copy is smaller than its stride and height say, or the box is empty or too large.
Result<ComposedPicture, std::string> composeOutputs(const std::vector<OutputCopy>& copies);

// Where the pixel (x, y) of an output's picture, seen the way round the user sees it (width x height), is
// in the copy as it arrives (mode-sized, before the transform).
void copiedPoint(OutputTransform transform, int x, int y, int width, int height, int& copyX, int& copyY);

} // namespace mirevo

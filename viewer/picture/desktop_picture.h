#pragma once
// The picture a hack shows: the desktop as it looked, taken from the pixels of an X image, mirrored left to
// right as the saver's snapshot is; or, where no picture of the desktop may be had, a built-in one. Plain
// pixel arithmetic, no X here.
#include <cstddef>
#include <cstdint>

#include "viewer/picture/picture.h"

namespace mirevo::viewer {

// Where the colours of a ZPixmap image's pixels are (the X image's own description).
struct PixelLayout {
    int width = 0, height = 0;
    int bytesPerLine = 0;
    int bitsPerPixel = 32;  // 16, 24 or 32
    bool mostSignificantFirst = false;
    uint32_t redMask = 0xFF0000, greenMask = 0x00FF00, blueMask = 0x0000FF;
};

// The image mirrored left to right, as blue-green-red rows bottom row first, each side divided by factor
// (the pixels of each block averaged). Empty (0 x 0) when the layout is not one of those above.
Picture mirroredPicture(const uint8_t* data, const PixelLayout& layout, int factor = 1);

// Something to look at where the desktop may not be shown: a dusk sky over a tiled floor, with a sun to one
// side so that its turning shows. Not symmetric, like any desktop.
Picture builtInPicture(int width, int height);
// The built-in picture at the size the viewer draws it (enough for a floor that fills a 4K screen), reduced
// to fit maxSide.
Picture builtInPictureWithin(int maxSide);

// Where the picture a hack shows came from.
enum class PictureSource { Screenshot, Wallpaper, BuiltIn };

const char* describe(PictureSource source);

struct DesktopPicture {
    Picture image;
    PictureSource source = PictureSource::BuiltIn;
};

} // namespace mirevo::viewer

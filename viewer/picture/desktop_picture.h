#pragma once
// The picture a hack shows: the desktop as it looked, taken from the X server's pixels, mirrored left to
// right as the saver's snapshot is; or, where no picture of the desktop may be had, a built-in one. Plain
// pixel arithmetic, no X here.
#include <cstddef>
#include <cstdint>

#include "common/pixel_rows.h"
#include "viewer/picture/picture.h"

namespace mirevo::viewer {

// The picture read band by band, bottom band first, mirrored left to right into blue-green-red rows bottom
// row first, each side divided by factor (the pixels of each block averaged): only the picture itself is
// ever held, never a copy of the source. Empty (0 x 0) when a band cannot be read (the source gone
// meanwhile) or the source is empty.
Picture mirroredPicture(RowSource& rows, int factor = 1);

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

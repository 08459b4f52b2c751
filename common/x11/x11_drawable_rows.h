#pragma once
// Reading a drawable's pixels from the X server a band of rows at a time (the saver's screen, the hack's
// screenshot or wallpaper pixmap): through a small shared-memory segment where the server offers one, with
// plain image requests otherwise (a remote server, a refused attach).
#include <memory>

#include "common/pixel_rows.h"
#include "common/x11/pixel_format.h"
#include "common/x11/screen_area.h"

typedef struct _XDisplay Display;

namespace mirevo {

enum class GrabMethod { Fastest, PlainImage };

// A window or pixmap, with what its pixel values mean: a pixmap has no visual of its own, so its owner says.
struct DrawablePixels {
    unsigned long drawable = 0;
    int depth = 0;
    PixelFormat format;
};

class DrawableRows : public RowSource {
public:
    // Whether the rows come through shared memory rather than one image request per band.
    virtual bool sharedMemory() const = 0;
    // What the server sends a pixel in: 16, 24 or 32 bits for colours, fewer for colour-map indexes.
    virtual int bitsPerPixel() const = 0;
};

// The area's rows, read from the server when asked for; a drawable that is gone or refuses to be read (a
// pixmap freed meanwhile, a screen XWayland will not show) gives rows that cannot be read. Nothing for an
// empty area.
std::unique_ptr<DrawableRows> openDrawableRows(Display* display, const DrawablePixels& pixels,
                                               const ScreenArea& area, GrabMethod method = GrabMethod::Fastest);

} // namespace mirevo

#pragma once
// Reading a window property of 32-bit values, as window managers and saver managers publish them.
#include <vector>

typedef struct _XDisplay Display;

namespace mirevo {

// Its values (type XA_CARDINAL, XA_ATOM, XA_WINDOW, XA_PIXMAP, ...), empty when the property is missing or of
// another type.
std::vector<long> x11LongList(Display* display, unsigned long window, const char* name, unsigned long type);

} // namespace mirevo

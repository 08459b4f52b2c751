#pragma once
// Reading a window property, the one way: as window managers, saver managers and clients publish them.
#include <optional>
#include <string>
#include <vector>

typedef struct _XDisplay Display;

namespace mirevo {

struct X11Property {
    unsigned long type = 0;  // None (0) when the window has no such property
    int format = 0;          // bits per item: 8, 16 or 32
    std::vector<long> items; // empty when the property is of another type than the one asked for
};

// Up to maxLength 32-bit units of the property (the server's measure), of the type asked for
// (AnyPropertyType: whatever it is). A window that is gone reads as one without the property.
X11Property x11ReadProperty(Display* display, unsigned long window, unsigned long property,
                            unsigned long type, long maxLength);

// Its 32-bit values (type XA_CARDINAL, XA_ATOM, XA_WINDOW, XA_PIXMAP, ...), empty when the property is
// missing or of another type.
std::vector<long> x11LongList(Display* display, unsigned long window, const char* name, unsigned long type);

// Its text (8-bit items: UTF8_STRING, or AnyPropertyType for WM_NAME's STRING and the like); nothing when it
// is missing or not text of that type.
std::optional<std::string> x11Text(Display* display, unsigned long window, unsigned long property,
                                   unsigned long type, long maxLength);

} // namespace mirevo

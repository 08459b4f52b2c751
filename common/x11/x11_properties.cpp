#include "common/x11/x11_properties.h"

#include <memory>

#include "common/x11/x11_error_trap.h"

namespace mirevo {

X11Property x11ReadProperty(Display* display, unsigned long window, unsigned long property,
                            unsigned long type, long maxLength) {
    X11Property result;
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* raw = nullptr;
    if (XGetWindowProperty(display, window, property, 0, maxLength, False, type, &actualType, &format, &count,
                           &after, &raw) != Success)
        return result;
    std::unique_ptr<unsigned char, XFreeDeleter> data(raw);
    result.type = actualType;
    result.format = format;
    if (!data || actualType == None || (type != AnyPropertyType && actualType != type)) return result;
    // Xlib hands 32-bit items out as longs, 16-bit ones as shorts.
    result.items.reserve(count);
    for (unsigned long i = 0; i < count; ++i) {
        if (format == 32) result.items.push_back(reinterpret_cast<const long*>(data.get())[i]);
        if (format == 16) result.items.push_back(reinterpret_cast<const short*>(data.get())[i]);
        if (format == 8) result.items.push_back(data.get()[i]);
    }
    return result;
}

std::vector<long> x11LongList(Display* display, unsigned long window, const char* name, unsigned long type) {
    X11Property property = x11ReadProperty(display, window, XInternAtom(display, name, False), type, 4096);
    if (property.format != 32 || property.type != type) return {};
    return std::move(property.items);
}

std::optional<std::string> x11Text(Display* display, unsigned long window, unsigned long property,
                                   unsigned long type, long maxLength) {
    const X11Property text = x11ReadProperty(display, window, property, type, maxLength);
    if (text.format != 8 || text.type == None || (type != AnyPropertyType && text.type != type))
        return std::nullopt;
    return std::string(text.items.begin(), text.items.end());
}

} // namespace mirevo

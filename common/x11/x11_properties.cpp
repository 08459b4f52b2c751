#include "common/x11/x11_properties.h"

#include <memory>

#include "common/x11/x11_error_trap.h"

namespace mirevo {

std::vector<long> x11LongList(Display* display, unsigned long window, const char* name, unsigned long type) {
    Atom actualType = None;
    int format = 0;
    unsigned long count = 0, after = 0;
    unsigned char* raw = nullptr;
    if (XGetWindowProperty(display, window, XInternAtom(display, name, False), 0, 4096, False, type,
                           &actualType, &format, &count, &after, &raw) != Success)
        return {};
    std::unique_ptr<unsigned char, XFreeDeleter> data(raw);
    if (!data || format != 32 || actualType != type) return {};
    const long* values = reinterpret_cast<const long*>(data.get());
    return std::vector<long>(values, values + count);
}

} // namespace mirevo

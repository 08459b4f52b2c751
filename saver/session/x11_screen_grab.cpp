#include "saver/session/x11_screen_grab.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include <sys/ipc.h>
#include <sys/shm.h>

#include "saver/session/x11_error_trap.h"

#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/Xrandr.h>

namespace mirevo {
namespace {

struct ImageDeleter {
    void operator()(XImage* image) const {
        if (image) XDestroyImage(image);
    }
};
using ImagePtr = std::unique_ptr<XImage, ImageDeleter>;

// A shared-memory image: the segment is unmapped after the image header is gone.
struct ShmImage {
    XImage* image = nullptr;
    void* address = reinterpret_cast<void*>(-1);
    ~ShmImage() {
        if (image) {
            image->data = nullptr;  // the segment is not Xlib's to free
            XDestroyImage(image);
        }
        if (address != reinterpret_cast<void*>(-1)) shmdt(address);
    }
};

bool hostIsLittleEndian() {
    const uint16_t probe = 1;
    uint8_t first = 0;
    std::memcpy(&first, &probe, 1);
    return first == 1;
}

// 32-bit 0x00RRGGBB in this machine's byte order: what the bitmap writer reads straight from the image.
bool isNativeRgb32(const XImage& image) {
    return image.bits_per_pixel == 32 && image.red_mask == 0xff0000 && image.green_mask == 0xff00 &&
           image.blue_mask == 0xff && image.byte_order == (hostIsLittleEndian() ? LSBFirst : MSBFirst);
}

int shiftOf(unsigned long mask) {
    int shift = 0;
    while (mask && !(mask & 1)) mask >>= 1, ++shift;
    return shift;
}

unsigned scaleTo8Bits(unsigned long pixel, unsigned long mask) {
    if (!mask) return 0;
    unsigned long value = (pixel & mask) >> shiftOf(mask);
    unsigned long max = mask >> shiftOf(mask);
    return unsigned(value * 255 / max);
}

// Other visuals (16-bit colour, other byte orders) are rare: convert pixel by pixel.
ScreenPicture convertedPicture(XImage& image) {
    auto pixels = std::make_shared<std::vector<uint32_t>>(size_t(image.width) * size_t(image.height));
    for (int y = 0; y < image.height; ++y)
        for (int x = 0; x < image.width; ++x) {
            unsigned long p = XGetPixel(&image, x, y);
            (*pixels)[size_t(y) * size_t(image.width) + size_t(x)] =
                uint32_t(scaleTo8Bits(p, image.red_mask) << 16 | scaleTo8Bits(p, image.green_mask) << 8 |
                         scaleTo8Bits(p, image.blue_mask));
        }
    PixelView view{reinterpret_cast<const uint8_t*>(pixels->data()), image.width, image.height,
                   size_t(image.width) * 4};
    return {view, pixels};
}

template <typename Holder>
ScreenPicture pictureOf(std::shared_ptr<Holder> holder, XImage& image) {
    if (!isNativeRgb32(image)) return convertedPicture(image);
    PixelView view{reinterpret_cast<const uint8_t*>(image.data), image.width, image.height,
                   size_t(image.bytes_per_line)};
    return {view, holder};
}

std::optional<ScreenPicture> grabShared(Display* display, const ScreenArea& area) {
    int screen = DefaultScreen(display);
    auto shm = std::make_shared<ShmImage>();
    XShmSegmentInfo info{};
    shm->image = XShmCreateImage(display, DefaultVisual(display, screen), unsigned(DefaultDepth(display, screen)),
                                 ZPixmap, nullptr, &info, unsigned(area.width), unsigned(area.height));
    if (!shm->image) return std::nullopt;
    info.shmid = shmget(IPC_PRIVATE, size_t(shm->image->bytes_per_line) * size_t(area.height), IPC_CREAT | 0600);
    if (info.shmid < 0) return std::nullopt;
    shm->address = shmat(info.shmid, nullptr, 0);
    // Marked for removal at once: it goes when both sides have detached, even if we die in between.
    shmctl(info.shmid, IPC_RMID, nullptr);
    if (shm->address == reinterpret_cast<void*>(-1)) return std::nullopt;
    info.shmaddr = shm->image->data = static_cast<char*>(shm->address);
    info.readOnly = False;

    X11ErrorTrap trap(display);
    if (!XShmAttach(display, &info) || trap.failed()) return std::nullopt;
    bool read = XShmGetImage(display, RootWindow(display, screen), shm->image, area.x, area.y, AllPlanes);
    XShmDetach(display, &info);
    if (!read || trap.failed()) return std::nullopt;
    return pictureOf(shm, *shm->image);
}

std::optional<ScreenPicture> grabPlain(Display* display, const ScreenArea& area) {
    X11ErrorTrap trap(display);
    XImage* raw = XGetImage(display, DefaultRootWindow(display), area.x, area.y, unsigned(area.width),
                            unsigned(area.height), AllPlanes, ZPixmap);
    if (!raw || trap.failed()) {
        ImagePtr discard(raw);
        return std::nullopt;
    }
    std::shared_ptr<XImage> image(raw, ImageDeleter());
    return pictureOf(image, *image);
}

} // namespace

ScreenArea primaryScreenArea(Display* display) {
    const int screen = DefaultScreen(display);
    ScreenArea whole{0, 0, DisplayWidth(display, screen), DisplayHeight(display, screen)};
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    if (!XRRQueryExtension(display, &eventBase, &errorBase) || !XRRQueryVersion(display, &major, &minor) ||
        (major == 1 && minor < 3))
        return whole;

    X11ErrorTrap trap(display);
    Window root = RootWindow(display, screen);
    RROutput primary = XRRGetOutputPrimary(display, root);
    if (!primary) return whole;
    std::unique_ptr<XRRScreenResources, void (*)(XRRScreenResources*)> resources(
        XRRGetScreenResourcesCurrent(display, root), XRRFreeScreenResources);
    if (!resources) return whole;
    std::unique_ptr<XRROutputInfo, void (*)(XRROutputInfo*)> output(
        XRRGetOutputInfo(display, resources.get(), primary), XRRFreeOutputInfo);
    if (!output || !output->crtc) return whole;
    std::unique_ptr<XRRCrtcInfo, void (*)(XRRCrtcInfo*)> crtc(XRRGetCrtcInfo(display, resources.get(), output->crtc),
                                                              XRRFreeCrtcInfo);
    if (!crtc || crtc->width == 0 || crtc->height == 0 || trap.failed()) return whole;
    ScreenArea area{crtc->x, crtc->y, int(crtc->width), int(crtc->height)};
    // A monitor reaching outside the root (a panning set-up) cannot be read whole: take the root instead.
    if (area.x < 0 || area.y < 0 || area.x + area.width > whole.width || area.y + area.height > whole.height)
        return whole;
    return area;
}

std::optional<ScreenPicture> grabScreenArea(Display* display, const ScreenArea& area, GrabMethod method) {
    if (!display || area.width <= 0 || area.height <= 0) return std::nullopt;
    if (method == GrabMethod::Fastest && XShmQueryExtension(display)) {
        if (auto picture = grabShared(display, area)) return picture;
    }
    return grabPlain(display, area);
}

} // namespace mirevo

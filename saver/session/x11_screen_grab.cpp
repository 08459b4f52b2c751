#include "saver/session/x11_screen_grab.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <optional>
#include <vector>

#include <sys/ipc.h>
#include <sys/shm.h>

#include "common/x11/x11_error_trap.h"

#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>
#include <X11/extensions/Xrandr.h>

namespace mirevo {
namespace {

// Half a megabyte of pixels per request: small enough for the cache, large enough that the round trips
// do not count.
constexpr size_t kBandBytes = 512 * 1024;

struct ImageDeleter {
    void operator()(XImage* image) const {
        if (image) XDestroyImage(image);
    }
};
using ImagePtr = std::unique_ptr<XImage, ImageDeleter>;

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
    while (mask && !(mask & 1))
        mask >>= 1, ++shift;
    return shift;
}

unsigned scaleTo8Bits(unsigned long pixel, unsigned long mask) {
    if (!mask) return 0;
    const unsigned long value = (pixel & mask) >> shiftOf(mask);
    const unsigned long max = mask >> shiftOf(mask);
    return unsigned(value * 255 / max);
}

// Rows firstRow .. firstRow + rows - 1 of the image as 0x00RRGGBB pixels. Other visuals (16-bit colour,
// other byte orders) are rare and converted pixel by pixel into converted.
PixelView viewOf(XImage& image, int firstRow, int rows, std::vector<uint32_t>& converted) {
    if (isNativeRgb32(image))
        return {reinterpret_cast<const uint8_t*>(image.data) +
                    size_t(firstRow) * size_t(image.bytes_per_line),
                image.width, rows, size_t(image.bytes_per_line)};
    converted.resize(size_t(image.width) * size_t(rows));
    for (int y = 0; y < rows; ++y)
        for (int x = 0; x < image.width; ++x) {
            const unsigned long p = XGetPixel(&image, x, firstRow + y);
            converted[size_t(y) * size_t(image.width) + size_t(x)] =
                uint32_t(scaleTo8Bits(p, image.red_mask) << 16 | scaleTo8Bits(p, image.green_mask) << 8 |
                         scaleTo8Bits(p, image.blue_mask));
        }
    return {reinterpret_cast<const uint8_t*>(converted.data()), image.width, rows, size_t(image.width) * 4};
}

int bandFor(const ScreenArea& area) {
    return int(std::clamp<size_t>(kBandBytes / (size_t(area.width) * 4), 1, size_t(area.height)));
}

// One shared-memory segment a band high, filled by the server at each read.
class ShmRows final : public RowSource {
public:
    ShmRows(Display* display, const ScreenArea& area) : display_(display), area_(area), band_(bandFor(area)) {
        const int screen = DefaultScreen(display);
        image_ =
            XShmCreateImage(display, DefaultVisual(display, screen), unsigned(DefaultDepth(display, screen)),
                            ZPixmap, nullptr, &info_, unsigned(area.width), unsigned(band_));
        if (!image_) return;
        info_.shmid = shmget(IPC_PRIVATE, size_t(image_->bytes_per_line) * size_t(band_), IPC_CREAT | 0600);
        if (info_.shmid < 0) return;
        void* address = shmat(info_.shmid, nullptr, 0);
        // Marked for removal at once: it goes when both sides have detached, even if we die in between.
        shmctl(info_.shmid, IPC_RMID, nullptr);
        if (address == reinterpret_cast<void*>(-1)) return;
        info_.shmaddr = image_->data = static_cast<char*>(address);
        info_.readOnly = False;
        // A remote server cannot reach our memory: the attach fails and the caller reads plain images.
        trap_.emplace(display);
        attached_ = XShmAttach(display, &info_) && !trap_->failed();
    }
    ~ShmRows() override {
        if (attached_) XShmDetach(display_, &info_);
        trap_.reset();
        if (info_.shmaddr) shmdt(info_.shmaddr);
        if (image_) {
            image_->data = nullptr; // the segment is not Xlib's to free
            XDestroyImage(image_);
        }
    }
    ShmRows(const ShmRows&) = delete;
    ShmRows& operator=(const ShmRows&) = delete;

    bool attached() const { return attached_; }
    int width() const override { return area_.width; }
    int height() const override { return area_.height; }
    int bandHeight() const override { return band_; }

    std::optional<PixelView> readRows(int top, int count) override {
        if (top < 0 || count < 1 || count > band_ || top + count > area_.height) return std::nullopt;
        // The segment always takes a whole band; near the top of the screen it starts lower down.
        const int readTop = std::min(top, area_.height - band_);
        if (!XShmGetImage(display_, DefaultRootWindow(display_), image_, area_.x, area_.y + readTop,
                          AllPlanes))
            return std::nullopt;
        return viewOf(*image_, top - readTop, count, converted_);
    }

private:
    Display* display_;
    ScreenArea area_;
    int band_;
    XImage* image_ = nullptr;
    XShmSegmentInfo info_{};
    std::optional<X11ErrorTrap> trap_;
    bool attached_ = false;
    std::vector<uint32_t> converted_;
};

// One image request per band, for servers without shared memory.
class PlainRows final : public RowSource {
public:
    PlainRows(Display* display, const ScreenArea& area)
        : display_(display), area_(area), band_(bandFor(area)), trap_(display) {}

    int width() const override { return area_.width; }
    int height() const override { return area_.height; }
    int bandHeight() const override { return band_; }

    std::optional<PixelView> readRows(int top, int count) override {
        if (top < 0 || count < 1 || count > band_ || top + count > area_.height) return std::nullopt;
        image_.reset(XGetImage(display_, DefaultRootWindow(display_), area_.x, area_.y + top,
                               unsigned(area_.width), unsigned(count), AllPlanes, ZPixmap));
        if (!image_) return std::nullopt;
        return viewOf(*image_, 0, count, converted_);
    }

private:
    Display* display_;
    ScreenArea area_;
    int band_;
    X11ErrorTrap trap_; // a refused read is an error reply, not the end of the program
    ImagePtr image_;
    std::vector<uint32_t> converted_;
};

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
    std::unique_ptr<XRRCrtcInfo, void (*)(XRRCrtcInfo*)> crtc(
        XRRGetCrtcInfo(display, resources.get(), output->crtc), XRRFreeCrtcInfo);
    if (!crtc || crtc->width == 0 || crtc->height == 0 || trap.failed()) return whole;
    ScreenArea area{crtc->x, crtc->y, int(crtc->width), int(crtc->height)};
    // A monitor reaching outside the root (a panning set-up) cannot be read whole: take the root instead.
    if (area.x < 0 || area.y < 0 || area.x + area.width > whole.width || area.y + area.height > whole.height)
        return whole;
    return area;
}

std::unique_ptr<RowSource> openScreenRows(Display* display, const ScreenArea& area, GrabMethod method) {
    if (!display || area.width <= 0 || area.height <= 0) return nullptr;
    if (method == GrabMethod::Fastest && XShmQueryExtension(display)) {
        auto shared = std::make_unique<ShmRows>(display, area);
        if (shared->attached()) return shared;
    }
    return std::make_unique<PlainRows>(display, area);
}

} // namespace mirevo

#include "common/x11/x11_drawable_rows.h"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

#include <sys/ipc.h>
#include <sys/shm.h>

#include "common/x11/x11_error_trap.h"

#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>

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

// Rows firstRow .. firstRow + rows - 1 of the image as 0x00RRGGBB pixels. Other layouts (16-bit colour,
// other byte orders) are converted into converted; nothing for a layout that cannot be.
std::optional<PixelView> viewOf(const XImage& image, const PixelFormat& format, int firstRow, int rows,
                                std::vector<uint32_t>& converted) {
    const ImageLayout layout{image.bits_per_pixel, image.byte_order == MSBFirst, format};
    const uint8_t* first =
        reinterpret_cast<const uint8_t*>(image.data) + size_t(firstRow) * size_t(image.bytes_per_line);
    if (isNativeRgb32(layout)) return PixelView{first, image.width, rows, size_t(image.bytes_per_line)};
    converted.resize(size_t(image.width) * size_t(rows));
    for (int y = 0; y < rows; ++y)
        if (!unpackRow(layout, first + size_t(y) * size_t(image.bytes_per_line), image.width,
                       converted.data() + size_t(y) * size_t(image.width)))
            return std::nullopt;
    return PixelView{reinterpret_cast<const uint8_t*>(converted.data()), image.width, rows,
                     size_t(image.width) * 4};
}

int bandFor(const ScreenArea& area) {
    return int(std::clamp<size_t>(kBandBytes / (size_t(area.width) * 4), 1, size_t(area.height)));
}

// The server's own answer: the bits a pixel of this depth takes in an image.
int bitsPerPixelOf(Display* display, int depth) {
    int count = 0;
    std::unique_ptr<XPixmapFormatValues, XFreeDeleter> formats(XListPixmapFormats(display, &count));
    for (int i = 0; formats && i < count; ++i)
        if (formats.get()[i].depth == depth) return formats.get()[i].bits_per_pixel;
    return 0;
}

bool rowsInside(int top, int count, int band, int height) {
    return top >= 0 && count >= 1 && count <= band && top + count <= height;
}

// One shared-memory segment a band high, filled by the server at each read.
class ShmRows final : public DrawableRows {
public:
    ShmRows(Display* display, const DrawablePixels& pixels, const ScreenArea& area)
        : display_(display), pixels_(pixels), area_(area), band_(bandFor(area)) {
        // The visual only lends the image its masks, which are not used: the pixels' format says.
        image_ = XShmCreateImage(display, DefaultVisual(display, DefaultScreen(display)), unsigned(pixels.depth),
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
    bool sharedMemory() const override { return true; }
    int bitsPerPixel() const override { return image_->bits_per_pixel; }

    std::optional<PixelView> readRows(int top, int count) override {
        if (!rowsInside(top, count, band_, area_.height)) return std::nullopt;
        // The segment always takes a whole band; near the top of the area it starts lower down.
        const int readTop = std::min(top, area_.height - band_);
        if (!XShmGetImage(display_, pixels_.drawable, image_, area_.x, area_.y + readTop, AllPlanes))
            return std::nullopt;
        return viewOf(*image_, pixels_.format, top - readTop, count, converted_);
    }

private:
    Display* display_;
    DrawablePixels pixels_;
    ScreenArea area_;
    int band_;
    XImage* image_ = nullptr;
    XShmSegmentInfo info_{};
    std::optional<X11ErrorTrap> trap_; // a refused read is an error reply, not the end of the program
    bool attached_ = false;
    std::vector<uint32_t> converted_;
};

// One image request per band, for servers without shared memory.
class PlainRows final : public DrawableRows {
public:
    PlainRows(Display* display, const DrawablePixels& pixels, const ScreenArea& area)
        : display_(display), pixels_(pixels), area_(area), band_(bandFor(area)),
          bitsPerPixel_(bitsPerPixelOf(display, pixels.depth)), trap_(display) {}

    int width() const override { return area_.width; }
    int height() const override { return area_.height; }
    int bandHeight() const override { return band_; }
    bool sharedMemory() const override { return false; }
    int bitsPerPixel() const override { return bitsPerPixel_; }

    std::optional<PixelView> readRows(int top, int count) override {
        if (!rowsInside(top, count, band_, area_.height)) return std::nullopt;
        image_.reset(XGetImage(display_, pixels_.drawable, area_.x, area_.y + top, unsigned(area_.width),
                               unsigned(count), AllPlanes, ZPixmap));
        if (!image_) return std::nullopt;
        return viewOf(*image_, pixels_.format, 0, count, converted_);
    }

private:
    Display* display_;
    DrawablePixels pixels_;
    ScreenArea area_;
    int band_;
    int bitsPerPixel_;
    X11ErrorTrap trap_; // a refused read is an error reply, not the end of the program
    ImagePtr image_;
    std::vector<uint32_t> converted_;
};

} // namespace

std::unique_ptr<DrawableRows> openDrawableRows(Display* display, const DrawablePixels& pixels,
                                               const ScreenArea& area, GrabMethod method) {
    if (!display || area.width <= 0 || area.height <= 0 || pixels.depth <= 0) return nullptr;
    if (method == GrabMethod::Fastest && XShmQueryExtension(display)) {
        auto shared = std::make_unique<ShmRows>(display, pixels, area);
        if (shared->attached()) return shared;
    }
    return std::make_unique<PlainRows>(display, pixels, area);
}

} // namespace mirevo

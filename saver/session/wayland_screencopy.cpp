#include "saver/session/wayland_screencopy.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstring>
#include <memory>

#include <sys/mman.h>
#include <unistd.h>
#include <wayland-client.h>

#include "common/posix/posix_stop_signals.h"
#include "common/posix/unique_fd.h"
#include "common/wayland/wayland_connection.h"
#include "saver/session/picture_size.h"
#include "wlr-screencopy-unstable-v1-client-protocol.h"

namespace mirevo {
namespace {

constexpr uint32_t kAbgr8888 = 0x34324241, kXbgr8888 = 0x34324258;

bool knownFormat(uint32_t format) {
    return format == WL_SHM_FORMAT_ARGB8888 || format == WL_SHM_FORMAT_XRGB8888 || format == kAbgr8888 ||
           format == kXbgr8888;
}

// Shared memory the compositor writes one output's pixels into.
class ShmBuffer {
public:
    ShmBuffer() = default;
    ~ShmBuffer() {
        if (buffer_) wl_buffer_destroy(buffer_);
        if (memory_ != MAP_FAILED) ::munmap(memory_, size_);
    }
    ShmBuffer(const ShmBuffer&) = delete;
    ShmBuffer& operator=(const ShmBuffer&) = delete;

    bool make(wl_shm* shm, uint32_t format, int width, int height, int stride) {
        size_ = size_t(stride) * size_t(height);
        UniqueFd fd(::memfd_create("mirevo-screen-copy", MFD_CLOEXEC));
        if (!fd.valid() || ::ftruncate(fd.get(), off_t(size_)) != 0) return false;
        memory_ = ::mmap(nullptr, size_, PROT_READ | PROT_WRITE, MAP_SHARED, fd.get(), 0);
        if (memory_ == MAP_FAILED) return false;
        wl_shm_pool* pool = wl_shm_create_pool(shm, fd.get(), int32_t(size_));
        buffer_ = wl_shm_pool_create_buffer(pool, 0, width, height, stride, format);
        wl_shm_pool_destroy(pool);
        return buffer_ != nullptr;
    }
    wl_buffer* buffer() const { return buffer_; }
    const uint8_t* bytes() const { return static_cast<const uint8_t*>(memory_); }

private:
    wl_buffer* buffer_ = nullptr;
    void* memory_ = MAP_FAILED;
    size_t size_ = 0;
};

struct Capture {
    wl_shm* shm = nullptr;
    uint32_t version = 1;
    zwlr_screencopy_frame_v1* frame = nullptr;
    OutputCopy copy;
    uint32_t format = 0;
    bool offered = false, copying = false, ready = false, failed = false;
    std::string why;
    ShmBuffer buffer;

    ~Capture() {
        if (frame) zwlr_screencopy_frame_v1_destroy(frame);
    }
    bool finished() const { return ready || failed; }
    void fail(std::string reason) {
        failed = true;
        if (why.empty()) why = std::move(reason);
    }
    // The buffer the compositor asked for, once it has said everything about it.
    void startCopy() {
        if (copying || failed) return;
        if (!offered) return fail("no buffer in shared memory offered");
        if (!knownFormat(format)) return fail("an unknown pixel format");
        if (!copyBufferFits(copy.layout, uint32_t(copy.width), uint32_t(copy.height), uint32_t(copy.stride)))
            return fail("a buffer of " + std::to_string(uint32_t(copy.width)) + " x " +
                        std::to_string(uint32_t(copy.height)) + " pixels, larger than the output");
        if (!buffer.make(shm, format, copy.width, copy.height, int(copy.stride)))
            return fail(std::string("no shared memory (") + std::strerror(errno) + ")");
        copying = true;
        zwlr_screencopy_frame_v1_copy(frame, buffer.buffer());
    }

    static void onBuffer(void* data, zwlr_screencopy_frame_v1*, uint32_t format, uint32_t width, uint32_t height,
                         uint32_t stride) {
        auto* capture = static_cast<Capture*>(data);
        if (capture->offered) return;
        capture->offered = true;
        capture->format = format;
        // Checked before anything is made of them (startCopy): the compositor's word alone.
        capture->copy.width = int(std::min<uint32_t>(width, INT_MAX));
        capture->copy.height = int(std::min<uint32_t>(height, INT_MAX));
        capture->copy.stride = stride;
        if (capture->version < 3) capture->startCopy();
    }
    static void onFlags(void* data, zwlr_screencopy_frame_v1*, uint32_t flags) {
        static_cast<Capture*>(data)->copy.yInverted = (flags & ZWLR_SCREENCOPY_FRAME_V1_FLAGS_Y_INVERT) != 0;
    }
    static void onReady(void* data, zwlr_screencopy_frame_v1*, uint32_t, uint32_t, uint32_t) {
        static_cast<Capture*>(data)->ready = true;
    }
    static void onFailed(void* data, zwlr_screencopy_frame_v1*) {
        static_cast<Capture*>(data)->fail("the compositor refused the copy");
    }
    static void onDamage(void*, zwlr_screencopy_frame_v1*, uint32_t, uint32_t, uint32_t, uint32_t) {}
    static void onDmabuf(void*, zwlr_screencopy_frame_v1*, uint32_t, uint32_t, uint32_t) {}
    static void onBufferDone(void* data, zwlr_screencopy_frame_v1*) { static_cast<Capture*>(data)->startCopy(); }
};

const zwlr_screencopy_frame_v1_listener kFrameListener = {Capture::onBuffer, Capture::onFlags,  Capture::onReady,
                                                          Capture::onFailed, Capture::onDamage, Capture::onDmabuf,
                                                          Capture::onBufferDone};

} // namespace

Result<std::vector<OutputCopy>, std::string> copyOutputs(WaylandConnection& connection,
                                                         std::chrono::steady_clock::time_point deadline, int wakeFd) {
    if (connection.outputs().empty()) return Failure(std::string("the compositor names no output"));
    const uint32_t version = std::min<uint32_t>(connection.globalVersion(zwlr_screencopy_manager_v1_interface.name), 3);
    if (version == 0) return Failure(std::string("the compositor offers no wlroots screen copy"));
    auto* shm = static_cast<wl_shm*>(connection.bind(&wl_shm_interface, 1));
    auto* manager =
        static_cast<zwlr_screencopy_manager_v1*>(connection.bind(&zwlr_screencopy_manager_v1_interface, version));
    if (!shm || !manager) return Failure(std::string("no shared memory or screen copy to bind"));

    std::vector<std::unique_ptr<Capture>> captures;
    for (size_t i = 0; i < connection.outputs().size(); ++i) {
        auto capture = std::make_unique<Capture>();
        capture->shm = shm;
        capture->version = version;
        capture->copy.layout = connection.outputs()[i];
        capture->frame = zwlr_screencopy_manager_v1_capture_output(manager, 0, connection.output(i));
        zwlr_screencopy_frame_v1_add_listener(capture->frame, &kFrameListener, capture.get());
        captures.push_back(std::move(capture));
    }
    const bool finished = connection.dispatchUntil(
        deadline,
        [&] {
            for (const auto& capture : captures)
                if (!capture->finished()) return false;
            return true;
        },
        wakeFd);

    Result<std::vector<OutputCopy>, std::string> result = std::vector<OutputCopy>{};
    if (!finished) {
        result = Failure(std::string(connection.lost()     ? "the compositor went away"
                                     : connection.woken() ? "asked to stop"
                                                          : "no copy within the time allowed"));
    } else {
        for (auto& capture : captures) {
            if (capture->failed) {
                result = Failure("output " + capture->copy.layout.name + ": " + capture->why);
                break;
            }
            OutputCopy& copy = capture->copy;
            copy.order = capture->format == kAbgr8888 || capture->format == kXbgr8888 ? CopiedPixels::Xbgr
                                                                                       : CopiedPixels::Xrgb;
            const uint8_t* bytes = capture->buffer.bytes();
            copy.pixels.assign(bytes, bytes + copy.stride * size_t(copy.height));
            result->push_back(std::move(copy));
        }
    }
    captures.clear();
    zwlr_screencopy_manager_v1_destroy(manager);
    wl_shm_destroy(shm);
    wl_display_flush(connection.display());
    return result;
}

PictureSource wlrScreenCopySource() {
    return {"the wlroots screen copy", [](Deadline deadline) -> Result<ComposedPicture, std::string> {
                const auto left =
                    std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
                auto connection = WaylandConnection::connect(left, stopSignalFd());
                if (!connection) return Failure(connection.reason().why);
                auto copies = copyOutputs(**connection, deadline, stopSignalFd());
                if (!copies) return Failure(copies.reason());
                return composeOutputs(*copies);
            }};
}

} // namespace mirevo

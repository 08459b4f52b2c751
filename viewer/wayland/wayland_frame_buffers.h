#pragma once
// What a shared frame is drawn into and read into: a GL framebuffer of the group's size on the one context,
// and shared-memory buffers of the viewer's own (XRGB8888, top row first) that the compositor reads, one
// wl_buffer over each per surface that commits it. Wayland, EGL and GL calls only; which buffer is free is
// FrameGroups' to say.
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>

#include "common/posix/unique_fd.h"
#include "viewer/wayland/floor_damage.h"

struct wl_shm;
struct wl_shm_pool;
struct wl_buffer;

namespace mirevo::viewer {

// The framebuffer calls of OpenGL 3.0 (or ARB_framebuffer_object), looked up once the context exists.
struct GlFramebufferCalls;
// Nothing when the context has no framebuffer objects.
std::shared_ptr<const GlFramebufferCalls> lookUpFramebufferCalls();

// A colour buffer the size of a frame to draw the floor into off screen, and nothing else: the floor is drawn
// without the depth test (one flat quad), as the hack draws it, and a software GL skips clearing what the floor
// covers whole only where no depth buffer is bound.
class GlFrameTarget {
public:
    // Made on the current context; valid() says whether the driver took it.
    GlFrameTarget(std::shared_ptr<const GlFramebufferCalls> calls, int width, int height);
    ~GlFrameTarget();
    GlFrameTarget(const GlFrameTarget&) = delete;
    GlFrameTarget& operator=(const GlFrameTarget&) = delete;

    bool valid() const { return valid_; }
    // Drawing goes here from now on.
    void bind() const;
    // The pixels within `rect` (GL window coordinates) into `rows`, a width x height picture of stride bytes,
    // top row first, as B, G, R, X bytes (XRGB8888 in a little-endian word).
    void read(const PixelRect& rect, uint8_t* rows, int stride) const;

private:
    std::shared_ptr<const GlFramebufferCalls> calls_;
    int width_, height_;
    unsigned framebuffer_ = 0, colour_ = 0;
    bool valid_ = false;
    bool invertOnRead_ = false; // the driver turns rows over as it reads (MESA_pack_invert)
};

// One shared-memory buffer of a frame, mapped here, with a wl_buffer for each surface that commits it.
class ShmFrameBuffer {
public:
    // Called with the surface's number when the compositor releases the buffer there.
    using Released = std::function<void(uint32_t surface)>;

    // Nothing when the memory cannot be had.
    static std::unique_ptr<ShmFrameBuffer> make(wl_shm* shm, int width, int height, Released released);
    ~ShmFrameBuffer();
    ShmFrameBuffer(const ShmFrameBuffer&) = delete;
    ShmFrameBuffer& operator=(const ShmFrameBuffer&) = delete;

    uint8_t* rows() const { return static_cast<uint8_t*>(map_); }
    int stride() const { return stride_; }
    // The wl_buffer surface `surface` commits these pixels through (made on first use).
    wl_buffer* bufferFor(uint32_t surface);
    // A surface gone: its wl_buffer too.
    void forget(uint32_t surface);
    // The compositor released the buffer on that surface.
    void released(uint32_t surface);

    // Where the floor is in the pixels it holds: outside it they are black. Nothing: not known.
    std::optional<PixelRect> floor;

    struct Listener;

private:
    ShmFrameBuffer() = default;
    UniqueFd fd_;
    void* map_ = nullptr;
    size_t size_ = 0;
    int width_ = 0, height_ = 0, stride_ = 0;
    wl_shm_pool* pool_ = nullptr;
    Released released_;
    std::map<uint32_t, std::unique_ptr<Listener>> buffers_; // by surface
};

} // namespace mirevo::viewer

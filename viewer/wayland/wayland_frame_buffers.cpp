#include "viewer/wayland/wayland_frame_buffers.h"

#include <cstring>

#include <sys/mman.h>
#include <unistd.h>

#include <EGL/egl.h>
#include <GL/gl.h>
#include <GL/glext.h>
#include <wayland-client.h>

namespace mirevo::viewer {

struct GlFramebufferCalls {
    PFNGLGENFRAMEBUFFERSPROC genFramebuffers = nullptr;
    PFNGLDELETEFRAMEBUFFERSPROC deleteFramebuffers = nullptr;
    PFNGLBINDFRAMEBUFFERPROC bindFramebuffer = nullptr;
    PFNGLFRAMEBUFFERTEXTURE2DPROC framebufferTexture2D = nullptr;
    PFNGLCHECKFRAMEBUFFERSTATUSPROC checkFramebufferStatus = nullptr;
    bool packInvert = false;
};

namespace {

bool hasGlExtension(const char* name) {
    const char* all = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    if (!all) return false;
    const size_t length = std::strlen(name);
    for (const char* at = std::strstr(all, name); at; at = std::strstr(at + 1, name))
        if ((at == all || at[-1] == ' ') && (at[length] == ' ' || at[length] == '\0')) return true;
    return false;
}

template <typename Call>
bool lookUp(Call& call, const char* name) {
    call = reinterpret_cast<Call>(eglGetProcAddress(name));
    return call != nullptr;
}

constexpr GLenum kPackInvertMesa = 0x8758;

} // namespace

std::shared_ptr<const GlFramebufferCalls> lookUpFramebufferCalls() {
    const char* version = reinterpret_cast<const char*>(glGetString(GL_VERSION));
    if (!version || (version[0] < '3' && !hasGlExtension("GL_ARB_framebuffer_object"))) return nullptr;
    auto calls = std::make_shared<GlFramebufferCalls>();
    auto& c = *calls;
    const bool all = lookUp(c.genFramebuffers, "glGenFramebuffers") &&
                     lookUp(c.deleteFramebuffers, "glDeleteFramebuffers") &&
                     lookUp(c.bindFramebuffer, "glBindFramebuffer") &&
                     lookUp(c.framebufferTexture2D, "glFramebufferTexture2D") &&
                     lookUp(c.checkFramebufferStatus, "glCheckFramebufferStatus");
    if (!all) return nullptr;
    c.packInvert = hasGlExtension("GL_MESA_pack_invert");
    return calls;
}

GlFrameTarget::GlFrameTarget(std::shared_ptr<const GlFramebufferCalls> calls, int width, int height)
    : calls_(std::move(calls)), width_(width), height_(height) {
    const GlFramebufferCalls& c = *calls_;
    GLint boundTexture = 0;
    glGetIntegerv(GL_TEXTURE_BINDING_2D, &boundTexture);
    glGenTextures(1, &colour_);
    glBindTexture(GL_TEXTURE_2D, colour_);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_NEAREST);
    // Unsized, given as B, G, R, A bytes: the driver keeps it in that order, so that reading it into a
    // compositor's XRGB8888 is a copy, not a swizzle.
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA, width, height, 0, GL_BGRA, GL_UNSIGNED_BYTE, nullptr);
    glBindTexture(GL_TEXTURE_2D, GLuint(boundTexture));
    c.genFramebuffers(1, &framebuffer_);
    c.bindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
    c.framebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, colour_, 0);
    valid_ = c.checkFramebufferStatus(GL_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
    invertOnRead_ = c.packInvert;
}

GlFrameTarget::~GlFrameTarget() {
    const GlFramebufferCalls& c = *calls_;
    GLint bound = 0;
    glGetIntegerv(GL_FRAMEBUFFER_BINDING, &bound);
    if (GLuint(bound) == framebuffer_) c.bindFramebuffer(GL_FRAMEBUFFER, 0);
    c.deleteFramebuffers(1, &framebuffer_);
    glDeleteTextures(1, &colour_);
}

void GlFrameTarget::bind() const {
    calls_->bindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
}

void GlFrameTarget::read(const PixelRect& rect, uint8_t* rows, int stride) const {
    if (rect.empty()) return;
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ROW_LENGTH, stride / 4);
    // GL's rows run from the bottom, the compositor's from the top.
    const auto rowOf = [&](int glRow) { return rows + size_t(height_ - 1 - glRow) * size_t(stride) + size_t(rect.x) * 4; };
    if (invertOnRead_) {
        glPixelStorei(kPackInvertMesa, GL_TRUE);
        glReadPixels(rect.x, rect.y, rect.width, rect.height, GL_BGRA, GL_UNSIGNED_BYTE,
                     rowOf(rect.y + rect.height - 1));
        glPixelStorei(kPackInvertMesa, GL_FALSE);
    } else {
        for (int y = rect.y; y < rect.y + rect.height; ++y)
            glReadPixels(rect.x, y, rect.width, 1, GL_BGRA, GL_UNSIGNED_BYTE, rowOf(y));
    }
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
}

struct ShmFrameBuffer::Listener {
    ShmFrameBuffer* owner = nullptr;
    uint32_t surface = 0;
    wl_buffer* buffer = nullptr;
};

namespace {

void bufferReleased(void* data, wl_buffer*) {
    auto* listener = static_cast<ShmFrameBuffer::Listener*>(data);
    listener->owner->released(listener->surface);
}
const wl_buffer_listener kBufferListener = {bufferReleased};

} // namespace

void ShmFrameBuffer::released(uint32_t surface) {
    if (released_) released_(surface);
}

std::unique_ptr<ShmFrameBuffer> ShmFrameBuffer::make(wl_shm* shm, int width, int height, Released released) {
    std::unique_ptr<ShmFrameBuffer> made(new ShmFrameBuffer);
    made->width_ = width, made->height_ = height, made->stride_ = width * 4;
    made->size_ = size_t(made->stride_) * size_t(height);
    made->released_ = std::move(released);
    if (!shm || width <= 0 || height <= 0 || made->size_ > size_t(INT32_MAX)) return nullptr;
    made->fd_ = UniqueFd(::memfd_create("mirevo-frame", MFD_CLOEXEC));
    if (!made->fd_.valid() || ::ftruncate(made->fd_.get(), off_t(made->size_)) != 0) return nullptr;
    void* map = ::mmap(nullptr, made->size_, PROT_READ | PROT_WRITE, MAP_SHARED, made->fd_.get(), 0);
    if (map == MAP_FAILED) return nullptr;
    made->map_ = map;
    // A new file reads as zeros: black.
    made->floor = PixelRect{};
    made->pool_ = wl_shm_create_pool(shm, made->fd_.get(), int32_t(made->size_));
    return made;
}

ShmFrameBuffer::~ShmFrameBuffer() {
    for (auto& [surface, listener] : buffers_)
        wl_buffer_destroy(listener->buffer);
    if (pool_) wl_shm_pool_destroy(pool_);
    if (map_) ::munmap(map_, size_);
}

wl_buffer* ShmFrameBuffer::bufferFor(uint32_t surface) {
    auto& listener = buffers_[surface];
    if (!listener) {
        listener = std::make_unique<Listener>();
        listener->owner = this, listener->surface = surface;
        listener->buffer = wl_shm_pool_create_buffer(pool_, 0, width_, height_, stride_, WL_SHM_FORMAT_XRGB8888);
        wl_buffer_add_listener(listener->buffer, &kBufferListener, listener.get());
    }
    return listener->buffer;
}

void ShmFrameBuffer::forget(uint32_t surface) {
    auto it = buffers_.find(surface);
    if (it == buffers_.end()) return;
    wl_buffer_destroy(it->second->buffer);
    buffers_.erase(it);
}

} // namespace mirevo::viewer

#pragma once
// Which surfaces share a frame, and which shared-memory buffer each frame may be read into. Outputs of the
// same buffer (size, scale, viewport) show the same floor: one camera, one pose a frame, the aspect from the
// buffer's size. So the floor is drawn once for each such group, read once into a buffer of the viewer's
// own, and that buffer's pixels are committed to every surface of the group. A buffer may be written only
// while no surface holds it: from the frame read into it until the compositor has released it on every
// surface it was committed to, and while a surface waits to commit it. Each surface commits the buffer
// through a wl_buffer of its own, so that each release says one surface is done with it, whatever way a
// compositor counts a wl_buffer attached to several surfaces. Plain logic over ids: surfaces by a number the
// adapter gives, buffers by the pool's numbers.
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

#include "viewer/wayland/surface_buffer.h"

namespace mirevo::viewer {

// The buffers of one group, by number.
class BufferPool {
public:
    // At most `most` buffers at once.
    explicit BufferPool(size_t most) : most_(most) {}

    // A buffer to read the next frame into: the free one made first, else a new number while fewer than
    // `most` exist; nothing when every buffer is held. Asked again before it is held, it gives the same one.
    std::optional<uint32_t> take();
    // The buffer goes to the surface (to be committed, or committed): held until released by it.
    void hold(uint32_t buffer, uint32_t surface);
    // The surface is done with the buffer (the compositor released it there, or a frame waiting to be
    // committed was replaced). One release undoes one hold; one never held is ignored.
    void release(uint32_t buffer, uint32_t surface);
    bool held(uint32_t buffer) const;
    bool has(uint32_t buffer) const { return buffers_.count(buffer) != 0; }
    // A surface gone: the buffers it held are never handed out again (the compositor may still read them and
    // will tell no more), and make room for new ones.
    void forget(uint32_t surface);
    // The buffers now, free or held, in the order made.
    std::vector<uint32_t> buffers() const;

private:
    size_t most_;
    uint32_t next_ = 1;
    std::map<uint32_t, std::map<uint32_t, int>> buffers_; // buffer -> surface -> holds
};

struct FrameGroup {
    uint32_t id = 0; // never reused within a run
    SurfaceBuffer buffer;
    std::vector<uint32_t> surfaces; // in the order they joined
    BufferPool pool;
};

class FrameGroups {
public:
    // Buffers per group at most: one each surface shows, one being read, one waiting for a slower surface.
    static constexpr size_t kBuffersPerGroup = 4;

    // The surface's buffer is now this one (a surface made, or its output's size or scale changed): it joins
    // the group of that buffer, leaving the one it was in. A frame it waited to commit is let go; a buffer it
    // committed stays held in its old group until released there. A group left empty goes, its buffers too.
    void place(uint32_t surface, const SurfaceBuffer& buffer);
    // A surface gone: it leaves its group, whose buffers it held are retired.
    void remove(uint32_t surface);

    const std::vector<FrameGroup>& groups() const { return groups_; }
    FrameGroup* group(uint32_t id);
    // The group the surface is in, nothing when none.
    const FrameGroup* groupOf(uint32_t surface) const;

    // A frame was read into `buffer` of the surface's group for it to commit: held for it, and the frame it
    // waited to commit before, if any, let go.
    void frameFor(uint32_t surface, uint32_t buffer);
    // The frame the surface waits to commit (nothing when none).
    std::optional<uint32_t> waiting(uint32_t surface) const;
    // It committed that frame: the compositor holds the buffer now, until it releases it.
    void committed(uint32_t surface);
    // The compositor released `buffer` of group `group` on the surface (a group since gone is ignored).
    void released(uint32_t group, uint32_t buffer, uint32_t surface);

private:
    size_t indexOf(uint32_t surface) const;
    void leave(uint32_t surface, bool gone);

    std::vector<FrameGroup> groups_;
    std::map<uint32_t, uint32_t> waiting_; // surface -> buffer of its group
    uint32_t nextId_ = 1;
};

} // namespace mirevo::viewer

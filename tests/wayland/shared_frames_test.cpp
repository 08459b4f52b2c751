#include "viewer/wayland/shared_frames.h"

#include <string>

#include <gtest/gtest.h>

namespace mirevo::viewer {
namespace {

const SurfaceBuffer kWide{1920, 1080, 1, false}, kWideTwice{1920, 1080, 2, false}, kSmall{800, 600, 1, false},
    kWideViewport{1920, 1080, 1, true};

// The groups as text: "1920x1080@1:1,2 800x600@1:3".
std::string describe(const FrameGroups& groups) {
    std::string text;
    for (const FrameGroup& g : groups.groups()) {
        if (!text.empty()) text += " ";
        text += std::to_string(g.buffer.width) + "x" + std::to_string(g.buffer.height) + "@" +
                std::to_string(g.buffer.scale) + (g.buffer.viewport ? "v" : "") + ":";
        for (size_t i = 0; i < g.surfaces.size(); ++i)
            text += (i ? "," : "") + std::to_string(g.surfaces[i]);
    }
    return text;
}

// Outputs plugged in, unplugged and rescaled: surfaces of one buffer share a group, one whose buffer changes
// moves to the group of its new one, and a group left empty goes.
TEST(FrameGroups, SurfacesOfOneBufferShareAGroupAndMoveWhenTheirBufferChanges) {
    FrameGroups groups;
    const struct {
        const char* what;
        uint32_t surface;
        std::optional<SurfaceBuffer> buffer; // nothing: removed
        const char* expected;
    } steps[] = {
        {"the first output", 1, kWide, "1920x1080@1:1"},
        {"a second of the same size joins it", 2, kWide, "1920x1080@1:1,2"},
        {"a smaller one is drawn apart", 3, kSmall, "1920x1080@1:1,2 800x600@1:3"},
        {"placed again at the same buffer, nothing moves", 1, kWide, "1920x1080@1:1,2 800x600@1:3"},
        {"a scale of 2 splits it off", 2, kWideTwice, "1920x1080@1:1 800x600@1:3 1920x1080@2:2"},
        {"so does a fractional scale through the viewport", 1, kWideViewport,
         "800x600@1:3 1920x1080@2:2 1920x1080@1v:1"},
        {"back to scale 1: a group of its own again", 1, kWide, "800x600@1:3 1920x1080@2:2 1920x1080@1:1"},
        {"and the other joins it", 2, kWide, "800x600@1:3 1920x1080@1:1,2"},
        {"a mode change to the same size as the small one", 3, kWide, "1920x1080@1:1,2,3"},
        {"one unplugged", 1, std::nullopt, "1920x1080@1:2,3"},
        {"an unknown surface unplugged changes nothing", 9, std::nullopt, "1920x1080@1:2,3"},
        {"all unplugged", 2, std::nullopt, "1920x1080@1:3"},
        {"", 3, std::nullopt, ""},
        {"one plugged in again", 4, kSmall, "800x600@1:4"},
    };
    for (const auto& s : steps) {
        if (s.buffer)
            groups.place(s.surface, *s.buffer);
        else
            groups.remove(s.surface);
        EXPECT_EQ(describe(groups), s.expected) << s.what;
    }
}

TEST(FrameGroups, AGroupThatFormsAgainIsANewGroup) {
    FrameGroups groups;
    groups.place(1, kWide);
    const uint32_t first = groups.groups()[0].id;
    groups.place(1, kSmall);
    groups.place(1, kWide);
    EXPECT_NE(groups.groups()[0].id, first);
    EXPECT_EQ(groups.group(first), nullptr);
    groups.released(first, 1, 1); // a release for a group gone is ignored
}

// The pool's bookkeeping through a run of frames on two surfaces: a buffer is handed out only when no surface
// holds it, one committed to both is free only after both have released it, and there are never more than
// the pool's limit.
TEST(BufferPool, ABufferIsHandedOutOnlyWhenNoSurfaceHoldsIt) {
    BufferPool pool(3);
    enum Op { Take, Hold, Release, Forget };
    const struct {
        const char* what;
        Op op;
        uint32_t buffer, surface;
        std::optional<uint32_t> taken; // for Take: what it gives
        std::vector<uint32_t> free;    // buffers not held afterwards
    } steps[] = {
        {"the first frame: a new buffer", Take, 0, 0, 1u, {1}},
        {"committed to surface 10", Hold, 1, 10, {}, {}},
        {"and to surface 20", Hold, 1, 20, {}, {}},
        {"the next frame cannot have it", Take, 0, 0, 2u, {2}},
        {"", Hold, 2, 10, {}, {}},
        {"", Hold, 2, 20, {}, {}},
        {"released on one surface: still held", Release, 1, 10, {}, {}},
        {"a third, the last the pool makes", Take, 0, 0, 3u, {3}},
        {"", Hold, 3, 10, {}, {}},
        {"", Hold, 3, 20, {}, {}},
        {"every buffer held: none", Take, 0, 0, std::nullopt, {}},
        {"a release from a surface that never held it does nothing", Release, 1, 30, {}, {}},
        {"nor one of a buffer the pool never made", Release, 7, 20, {}, {}},
        {"released on the other: free", Release, 1, 20, {}, {1}},
        {"so it is the one handed out", Take, 0, 0, 1u, {1}},
        {"held twice by one surface (a frame awaiting commit, then the commit)", Hold, 1, 10, {}, {}},
        {"", Hold, 1, 10, {}, {}},
        {"one release is not both", Release, 1, 10, {}, {}},
        {"", Release, 1, 10, {}, {1}},
        {"held again", Hold, 1, 10, {}, {}},
        {"surface 20 gone: what it held is never handed out again, and makes room", Forget, 0, 20, {}, {}},
        {"a new buffer", Take, 0, 0, 4u, {4}},
    };
    for (const auto& s : steps) {
        switch (s.op) {
        case Take: EXPECT_EQ(pool.take(), s.taken) << s.what; break;
        case Hold: pool.hold(s.buffer, s.surface); break;
        case Release: pool.release(s.buffer, s.surface); break;
        case Forget: pool.forget(s.surface); break;
        }
        std::vector<uint32_t> free;
        for (uint32_t b : pool.buffers())
            if (!pool.held(b)) free.push_back(b);
        EXPECT_EQ(free, s.free) << s.what;
        EXPECT_LE(pool.buffers().size(), 3u) << s.what;
    }
    EXPECT_EQ(pool.buffers(), (std::vector<uint32_t>{1, 4}));
}

// Two surfaces of one buffer in one group, and a first frame taken from its pool and handed to both.
class TwoSurfacesOneGroup : public ::testing::Test {
protected:
    TwoSurfacesOneGroup() {
        groups.place(1, kWide);
        groups.place(2, kWide);
        id = groups.groupOf(1)->id;
        a = *pool().take();
        groups.frameFor(1, a), groups.frameFor(2, a);
    }
    BufferPool& pool() { return groups.group(id)->pool; }

    FrameGroups groups;
    uint32_t id = 0, a = 0;
};

// A surface slower than its group's others waits to commit only the newest frame; its older one is let go,
// and so is the one it waits for when it moves to another group.
TEST_F(TwoSurfacesOneGroup, ASurfaceWaitsForTheNewestFrameOnly) {
    groups.committed(1);                 // 1 commits it at once; 2 is behind and waits
    EXPECT_EQ(groups.waiting(1), std::nullopt);
    EXPECT_EQ(groups.waiting(2), a);

    const uint32_t b = *pool().take();
    ASSERT_NE(b, a);
    groups.frameFor(1, b), groups.frameFor(2, b); // 2 now waits for b instead
    groups.committed(1);
    EXPECT_EQ(groups.waiting(2), b);
    groups.released(id, a, 1);           // a released where it was shown: free, as 2 no longer waits for it
    EXPECT_FALSE(pool().held(a));
    EXPECT_TRUE(pool().held(b));

    groups.place(2, kSmall);             // 2's output rescaled: its waiting frame is let go
    EXPECT_EQ(groups.waiting(2), std::nullopt);
    groups.released(id, b, 1);
    EXPECT_FALSE(pool().held(b));
}

// A buffer committed to a surface that then moves to another group stays held in the old one until the
// compositor releases it there; one committed to a surface that goes is never written again.
TEST_F(TwoSurfacesOneGroup, ABufferStaysHeldAfterItsSurfaceMovesUntilReleased) {
    groups.committed(1), groups.committed(2);
    groups.released(id, a, 1);

    groups.place(2, kWideTwice);
    EXPECT_TRUE(pool().held(a)) << "still on surface 2's screen until the compositor says otherwise";
    EXPECT_NE(pool().take(), a);
    groups.released(id, a, 2);
    EXPECT_FALSE(pool().held(a));

    const uint32_t b = *pool().take();
    groups.frameFor(1, b);
    groups.committed(1);
    groups.remove(1);
    EXPECT_EQ(groups.group(id), nullptr) << "its last surface gone, the group goes";
}

TEST_F(TwoSurfacesOneGroup, ASurfaceGoneRetiresTheBuffersItHeld) {
    groups.committed(1), groups.committed(2);
    groups.remove(2);
    groups.released(id, a, 1);
    EXPECT_FALSE(pool().has(a)) << "surface 2's compositor may still read it";
    EXPECT_NE(pool().take(), a);
}

} // namespace
} // namespace mirevo::viewer

#include "viewer/wayland/shared_frames.h"

#include <algorithm>

namespace mirevo::viewer {

std::optional<uint32_t> BufferPool::take() {
    for (const auto& [buffer, holders] : buffers_)
        if (holders.empty()) return buffer;
    if (buffers_.size() >= most_) return std::nullopt;
    const uint32_t made = next_++;
    buffers_[made];
    return made;
}

void BufferPool::hold(uint32_t buffer, uint32_t surface) {
    auto it = buffers_.find(buffer);
    if (it != buffers_.end()) ++it->second[surface];
}

void BufferPool::release(uint32_t buffer, uint32_t surface) {
    auto it = buffers_.find(buffer);
    if (it == buffers_.end()) return;
    auto holder = it->second.find(surface);
    if (holder == it->second.end()) return;
    if (--holder->second <= 0) it->second.erase(holder);
}

bool BufferPool::held(uint32_t buffer) const {
    auto it = buffers_.find(buffer);
    return it != buffers_.end() && !it->second.empty();
}

void BufferPool::forget(uint32_t surface) {
    for (auto it = buffers_.begin(); it != buffers_.end();)
        it = it->second.count(surface) ? buffers_.erase(it) : std::next(it);
}

std::vector<uint32_t> BufferPool::buffers() const {
    std::vector<uint32_t> ids;
    for (const auto& [buffer, holders] : buffers_)
        ids.push_back(buffer);
    return ids;
}

size_t FrameGroups::indexOf(uint32_t surface) const {
    for (size_t g = 0; g < groups_.size(); ++g) {
        const auto& members = groups_[g].surfaces;
        if (std::find(members.begin(), members.end(), surface) != members.end()) return g;
    }
    return groups_.size();
}

FrameGroup* FrameGroups::group(uint32_t id) {
    for (FrameGroup& g : groups_)
        if (g.id == id) return &g;
    return nullptr;
}

const FrameGroup* FrameGroups::groupOf(uint32_t surface) const {
    const size_t g = indexOf(surface);
    return g < groups_.size() ? &groups_[g] : nullptr;
}

void FrameGroups::leave(uint32_t surface, bool gone) {
    const size_t g = indexOf(surface);
    if (g == groups_.size()) return;
    FrameGroup& group = groups_[g];
    if (auto w = waiting_.find(surface); w != waiting_.end()) {
        group.pool.release(w->second, surface);
        waiting_.erase(w);
    }
    if (gone) group.pool.forget(surface);
    group.surfaces.erase(std::find(group.surfaces.begin(), group.surfaces.end(), surface));
    if (group.surfaces.empty()) groups_.erase(groups_.begin() + long(g));
}

void FrameGroups::place(uint32_t surface, const SurfaceBuffer& buffer) {
    if (const FrameGroup* now = groupOf(surface); now && now->buffer == buffer) return;
    leave(surface, false);
    for (FrameGroup& g : groups_)
        if (g.buffer == buffer) {
            g.surfaces.push_back(surface);
            return;
        }
    groups_.push_back(FrameGroup{nextId_++, buffer, {surface}, BufferPool(kBuffersPerGroup)});
}

void FrameGroups::remove(uint32_t surface) {
    leave(surface, true);
}

void FrameGroups::frameFor(uint32_t surface, uint32_t buffer) {
    const size_t g = indexOf(surface);
    if (g == groups_.size()) return;
    BufferPool& pool = groups_[g].pool;
    pool.hold(buffer, surface);
    if (auto w = waiting_.find(surface); w != waiting_.end()) pool.release(w->second, surface);
    waiting_[surface] = buffer;
}

std::optional<uint32_t> FrameGroups::waiting(uint32_t surface) const {
    auto w = waiting_.find(surface);
    if (w == waiting_.end()) return std::nullopt;
    return w->second;
}

void FrameGroups::committed(uint32_t surface) {
    waiting_.erase(surface);
}

void FrameGroups::released(uint32_t groupId, uint32_t buffer, uint32_t surface) {
    if (FrameGroup* g = group(groupId)) g->pool.release(buffer, surface);
}

} // namespace mirevo::viewer

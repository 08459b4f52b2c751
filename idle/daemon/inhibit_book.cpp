#include "idle/daemon/inhibit_book.h"

#include <algorithm>

namespace mirevo {

InhibitResult InhibitBook::add(Inhibit inhibit) {
    auto mine = owners_.find(inhibit.owner);
    if (mine != owners_.end() && mine->second.size() >= kMaxPerOwner) return Failure(InhibitRefusal::TooMany);
    // Cookies count up and wrap; 0 reads as "no cookie" to many callers.
    while (next_ == 0 || cookies_.count(next_))
        ++next_;
    const uint32_t cookie = next_++;
    owners_[inhibit.owner].insert(cookie);
    cookies_.emplace(cookie, std::move(inhibit));
    return cookie;
}

ReleaseOutcome InhibitBook::release(const std::string& owner, uint32_t cookie, Inhibit* released) {
    auto it = cookies_.find(cookie);
    if (it == cookies_.end()) return ReleaseOutcome::UnknownCookie;
    if (it->second.owner != owner) return ReleaseOutcome::OtherOwner;
    auto mine = owners_.find(owner);
    mine->second.erase(cookie);
    if (mine->second.empty()) owners_.erase(mine);
    if (released) *released = std::move(it->second);
    cookies_.erase(it);
    return ReleaseOutcome::Released;
}

std::vector<Inhibit> InhibitBook::dropOwner(const std::string& owner) {
    std::vector<Inhibit> dropped;
    auto mine = owners_.find(owner);
    if (mine == owners_.end()) return dropped;
    for (uint32_t cookie : mine->second) {
        auto it = cookies_.find(cookie);
        dropped.push_back(std::move(it->second));
        cookies_.erase(it);
    }
    owners_.erase(mine);
    return dropped;
}

std::vector<Inhibit> InhibitBook::dropAll() {
    std::vector<Inhibit> dropped = list();
    cookies_.clear();
    owners_.clear();
    return dropped;
}

std::vector<Inhibit> InhibitBook::list() const {
    std::vector<Inhibit> all;
    all.reserve(cookies_.size());
    for (const auto& entry : cookies_)
        all.push_back(entry.second);
    std::stable_sort(all.begin(), all.end(),
                     [](const Inhibit& a, const Inhibit& b) { return a.since < b.since; });
    return all;
}

} // namespace mirevo

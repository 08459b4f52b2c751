#include "idle/inhibit_book.h"

#include <algorithm>

namespace mirevo {

InhibitOutcome InhibitBook::add(const std::string& owner, uint32_t& cookie) {
    const auto mine =
        std::count_if(owners_.begin(), owners_.end(), [&](auto& e) { return e.second == owner; });
    if (size_t(mine) >= kMaxPerOwner) return InhibitOutcome::TooMany;
    // Cookies count up and wrap; 0 reads as "no cookie" to many callers.
    while (next_ == 0 || owners_.count(next_))
        ++next_;
    cookie = next_++;
    owners_.emplace(cookie, owner);
    return InhibitOutcome::Held;
}

ReleaseOutcome InhibitBook::release(const std::string& owner, uint32_t cookie) {
    auto it = owners_.find(cookie);
    if (it == owners_.end()) return ReleaseOutcome::UnknownCookie;
    if (it->second != owner) return ReleaseOutcome::OtherOwner;
    owners_.erase(it);
    return ReleaseOutcome::Released;
}

size_t InhibitBook::dropOwner(const std::string& owner) {
    size_t dropped = 0;
    for (auto it = owners_.begin(); it != owners_.end();)
        if (it->second == owner) {
            it = owners_.erase(it);
            ++dropped;
        } else {
            ++it;
        }
    return dropped;
}

bool InhibitBook::holds(const std::string& owner) const {
    return std::any_of(owners_.begin(), owners_.end(), [&](auto& e) { return e.second == owner; });
}

} // namespace mirevo

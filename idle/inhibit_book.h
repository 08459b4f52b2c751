#pragma once
// Who holds the screen saver off: one cookie per Inhibit call, each released by its own UnInhibit, all of
// an owner's dropped together when it leaves the bus (a player that crashed never says UnInhibit).
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

namespace mirevo {

enum class InhibitOutcome { Held, TooMany };
enum class ReleaseOutcome { Released, UnknownCookie, OtherOwner };

class InhibitBook {
public:
    // A bound on one owner's cookies, so that a peer calling Inhibit in a loop cannot eat the memory.
    static constexpr size_t kMaxPerOwner = 256;

    explicit InhibitBook(uint32_t firstCookie = 1) : next_(firstCookie) {}

    // The new cookie (never 0, never one in use), or TooMany.
    InhibitOutcome add(const std::string& owner, uint32_t& cookie);
    // Only the owner that took a cookie can give it back.
    ReleaseOutcome release(const std::string& owner, uint32_t cookie);
    // Drops every cookie of the owner; how many there were.
    size_t dropOwner(const std::string& owner);

    bool held() const { return !owners_.empty(); }
    bool holds(const std::string& owner) const;

private:
    uint32_t next_;
    std::map<uint32_t, std::string> owners_; // cookie -> owner
};

} // namespace mirevo

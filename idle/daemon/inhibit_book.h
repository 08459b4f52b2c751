#pragma once
// Who holds the screen saver off: one cookie per Inhibit call, each released by its own UnInhibit, all of
// an owner's dropped together when it leaves the bus (a player that crashed never says UnInhibit). Each
// inhibit keeps what its caller said about itself (the application's name and the reason) and since when,
// for the status and the log. Cookies are indexed by owner, so that no call costs a walk over every cookie.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "common/result.h"

namespace mirevo {

enum class InhibitRefusal { TooMany };
// The inhibit's cookie, or why none was given.
using InhibitResult = Result<uint32_t, InhibitRefusal>;
enum class ReleaseOutcome { Released, UnknownCookie, OtherOwner };

struct Inhibit {
    std::string owner; // the caller's unique bus name
    std::string application, reason;
    std::chrono::steady_clock::time_point since;
};

class InhibitBook {
public:
    // A bound on one owner's cookies, so that a peer calling Inhibit in a loop cannot eat the memory.
    static constexpr size_t kMaxPerOwner = 256;

    explicit InhibitBook(uint32_t firstCookie = 1) : next_(firstCookie) {}

    // The new cookie (never 0, never one in use), or TooMany.
    InhibitResult add(Inhibit inhibit);
    // Only the owner that took a cookie can give it back; what it was, when released.
    ReleaseOutcome release(const std::string& owner, uint32_t cookie, Inhibit* released = nullptr);
    // Drops every cookie of the owner, or every cookie; what there was.
    std::vector<Inhibit> dropOwner(const std::string& owner);
    std::vector<Inhibit> dropAll();

    bool held() const { return !cookies_.empty(); }
    bool holds(const std::string& owner) const { return owners_.count(owner) > 0; }
    // Every inhibit, the oldest first.
    std::vector<Inhibit> list() const;

private:
    uint32_t next_;
    std::map<uint32_t, Inhibit> cookies_;
    std::unordered_map<std::string, std::set<uint32_t>> owners_; // never holds an empty set
};

} // namespace mirevo

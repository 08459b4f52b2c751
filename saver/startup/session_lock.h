#pragma once
// The per-user session lock. Two starts at the same instant could both pass the single-instance test before
// either had made its window; a lock taken before that test and held for the session's life lets only one
// through. It lives beside the snapshot, in the folder only this user can touch.
#include <string>

#include "saver/startup/unique_fd.h"

namespace mirevo {

inline constexpr const char* kSessionLockFileName = "Tovik.lock";

enum class SessionLockState {
    Taken,         // ours now, for as long as the lock lives
    HeldElsewhere, // another session runs: this start ends at once
    Unavailable,   // no folder or no lock to be had: the title test alone decides
};

class SessionLock {
public:
    // Takes the lock on folder/Tovik.lock (or another file of the folder) without waiting; the file is made
    // (mode 0600) when missing and never followed through a link.
    static SessionLock take(const std::string& folder, const char* fileName = kSessionLockFileName);

    SessionLockState state() const { return state_; }

private:
    SessionLock(SessionLockState state, UniqueFd fd) : state_(state), fd_(std::move(fd)) {}
    SessionLockState state_;
    UniqueFd fd_; // the lock goes with it
};

} // namespace mirevo

#pragma once
// A lock on a file in a folder only this user can touch, held without waiting for as long as the object
// lives: of several copies started at once, exactly one gets it.
#include <string>

#include "common/posix/unique_fd.h"

namespace mirevo {

enum class FileLockState {
    Taken,         // ours now, for as long as the lock lives
    HeldElsewhere, // another process of this user holds it
    Unavailable,   // no folder or no lock to be had
};

class FileLock {
public:
    // Takes the lock on folder/fileName without waiting; the file is made (mode 0600) when missing and
    // never followed through a link.
    static FileLock take(const std::string& folder, const char* fileName);

    FileLockState state() const { return state_; }

private:
    FileLock(FileLockState state, UniqueFd fd) : state_(state), fd_(std::move(fd)) {}
    FileLockState state_;
    UniqueFd fd_; // the lock goes with it
};

} // namespace mirevo

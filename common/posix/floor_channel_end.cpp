#include "common/posix/floor_channel_end.h"

#include <cerrno>
#include <cstring>

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>

namespace mirevo {
namespace {

// The longest word, with room to spare.
constexpr size_t kLongestLine = 16;

} // namespace

FloorChannelEnd::FloorChannelEnd(UniqueFd fd) : fd_(std::move(fd)) {
    const int flags = ::fcntl(fd_.get(), F_GETFL);
    if (flags < 0 || ::fcntl(fd_.get(), F_SETFL, flags | O_NONBLOCK) != 0) closed_ = true;
}

std::optional<std::pair<FloorChannelEnd, UniqueFd>> FloorChannelEnd::pair() {
    int ends[2];
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, ends) != 0) return std::nullopt;
    return std::make_pair(FloorChannelEnd(UniqueFd(ends[0])), UniqueFd(ends[1]));
}

std::optional<FloorChannelEnd> FloorChannelEnd::fromEnvironment() {
    const auto fd = floorChannelDescriptor(std::getenv(kFloorChannelVariable));
    struct stat st {};
    if (!fd || ::fstat(*fd, &st) != 0 || !S_ISSOCK(st.st_mode)) return std::nullopt;
    ::fcntl(*fd, F_SETFD, FD_CLOEXEC);
    return FloorChannelEnd(UniqueFd(*fd));
}

bool FloorChannelEnd::send(FloorMessage message) {
    if (closed_) return false;
    const char* text = floorMessageText(message);
    const ssize_t sent = ::send(fd_.get(), text, std::strlen(text), MSG_NOSIGNAL | MSG_DONTWAIT);
    // A full buffer means a peer that reads nothing: the word is dropped, as it would be unheard anyway.
    if (sent < 0 && errno != EAGAIN && errno != EINTR) closed_ = true;
    return !closed_;
}

std::vector<FloorMessage> FloorChannelEnd::receive() {
    std::vector<FloorMessage> messages;
    char buffer[256];
    // A bounded number of reads: a peer that floods the channel is read again on the next call.
    for (int reads = 0; !closed_ && reads < 16; ++reads) {
        const ssize_t got = ::recv(fd_.get(), buffer, sizeof buffer, MSG_DONTWAIT);
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 && errno == EAGAIN) break;
        if (got <= 0) {
            closed_ = true;
            break;
        }
        for (ssize_t i = 0; i < got; ++i) {
            if (buffer[i] != '\n') {
                if (partial_.size() < kLongestLine)
                    partial_ += buffer[i];
                else
                    overlong_ = true;
                continue;
            }
            if (!overlong_)
                if (const auto message = floorMessage(partial_)) messages.push_back(*message);
            partial_.clear();
            overlong_ = false;
        }
    }
    return messages;
}

} // namespace mirevo

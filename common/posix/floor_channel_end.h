#pragma once
// One end of the floor's channel (see common/floor_channel.h): words sent and received without ever waiting.
// Whatever the other end writes, at most one short line is held; unknown words are passed over.
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/floor_channel.h"
#include "common/posix/unique_fd.h"

namespace mirevo {

class FloorChannelEnd {
public:
    // Takes the descriptor (a stream socket), made non-blocking.
    explicit FloorChannelEnd(UniqueFd fd);

    // A new channel: this end, and the other one for a child to inherit (both close on exec until the child's
    // start makes its own copy).
    static std::optional<std::pair<FloorChannelEnd, UniqueFd>> pair();
    // The viewer's: the end MIREVO_FLOOR_CHANNEL names, when it names an open socket.
    static std::optional<FloorChannelEnd> fromEnvironment();

    int descriptor() const { return fd_.get(); }
    // False once the other end has gone.
    bool send(FloorMessage message);
    // The words that have come since the last call; closed() says when the other end has gone.
    std::vector<FloorMessage> receive();
    bool closed() const { return closed_; }

private:
    UniqueFd fd_;
    std::string partial_; // the line begun, at most a word's length
    bool overlong_ = false, closed_ = false;
};

} // namespace mirevo

// The floor's channel to mirevo-idle and the viewer's hold on its end: words both ways, the key reported
// rather than obeyed, and the floor's end on "end", on the channel's close, or after its own bound; whatever
// the other end writes.
#include <sstream>

#include <gtest/gtest.h>
#include <sys/socket.h>

#include "common/floor_channel.h"
#include "common/posix/floor_channel_end.h"
#include "viewer/scene/floor_hold.h"

namespace mirevo::viewer {
namespace {

using namespace std::chrono_literals;

TEST(FloorChannel, TheVariableNamesADescriptorAndNothingElse) {
    const std::pair<const char*, std::optional<int>> cases[] = {
        {"3", 3},
        {"65535", 65535},
        {"17", 17},
        {nullptr, std::nullopt},
        {"", std::nullopt},
        {"2", std::nullopt},
        {"0", std::nullopt},
        {"03", std::nullopt},
        {"-4", std::nullopt},
        {"65536", std::nullopt},
        {"999999", std::nullopt},
        {"12a", std::nullopt},
        {" 5", std::nullopt},
    };
    for (const auto& [value, expected] : cases)
        EXPECT_EQ(floorChannelDescriptor(value), expected) << (value ? value : "(unset)");
}

// Steps: S the floor shown; k/. a turn of the loop with/without the key; tN N seconds pass; E/L/X mirevo-idle
// says "end"/"lock", or closes its end; what mirevo-idle hears, and at which step the floor ends (or never).
TEST(FloorHold, TheKeyIsReportedAndTheFloorEndsOnTheWordTheCloseOrItsOwnBound) {
    const std::tuple<std::string, std::string, int> cases[] = {
        {"S . k . . E .", "shown key", 6}, // the key waits for the word
        {"S k E k", "shown key", 3},       // more keys say nothing more
        {"k t7 . t1 .", "key", 4},         // no word: its own bound after the key
        {"S L . t8 .", "shown", 4},        // a lock on its way, and no end: its own bound
        {"S . X .", "", 3},                // mirevo-idle gone
        {"E .", "", 1},                    // the end without a key (a lock asked by the system)
        {"S . t60 .", "shown", -1},        // nothing happens: the floor goes on
    };
    for (const auto& [steps, heard, endsAt] : cases) {
        auto pair = FloorChannelEnd::pair();
        ASSERT_TRUE(pair);
        std::optional<FloorChannelEnd> idle(FloorChannelEnd(std::move(pair->second)));
        FloorHold::Clock::time_point now{};
        FloorHold hold(std::move(pair->first), [&] { return now; });
        int step = 0, ended = -1;
        std::istringstream words(steps);
        for (std::string w; words >> w; ++step) {
            bool ends = false;
            if (w == "S")
                hold.floorShown();
            else if (w == "k" || w == ".")
                ends = hold.ends(w == "k");
            else if (w[0] == 't')
                now += std::chrono::seconds(std::stoi(w.substr(1)));
            else if (w == "E")
                idle->send(FloorMessage::End);
            else if (w == "L")
                idle->send(FloorMessage::Lock);
            else if (w == "X")
                idle.reset();
            if (ends && ended < 0) ended = step;
        }
        std::string got;
        if (idle)
            for (FloorMessage m : idle->receive())
                got += std::string(got.empty() ? "" : " ") + (m == FloorMessage::Shown ? "shown"
                                                              : m == FloorMessage::Key ? "key"
                                                                                       : "?");
        EXPECT_EQ(got, heard) << steps;
        EXPECT_EQ(ended, endsAt) << steps;
    }
    FloorHold alone(std::nullopt);
    EXPECT_FALSE(alone.ends(false));
    EXPECT_TRUE(alone.ends(true)) << "without the channel, the key ends the floor at once";
}

// Unknown words, an endless line and a flood are passed over, a little at a time; the word after them counts.
TEST(FloorHold, WhateverTheOtherEndWritesOnlyItsWordsCount) {
    int ends[2];
    ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, ends), 0);
    UniqueFd theirs(ends[1]);
    FloorChannelEnd channel{UniqueFd(ends[0])};
    const std::string junk = "hello\n" + std::string(60000, 'x') + "\nlock\nen";
    ASSERT_EQ(::send(theirs.get(), junk.data(), junk.size(), 0), ssize_t(junk.size()));
    std::vector<FloorMessage> heard;
    for (int i = 0; i < 100 && heard.size() < 1; ++i)
        for (FloorMessage m : channel.receive())
            heard.push_back(m);
    EXPECT_EQ(heard, std::vector<FloorMessage>{FloorMessage::Lock});
    ASSERT_EQ(::send(theirs.get(), "d\n", 2, 0), 2);
    EXPECT_EQ(channel.receive(), std::vector<FloorMessage>{FloorMessage::End})
        << "a word split between writes";
    theirs.reset();
    EXPECT_TRUE(channel.receive().empty());
    EXPECT_TRUE(channel.closed());
    EXPECT_FALSE(channel.send(FloorMessage::Key));
}

} // namespace
} // namespace mirevo::viewer

// The digital CD player: which tracks of a disc it plays, what the audio thread hears for a stretch of
// the disc, where it stands, and that nothing waits for the drive.
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstring>
#include <future>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "shared/music/audio_toc.h"
#include "shared/music/disc_player.h"
#include "tests/harness/poll.h"

namespace mirevo {
namespace {

// Every sample of sector s is s, so the samples say which sector was heard.
class NumberedDisc final : public DiscReader {
public:
    explicit NumberedDisc(int32_t sectors, int32_t failAt = -1) : sectors_(sectors), failAt_(failAt) {}
    std::optional<CdToc> readToc() override {
        CdToc toc;
        toc.trackStart = {0, sectors_ / 2};
        toc.leadout = sectors_;
        return toc;
    }
    bool readSectors(int32_t lsn, int32_t count, uint8_t* out) override {
        for (int32_t s = 0; s < count; ++s) {
            if (lsn + s == failAt_) return false;
            for (int32_t i = 0; i < CD_SECTOR_BYTES / 2; ++i) {
                auto v = static_cast<uint16_t>(lsn + s);
                out[(s * CD_SECTOR_BYTES) + i * 2] = static_cast<uint8_t>(v & 0xff);
                out[(s * CD_SECTOR_BYTES) + i * 2 + 1] = static_cast<uint8_t>(v >> 8);
            }
        }
        return true;
    }

private:
    int32_t sectors_, failAt_;
};

class RecordingOutput final : public PcmOutput {
public:
    bool works = true;
    PcmSource* source = nullptr;
    bool attach(PcmSource& s) override {
        if (!works) return false;
        source = &s;
        return true;
    }
    void detach(PcmSource&) override { source = nullptr; }
};

// Pulls frames from the player until it has them all, as the audio thread would.
std::vector<int16_t> listen(DiscPlayer& player, size_t frames) {
    std::vector<int16_t> heard;
    // Whole sectors at a time, as the reader fills the buffer with whole sectors.
    std::vector<int16_t> block(2 * 10 * CD_SAMPLES_PER_SECTOR);
    mirevo::test::pollUntil(std::chrono::seconds(10), [&] {
        std::fill(block.begin(), block.end(), int16_t{0});
        player.mix(block.data(), 10 * CD_SAMPLES_PER_SECTOR);
        heard.insert(heard.end(), block.begin(), block.end());
        return heard.size() >= frames * 2 || !player.playing();
    });
    return heard;
}

TEST(DiscPlayer, PlaysTheStretchAskedForAndStopsAtItsEnd) {
    RecordingOutput output;
    DiscPlayer player(std::make_unique<NumberedDisc>(400), output);
    ASSERT_TRUE(player.readToc());
    EXPECT_FALSE(player.playing());
    ASSERT_TRUE(player.play(100, 300));
    EXPECT_TRUE(player.playing());
    ASSERT_NE(output.source, nullptr);

    std::vector<int16_t> heard = listen(player, 300 * CD_SAMPLES_PER_SECTOR);
    // Underruns are heard as silence; the sectors come in order, each whole, and end at 299.
    std::vector<int32_t> sectors;
    for (size_t i = 0; i < heard.size(); i += 2 * CD_SAMPLES_PER_SECTOR)
        if (heard[i] != 0) sectors.push_back(heard[i]);
    ASSERT_EQ(sectors.size(), 200u);
    for (size_t i = 0; i < sectors.size(); ++i)
        ASSERT_EQ(sectors[i], 100 + static_cast<int32_t>(i));
    EXPECT_FALSE(player.playing());
    EXPECT_EQ(player.position(), 300);
}

TEST(DiscPlayer, StopHoldsThePositionAndSilences) {
    RecordingOutput output;
    DiscPlayer player(std::make_unique<NumberedDisc>(400), output);
    ASSERT_TRUE(player.play(10, 400));
    listen(player, 20 * CD_SAMPLES_PER_SECTOR);
    player.stop();
    int32_t at = player.position();
    EXPECT_GE(at, 20);
    EXPECT_LT(at, 40);
    std::vector<int16_t> block(2 * CD_SAMPLES_PER_SECTOR, 0);
    player.mix(block.data(), CD_SAMPLES_PER_SECTOR);
    EXPECT_EQ(std::count(block.begin(), block.end(), 0), static_cast<long>(block.size()));
    EXPECT_EQ(player.position(), at);
}

TEST(DiscPlayer, MixesIntoWhatIsThereWithoutWrapping) {
    RecordingOutput output;
    DiscPlayer player(std::make_unique<NumberedDisc>(400), output);
    ASSERT_TRUE(player.play(300, 301));
    std::vector<int16_t> block(2 * CD_SAMPLES_PER_SECTOR, 32700);
    ASSERT_TRUE(mirevo::test::pollUntil(std::chrono::seconds(5), [&] {
        player.mix(block.data(), CD_SAMPLES_PER_SECTOR);
        return !player.playing();
    }));
    EXPECT_EQ(block[0], 32767);
}

TEST(DiscPlayer, AnUnreadableDiscEndsPlaybackAndNoOutputRefusesIt) {
    RecordingOutput output;
    DiscPlayer player(std::make_unique<NumberedDisc>(400, 50), output);
    ASSERT_TRUE(player.play(0, 400));
    listen(player, 400 * CD_SAMPLES_PER_SECTOR);
    EXPECT_FALSE(player.playing());
    EXPECT_LE(player.position(), 50);

    RecordingOutput none;
    none.works = false;
    DiscPlayer silent(std::make_unique<NumberedDisc>(400), none);
    EXPECT_FALSE(silent.play(0, 400));
    EXPECT_FALSE(silent.playing());
}

TEST(AudioToc, HoldsTheFirstRunOfAudioTracksAndEndsWhereTheDataBegins) {
    const bool A = true, D = false;
    struct Case {
        const char* name;
        std::vector<DiscTrack> tracks; // number, start, pregap, audio
        int32_t leadout;
        std::optional<int32_t> lastSession;
        bool image;
        std::optional<CdToc> toc;
    } cases[] = {
        {"audio CD", {{1, 0, {}, A}, {2, 100, {}, A}}, 300, {}, false, CdToc{1, {0, 100}, 300}},
        {"data 3rd", {{1, 0, {}, A}, {2, 75, {}, A}, {3, 150, {}, D}}, 225, {}, true, CdToc{1, {0, 75}, 150}},
        {"image, data pregap", {{1, 0, {}, A}, {2, 150, 125, D}}, 225, {}, true, CdToc{1, {0}, 125}},
        {"enhanced CD", {{1, 0, {}, A}, {2, 40000, {}, D}}, 50000, 40000, false, CdToc{1, {0}, 28600}},
        {"drive, one session", {{1, 0, {}, A}, {2, 40000, {}, D}}, 50000, 0, false, CdToc{1, {0}, 39850}},
        {"gap past the last start", {{1, 0, {}, A}, {2, 100, {}, D}}, 900, 100, false, CdToc{1, {0}, 100}},
        {"mixed", {{1, 0, {}, D}, {2, 50, {}, A}, {3, 90, {}, A}}, 120, {}, false, CdToc{2, {50, 90}, 120}},
        {"between", {{1, 0, {}, A}, {2, 100, {}, D}, {3, 200, {}, A}}, 300, {}, true, CdToc{1, {0}, 100}},
        {"out of order", {{1, 0, {}, A}, {2, 0, {}, A}}, 300, {}, true, CdToc{1, {0}, 300}},
        {"data only", {{1, 0, {}, D}}, 300, {}, false, std::nullopt},
    };
    for (const auto& c : cases)
        EXPECT_EQ(audioToc(DiscLayout{c.tracks, c.leadout, c.lastSession, c.image}), c.toc) << c.name;
}

// A drive whose reads hang while hold is set, and whose disc can be taken out.
struct DriveState {
    std::atomic<bool> hold{false}, inRead{false}, ejected{false}, changed{false}, gone{false};
};

class SlowDrive final : public DiscReader {
public:
    explicit SlowDrive(std::shared_ptr<DriveState> drive) : drive_(std::move(drive)) {}
    ~SlowDrive() override { drive_->gone = true; }
    std::optional<CdToc> readToc() override {
        return drive_->ejected ? std::nullopt : std::optional(CdToc{1, {0, 100}, 200});
    }
    bool readSectors(int32_t, int32_t count, uint8_t* out) override {
        drive_->inRead = true;
        while (drive_->hold)
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        drive_->inRead = false;
        std::memset(out, 1, static_cast<size_t>(count) * CD_SECTOR_BYTES);
        return !drive_->ejected;
    }
    bool discChanged() override { return drive_->changed.exchange(false); }

private:
    std::shared_ptr<DriveState> drive_;
};

TEST(DiscPlayer, NeverWaitsOnTheDriveAndNoticesADiscTakenOut) {
    using namespace std::chrono_literals;
    using test::pollUntil;
    auto drive = std::make_shared<DriveState>();
    drive->hold = true;
    RecordingOutput output;
    auto player = std::make_unique<DiscPlayer>(std::make_unique<SlowDrive>(drive), output);
    ASSERT_TRUE(player->play(0, 200));
    ASSERT_TRUE(pollUntil(5s, [&] { return drive->inRead.load(); }));

    // While a read hangs, what the monitor asks is answered from what is known.
    auto answers = std::async(std::launch::async, [&] {
        return player->readToc().has_value() && player->playing() && player->position() == 0;
    });
    bool answered = answers.wait_for(2s) == std::future_status::ready;
    EXPECT_TRUE(answered);
    if (!answered) drive->hold = false; // so that the test can end
    EXPECT_TRUE(answers.get());
    // Closing gives up on the hanging read after a second.
    auto closed = std::async(std::launch::async, [&] { player.reset(); });
    EXPECT_EQ(closed.wait_for(DiscPlayer::CLOSE_WAIT + 2s), std::future_status::ready);
    drive->hold = false;
    closed.wait();
    EXPECT_TRUE(pollUntil(5s, [&] { return drive->gone.load(); }));

    // A disc taken out while it plays leaves no contents behind, so the monitor stops asking for play.
    drive = std::make_shared<DriveState>();
    DiscPlayer ejected(std::make_unique<SlowDrive>(drive), output);
    ASSERT_TRUE(ejected.readToc());
    ASSERT_TRUE(ejected.play(0, 200));
    drive->ejected = drive->changed = true;
    EXPECT_TRUE(pollUntil(5s, [&] { return !ejected.readToc() && !ejected.playing(); }));
}

} // namespace
} // namespace mirevo

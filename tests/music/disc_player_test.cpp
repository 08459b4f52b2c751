// The digital CD player: what the audio thread hears for a stretch of the disc, and where it stands.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

#include "saver/music/disc_player.h"
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

} // namespace
} // namespace mirevo

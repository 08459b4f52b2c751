#pragma once
// A CD drive and a music loader that make no sound, for the interpreter's tests and its fuzz target.
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "shared/music/cd_drive.h"
#include "shared/music/mci_interpreter.h"
#include "shared/music/music_stream.h"

namespace mirevo::test {

// A disc of tracks of the given lengths in sectors, starting at sector 0; playback advances by hand.
struct FakeDisc {
    std::optional<CdToc> toc;
    bool playing = false;
    int32_t position = 0, end = 0;
    bool outputWorks = true;
    std::vector<std::pair<int32_t, int32_t>> plays;
    int stops = 0;

    static FakeDisc withTracks(const std::vector<int32_t>& lengths) {
        FakeDisc disc;
        CdToc toc;
        int32_t at = 0;
        for (int32_t l : lengths) {
            toc.trackStart.push_back(at);
            at += l;
        }
        toc.leadout = at;
        disc.toc = toc;
        return disc;
    }
    void advance(int32_t sectors) {
        if (!playing) return;
        position += sectors;
        if (position >= end) position = end, playing = false;
    }
};

class FakeCdDrive final : public CdDrive {
public:
    explicit FakeCdDrive(FakeDisc& disc) : disc_(disc) {}
    std::optional<CdToc> readToc() override { return disc_.toc; }
    bool play(int32_t from, int32_t to) override {
        if (!disc_.outputWorks) return false;
        disc_.plays.emplace_back(from, to);
        disc_.position = from, disc_.end = to, disc_.playing = true;
        return true;
    }
    void stop() override {
        ++disc_.stops;
        disc_.playing = false;
    }
    bool playing() override { return disc_.playing; }
    int32_t position() override { return disc_.position; }

private:
    FakeDisc& disc_;
};

struct FakeSong {
    bool loadable = true;
    bool playing = false;
    std::vector<std::optional<int64_t>> plays;
    int streamsAlive = 0;
};

class FakeMusicStream final : public MusicStream {
public:
    explicit FakeMusicStream(FakeSong& song) : song_(song) { ++song_.streamsAlive; }
    ~FakeMusicStream() override { --song_.streamsAlive; }
    bool play(std::optional<int64_t> fromMs) override {
        song_.plays.push_back(fromMs);
        song_.playing = true;
        return true;
    }
    void stop() override { song_.playing = false; }
    bool playing() override { return song_.playing; }
    int64_t positionMs() override { return 0; }
    int64_t lengthMs() override { return 1000; }

private:
    FakeSong& song_;
};

inline MciBackends fakeBackends(FakeDisc* disc, FakeSong* song) {
    MciBackends b;
    b.openCdDrive = [disc]() -> std::unique_ptr<CdDrive> {
        if (!disc) return nullptr;
        return std::make_unique<FakeCdDrive>(*disc);
    };
    b.loadMusic = [song](const std::string&) -> MusicLoad {
        if (!song || !song->loadable) return Failure(296);
        return std::unique_ptr<MusicStream>(std::make_unique<FakeMusicStream>(*song));
    };
    return b;
}

} // namespace mirevo::test

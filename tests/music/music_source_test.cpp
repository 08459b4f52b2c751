// Which CD sources the player may open: a block device, or a .cue image whose sheet and .bin are regular
// files. (A FIFO as a music file or CD source is tried on the whole saver, in saver_music_test.)
#include <map>

#include <gtest/gtest.h>

#include "shared/music/music_source.h"

namespace mirevo {
namespace {

TEST(MusicSource, ACdIsABlockDeviceOrACueImageOfRegularFiles) {
    const std::map<std::string, FileKind> kinds = {
        {"a.cue", FileKind::Regular}, {"a.bin", FileKind::Regular}, {"B.CUE", FileKind::Regular},
        {"B.BIN", FileKind::Regular}, {"C.Cue", FileKind::Regular}, {"C.bin", FileKind::Regular},
        {"d.cue", FileKind::Other},   {"d.bin", FileKind::Regular}, {"e.cue", FileKind::Regular},
        {"f.cue", FileKind::Regular}, {"f.bin", FileKind::Other},   {"sr0", FileKind::BlockDevice},
        {"fifo", FileKind::Other},    {"file", FileKind::Regular}};
    auto source = [&](const char* device) -> std::optional<CdSource::Kind> {
        auto chosen = chooseCdSource(device, [&](const std::string& path) {
            auto found = kinds.find(path);
            return found == kinds.end() ? FileKind::Missing : found->second;
        });
        if (!chosen) return std::nullopt;
        return chosen->kind;
    };
    EXPECT_EQ(source("a.cue"), CdSource::Kind::CueImage);
    EXPECT_EQ(source("B.CUE"), CdSource::Kind::CueImage);
    EXPECT_EQ(source("sr0"), CdSource::Kind::Drive);
    // An ending libcdio would not take, a sheet or .bin that is no regular file, anything but a drive.
    for (const char* refused : {"C.Cue", "d.cue", "e.cue", "f.cue", "fifo", "file", "none", ""})
        EXPECT_EQ(source(refused), std::nullopt) << refused;
}

} // namespace
} // namespace mirevo

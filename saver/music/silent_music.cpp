// Placeholder until the players land: the session runs without music.
#include "saver/music/music.h"

namespace mirevo {
namespace {
class SilentMusic final : public Music {
public:
    void CD_Open() override {}
    void CD_Check() override {}
    bool CdActive() const override { return false; }
    void CD_Close() override {}
    void MP3_Play() override {}
    void MP3_Repeat() override {}
    void MP3_Close() override {}
    void WAV_Play() override {}
    void WAV_Stop() override {}
};
} // namespace

std::unique_ptr<Music> makeMusic(const Settings&, int32_t&) { return std::make_unique<SilentMusic>(); }

} // namespace mirevo

#pragma once
// The background-music operations the saver session calls. Each reads the settings it needs itself.
#include <cstdint>
#include <memory>

#include "shared/settings/settings.h"

namespace mirevo {

class Music {
public:
    virtual ~Music() = default;
    virtual void CD_Open() = 0;
    virtual void CD_Check() = 0;
    virtual bool CdActive() const = 0;
    virtual void CD_Close() = 0;
    virtual void MP3_Play() = 0;
    virtual void MP3_Repeat() = 0;
    virtual void MP3_Close() = 0;
    virtual void WAV_Play() = 0;
    virtual void WAV_Stop() = 0;
};

// The music module on the machine's real sound output. settings and lastApiResult outlive it.
std::unique_ptr<Music> makeMusic(const Settings& settings, int32_t& lastApiResult);

} // namespace mirevo

#include "shared/music/sdl_mixer_audio.h"

#include <SDL.h>
#include <SDL_mixer.h>

#include "shared/music/mci_errors.h"
#include "shared/music/music_source.h"

namespace mirevo {
namespace {

constexpr int SAMPLE_RATE = 44100; // the CD's rate, so its samples go out unconverted
constexpr int CHUNK_FRAMES = 2048;

// A regular file streamed from disk; nothing for any other kind of name, which could block the open.
Mix_Music* loadStream(const std::string& path) {
    FilePtr file = openRegularFile(path);
    if (!file) return nullptr;
    SDL_RWops* source = SDL_RWFromFP(file.get(), SDL_TRUE);
    if (!source) return nullptr;
    file.release();
    return Mix_LoadMUS_RW(source, 1);
}

class SdlMusicStream final : public MusicStream {
public:
    explicit SdlMusicStream(Mix_Music* music) : music_(music) {}

    bool play(std::optional<int64_t> fromMs) override {
        if (!fromMs) {
            if (paused_) {
                Mix_ResumeMusic();
                paused_ = false;
                return true;
            }
            // Once it has played to its end, play without a position leaves it there.
            if (started_) return false;
            fromMs = 0;
        }
        paused_ = false;
        started_ = true;
        if (Mix_PlayMusic(music_.get(), 1) != 0) return false;
        if (*fromMs > 0) Mix_SetMusicPosition(static_cast<double>(*fromMs) / 1000.0);
        return true;
    }
    void stop() override {
        // Paused rather than halted, so that play without a position goes on from here.
        if (Mix_PlayingMusic() && !paused_) {
            Mix_PauseMusic();
            paused_ = true;
        }
    }
    bool playing() override { return Mix_PlayingMusic() && !paused_; }
    int64_t positionMs() override {
        double at = Mix_GetMusicPosition(music_.get());
        return at > 0 ? static_cast<int64_t>(at * 1000.0) : 0;
    }
    int64_t lengthMs() override {
        double length = Mix_MusicDuration(music_.get());
        return length > 0 ? static_cast<int64_t>(length * 1000.0) : 0;
    }

private:
    std::unique_ptr<Mix_Music, SdlMixerAudio::MusicFree> music_; // freeing it halts it
    bool started_ = false;
    bool paused_ = false;
};

void SDLCALL mixPcm(void* source, Uint8* stream, int bytes) {
    static_cast<PcmSource*>(source)->mix(reinterpret_cast<int16_t*>(stream), static_cast<size_t>(bytes) / 4);
}

} // namespace

void SdlMixerAudio::MusicFree::operator()(Mix_Music* music) const {
    Mix_FreeMusic(music);
}

SdlMixerAudio::~SdlMixerAudio() {
    if (open_) {
        Mix_SetPostMix(nullptr, nullptr);
        Mix_HaltMusic();
        loop_.reset();
        Mix_CloseAudio();
        Mix_Quit();
    }
    if (subsystem_) SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

bool SdlMixerAudio::initSubsystem() {
    if (!subsystem_) subsystem_ = SDL_InitSubSystem(SDL_INIT_AUDIO) == 0;
    return subsystem_;
}

bool SdlMixerAudio::ensureOpen() {
    if (open_ || openFailed_) return open_;
    if (!initSubsystem() ||
        Mix_OpenAudioDevice(SAMPLE_RATE, AUDIO_S16SYS, 2, CHUNK_FRAMES, nullptr, 0) != 0) {
        openFailed_ = true;
        return false;
    }
    Mix_Init(MIX_INIT_MP3);
    open_ = true;
    return true;
}

int SdlMixerAudio::numDevices() {
    if (!initSubsystem()) return 0;
    int count = SDL_GetNumAudioDevices(0);
    // A driver that cannot list its devices still has its default one.
    return count < 0 ? 1 : count;
}

bool SdlMixerAudio::playLooping(const std::string& file) {
    if (!ensureOpen()) return false;
    stop();
    // The music stream goes round without a gap: the end of the file is followed by its start within the
    // same output buffer.
    loop_.reset(loadStream(file));
    if (!loop_) return false;
    return Mix_PlayMusic(loop_.get(), -1) == 0;
}

bool SdlMixerAudio::stop() {
    if (loop_) {
        Mix_HaltMusic();
        loop_.reset();
    }
    return true;
}

bool SdlMixerAudio::attach(PcmSource& source) {
    if (!ensureOpen()) return false;
    Mix_SetPostMix(mixPcm, &source);
    return true;
}

void SdlMixerAudio::detach(PcmSource&) {
    if (open_) Mix_SetPostMix(nullptr, nullptr);
}

MusicLoad SdlMixerAudio::loadMusic(const std::string& path) {
    if (!ensureOpen()) return Failure(mci_error::CANNOT_LOAD_DRIVER);
    Mix_Music* music = loadStream(path);
    if (!music) return Failure(mci_error::INVALID_FILE);
    return std::unique_ptr<MusicStream>(std::make_unique<SdlMusicStream>(music));
}

} // namespace mirevo

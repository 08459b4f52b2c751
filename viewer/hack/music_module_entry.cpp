// The music module's entry point (mirevo-music.so): the saver's music, made over the caller's settings.
#include <type_traits>

#include "viewer/hack/music_module.h"

extern "C" __attribute__((visibility("default"))) void
mirevo_make_music(const mirevo::Settings* settings, int32_t* lastApiResult, std::unique_ptr<mirevo::Music>* made) {
    try {
        *made = mirevo::makeMusic(*settings, *lastApiResult);
    } catch (...) {
        // No exception crosses into the program: no music is the answer.
        made->reset();
    }
}

// The entry point's type, checked against the one the program calls through.
static_assert(std::is_same_v<decltype(&mirevo_make_music), mirevo::viewer::MakeMusicEntry>);

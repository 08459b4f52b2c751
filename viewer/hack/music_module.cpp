#include "viewer/hack/music_module.h"

#include <dlfcn.h>

#include "common/posix/paths.h"

namespace mirevo::viewer {

Result<std::unique_ptr<Music>, std::string> loadMusic(const std::string& programFolder, const Settings& settings,
                                                      int32_t& lastApiResult) {
    const std::string path = programFilePath(programFolder, kMusicModuleFileName);
    // Its libraries' names stay its own; it is never unloaded, as the music's threads may outlive a stop.
    void* module = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module) {
        const char* why = dlerror();
        return Failure(std::string(why ? why : path + ": cannot be loaded"));
    }
    const auto make = reinterpret_cast<MakeMusicEntry>(dlsym(module, kMusicModuleEntry));
    if (!make) return Failure(path + ": not Mirevo's music module");
    std::unique_ptr<Music> music;
    make(&settings, &lastApiResult, &music);
    if (!music) return Failure(path + ": made no music");
    return music;
}

} // namespace mirevo::viewer

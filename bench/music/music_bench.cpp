// How much the music costs: the CPU the playing process uses (percent of one core), the time from its
// start to the first sound sample and the process's peak resident memory, for an MP3, a WAV, a WAV one hour
// long and a disc image, through SDL's disk audio driver (which paces itself like a sound card). Measured
// for the music alone (music_probe) and for the whole saver (Mirevo.scr /s beside its viewer under a private
// Xvfb; only the saver's own process is counted). The saver should stay under 60 MB whatever the WAV's
// length.
#include <chrono>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

#include "tests/harness/child_process.h"
#include "tests/harness/poll.h"
#include "tests/harness/xvfb.h"
#include "tests/music/sound_fixtures.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using mirevo::test::ChildProcess;

constexpr double MEASURE_SECONDS = 10.0;

// User plus system CPU seconds of a process so far.
std::optional<double> cpuSeconds(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    size_t close = text.rfind(')');
    if (close == std::string::npos) return std::nullopt;
    std::istringstream fields(text.substr(close + 2));
    std::string field;
    unsigned long long utime = 0, stime = 0;
    for (int i = 3; i <= 15 && fields >> field; ++i) {
        if (i == 14) utime = std::stoull(field);
        if (i == 15) stime = std::stoull(field);
    }
    return static_cast<double>(utime + stime) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// Peak resident memory of a process so far, in MB.
std::optional<double> peakRssMb(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::stod(line.substr(6)) / 1024.0;
    return std::nullopt;
}

// A WAV one hour long whose first ten seconds hold a tone; the rest is a hole in the file that reads as
// silence, so it takes no disk space.
bool makeHourLongWav(const fs::path& file, double hz) {
    constexpr uint32_t RATE = 44100, BYTES_PER_SECOND = RATE * 4, SECONDS = 3600;
    constexpr uint32_t DATA = BYTES_PER_SECOND * SECONDS;
    std::ofstream out(file, std::ios::binary);
    auto u32 = [&](uint32_t v) { out.write(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [&](uint16_t v) { out.write(reinterpret_cast<const char*>(&v), 2); };
    out.write("RIFF", 4), u32(36 + DATA), out.write("WAVEfmt ", 8), u32(16), u16(1), u16(2), u32(RATE);
    u32(BYTES_PER_SECOND), u16(4), u16(16), out.write("data", 4), u32(DATA);
    for (uint32_t i = 0; i < RATE * 10; ++i) {
        auto v = static_cast<int16_t>(12000 * std::sin(2 * M_PI * hz * i / RATE));
        u16(static_cast<uint16_t>(v)), u16(static_cast<uint16_t>(v));
    }
    out.close();
    std::error_code error;
    fs::resize_file(file, 44 + static_cast<uintmax_t>(DATA), error);
    return out && !error;
}

bool hasSound(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    char block[4096];
    while (in.read(block, sizeof block) || in.gcount() > 0)
        for (std::streamsize i = 0; i < in.gcount(); ++i)
            if (block[i] != 0) return true;
    return false;
}

struct Result {
    double firstSampleMs = -1, cpuPercent = -1, peakRssMb = -1;
};

Result measure(ChildProcess& process, Clock::time_point started, const fs::path& heard) {
    Result r;
    if (!mirevo::test::pollUntil(30s, [&] { return hasSound(heard); })) return r;
    r.firstSampleMs = std::chrono::duration<double, std::milli>(Clock::now() - started).count();
    auto before = cpuSeconds(process.pid());
    auto t0 = Clock::now();
    std::this_thread::sleep_for(std::chrono::duration<double>(MEASURE_SECONDS));
    auto after = cpuSeconds(process.pid());
    double wall = std::chrono::duration<double>(Clock::now() - t0).count();
    if (before && after) r.cpuPercent = 100.0 * (*after - *before) / wall;
    r.peakRssMb = peakRssMb(process.pid()).value_or(-1);
    return r;
}

std::map<std::string, std::optional<std::string>> audioEnv(const fs::path& heard, const std::string& cd) {
    return {{"SDL_AUDIODRIVER", "disk"},
            {"SDL_DISKAUDIOFILE", heard.string()},
            {"MIREVO_CD_DEVICE", cd.empty() ? std::nullopt : std::optional(cd)}};
}

} // namespace

int main() {
    fs::path folder = fs::temp_directory_path() / ("mirevo_music_bench_" + std::to_string(getpid()));
    fs::create_directories(folder / "programs");
    fs::create_directories(folder / "runtime");
    fs::permissions(folder / "runtime", fs::perms::owner_all);
    for (const char* program : {"Mirevo.scr", "Mirevo.dll"})
        fs::copy_file(fs::path(MIREVO_BIN_DIR) / program, folder / "programs" / program);
    fs::path mp3 = folder / "tone.mp3", wav = folder / "tone.wav", longWav = folder / "hour.wav",
             cue = folder / "disc.cue";
    // Long enough that nothing restarts while it is measured: the steady cost of playing.
    if (!mirevo::test::makeTone(mp3, 440, 10) || !mirevo::test::makeTone(wav, 660, 10) ||
        !makeHourLongWav(longWav, 660)) {
        std::fprintf(stderr, "sox, lame or the long WAV failed\n");
        return 1;
    }
    mirevo::test::makeDiscImage(cue, std::vector<double>(12, 500));

    struct Kind {
        const char* name;
        const char* probeKind;
        int bgmKind;
        fs::path file;
        std::string cd;
    } kinds[] = {{"MP3", "mp3", 2, mp3, ""},
                 {"WAV", "wav", 2, wav, ""},
                 {"WAV, 1 hour", "wav", 2, longWav, ""},
                 {"disc image", "cd", 1, "", cue.string()}};

    std::printf("%-12s %-14s %18s %16s %14s\n", "music", "process", "first sample ms", "CPU % of a core",
                "peak RSS MB");
    for (const Kind& k : kinds) {
        fs::path heard = folder / "heard.raw";
        {
            fs::remove(heard);
            auto started = Clock::now();
            ChildProcess probe(
                {MUSIC_PROBE, k.probeKind, k.file.string(), "0", std::to_string(MEASURE_SECONDS + 4)},
                audioEnv(heard, k.cd));
            Result r = measure(probe, started, heard);
            std::printf("%-12s %-14s %18.0f %16.2f %14.1f\n", k.name, "music alone", r.firstSampleMs,
                        r.cpuPercent, r.peakRssMb);
            probe.waitExit(20s);
        }
        {
            fs::remove(heard);
            std::ofstream(folder / "programs" / "Mirevo.ini")
                << "[Section]\nBGM区分=" << k.bgmKind << "\nBGMﾘﾋﾟｰﾄ=0\nBGMﾌｧｲﾙ=" << k.file.string() << "\n";
            mirevo::test::Xvfb server(640, 480);
            auto env = audioEnv(heard, k.cd);
            env["DISPLAY"] = server.display();
            for (const char* private_ : {"XDG_RUNTIME_DIR", "HOME", "XDG_CACHE_HOME", "XDG_CONFIG_HOME"})
                env[private_] = (folder / "runtime").string();
            auto started = Clock::now();
            ChildProcess saver({(folder / "programs" / "Mirevo.scr").string(), "/s"}, env);
            Result r = measure(saver, started, heard);
            std::printf("%-12s %-14s %18.0f %16.2f %14.1f\n", k.name, "Mirevo.scr /s", r.firstSampleMs,
                        r.cpuPercent, r.peakRssMb);
            saver.terminate();
        }
    }
    fs::remove_all(folder);
    return 0;
}

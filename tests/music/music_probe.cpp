// Runs the music of one session without the rest of the saver: the load handler's music start, the MP3 and
// CD timers at their intervals, and the shutdown, for the real-sound tests and the benchmark.
//   music_probe mp3|wav|cd <file> <cd track to repeat> <seconds>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include "shared/music/music.h"

int main(int argc, char** argv) {
    if (argc != 5) {
        std::fprintf(stderr, "usage: music_probe mp3|wav|cd <file> <repeat> <seconds>\n");
        return 2;
    }
    using Clock = std::chrono::steady_clock;
    std::string kind = argv[1];
    mirevo::Settings settings;
    settings.BgmKind = kind == "cd" ? mirevo::BGM_CD : mirevo::BGM_FILE;
    settings.BgmFile = argv[2];
    settings.BgmRepeat = static_cast<int16_t>(std::atoi(argv[3]));
    auto end = Clock::now() + std::chrono::milliseconds(static_cast<int>(std::atof(argv[4]) * 1000));
    int32_t lastApiResult = 0;
    {
        auto music = mirevo::makeMusic(settings, lastApiResult);
        if (kind == "cd") music->CD_Open();
        if (kind == "wav") music->WAV_Play();
        if (kind == "mp3") music->MP3_Play();
        std::printf("started, last result %d\n", lastApiResult);
        auto start = Clock::now();
        auto nextMp3 = start + std::chrono::milliseconds(1000),
             nextCd = start + std::chrono::milliseconds(200);
        bool cdTimer = kind == "cd";
        while (Clock::now() < end) {
            auto wake = std::min(end, kind == "mp3" ? nextMp3 : cdTimer ? nextCd : end);
            std::this_thread::sleep_until(wake);
            if (kind == "mp3" && Clock::now() >= nextMp3) {
                music->MP3_Repeat();
                nextMp3 += std::chrono::milliseconds(1000);
            }
            if (cdTimer && Clock::now() >= nextCd) {
                music->CD_Check();
                cdTimer = music->CdActive();
                nextCd += std::chrono::milliseconds(200);
            }
        }
        if (cdTimer) music->CD_Close();
        if (kind == "wav") music->WAV_Stop();
        if (kind == "mp3") music->MP3_Close();
        std::printf("cd monitor %s, last result %d\n", cdTimer ? "on" : "off", lastApiResult);
    }
    return 0;
}

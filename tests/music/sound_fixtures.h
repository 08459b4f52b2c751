#pragma once
// Sounds made at test time and what was heard: tones written with sox and lame, disc images,
// and the frequency content of SDL's disk-audio output (16-bit stereo at 44.1 kHz).
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace mirevo::test {

constexpr int RATE = 44100;

// The left channel of a raw disk-audio file.
inline std::vector<int16_t> readLeftChannel(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::vector<char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::vector<int16_t> left;
    for (size_t i = 0; i + 3 < bytes.size(); i += 4)
        left.push_back(
            static_cast<int16_t>(static_cast<uint8_t>(bytes[i]) | (static_cast<uint8_t>(bytes[i + 1]) << 8)));
    return left;
}

// Amplitude of one frequency in samples [begin, begin + n), by the Goertzel recurrence.
inline double toneAmplitude(const std::vector<int16_t>& s, size_t begin, size_t n, double hz) {
    double k = 2.0 * std::cos(2.0 * M_PI * hz / RATE), a = 0, b = 0;
    for (size_t i = begin; i < begin + n && i < s.size(); ++i) {
        double next = s[i] + k * a - b;
        b = a;
        a = next;
    }
    double power = a * a + b * b - k * a * b;
    return 2.0 * std::sqrt(std::max(power, 0.0)) / static_cast<double>(n);
}

// How many windows of the given length hold the tone at amplitude at least minimum.
inline int windowsWithTone(const std::vector<int16_t>& s, size_t window, double hz, double minimum) {
    int count = 0;
    for (size_t i = 0; i + window <= s.size(); i += window)
        if (toneAmplitude(s, i, window, hz) >= minimum) ++count;
    return count;
}

// A tone file made by sox (a .wav), or by sox and lame (a .mp3). False when a tool failed.
inline bool makeTone(const std::filesystem::path& file, double hz, double seconds) {
    std::filesystem::path wav = file;
    wav.replace_extension(".tone.wav");
    std::string synth = "sox -q -n -r 44100 -c 2 -b 16 '" + wav.string() + "' synth " +
                        std::to_string(seconds) + " sine " + std::to_string(hz) + " vol 0.4";
    if (std::system(synth.c_str()) != 0) return false;
    if (file.extension() == ".wav") {
        std::filesystem::rename(wav, file);
        return true;
    }
    std::string lame = "lame --quiet '" + wav.string() + "' '" + file.string() + "'";
    return std::system(lame.c_str()) == 0;
}

// A .bin/.cue disc image of one-second tracks, one tone each: raw 16-bit stereo little-endian. A tone of 0
// makes a data track, whose bytes would be heard as a loud hum if they were ever played.
inline void makeDiscImage(const std::filesystem::path& cue, const std::vector<double>& trackHz) {
    std::filesystem::path bin = cue;
    bin.replace_extension(".bin");
    std::ofstream data(bin, std::ios::binary);
    std::ofstream sheet(cue);
    sheet << "FILE \"" << bin.filename().string() << "\" BINARY\n";
    for (size_t t = 0; t < trackHz.size(); ++t) {
        char line[96];
        std::snprintf(line, sizeof line, "  TRACK %02d %s\n    INDEX 01 %02d:%02d:00\n",
                      static_cast<int>(t + 1), trackHz[t] > 0 ? "AUDIO" : "MODE1/2352",
                      static_cast<int>(t / 60), static_cast<int>(t % 60));
        sheet << line;
        for (int i = 0; i < 75 * 588; ++i) {
            auto v = trackHz[t] > 0 ? static_cast<int16_t>(12000 * std::sin(2 * M_PI * trackHz[t] * i / RATE))
                                    : int16_t{0x3c3c};
            char frame[4] = {static_cast<char>(v & 0xff), static_cast<char>((v >> 8) & 0xff),
                             static_cast<char>(v & 0xff), static_cast<char>((v >> 8) & 0xff)};
            data.write(frame, 4);
        }
    }
}

} // namespace mirevo::test

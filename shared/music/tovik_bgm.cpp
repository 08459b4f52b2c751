#include "shared/music/tovik_bgm.h"

#include <cstring>
#include <optional>

namespace mirevo {
namespace {

std::string upper(std::string text) {
    for (char& c : text)
        if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    return text;
}

bool failed(const std::string& reply) {
    return upper(reply).find("ERR") != std::string::npos;
}

// The text of a fixed buffer up to its first NUL.
std::string bufferText(const char* buffer, size_t size) {
    return std::string(buffer, strnlen(buffer, size));
}

// A track number reply as the comparison with BgmRepeat reads it: blanks around digits, nothing else.
std::optional<long> trackNumber(const std::string& text) {
    size_t b = text.find_first_not_of(' '), e = text.find_last_not_of(' ');
    if (b == std::string::npos) return std::nullopt;
    std::string digits = text.substr(b, e - b + 1);
    if (digits.size() > 9) return std::nullopt;
    long value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

} // namespace

TovikBgm::TovikBgm(const Settings& settings, int32_t& lastApiResult, Mci& mci, SoundPlayer& sound)
    : settings_(settings), lastApiResult_(lastApiResult), mci_(mci), sound_(sound) {}

int32_t TovikBgm::MCI_Send(const std::string& command, std::string& reply) {
    if (command.empty()) {
        reply = "コマンド文字列が指定されていません";
        return -1;
    }
    std::memset(replyBuffer_, 0, sizeof replyBuffer_);
    int32_t code = mci_.sendString(command, replyBuffer_, sizeof replyBuffer_);
    lastApiResult_ = code;
    if (code != 0) {
        std::memset(errorBuffer_, 0, sizeof errorBuffer_);
        if (auto text = mci_.errorString(code)) {
            std::strncpy(errorBuffer_, text->c_str(), sizeof errorBuffer_ - 1);
            reply = bufferText(errorBuffer_, sizeof errorBuffer_);
        } else {
            reply = "Error (文字列が取れません)";
        }
        return code;
    }
    reply = bufferText(replyBuffer_, sizeof replyBuffer_);
    return 0;
}

std::string TovikBgm::MCI_Query(const std::string& command) {
    int32_t code = MCI_Send(command, replyText_);
    lastApiResult_ = code;
    if (code != 0) return "Error:" + std::to_string(code);
    return replyText_;
}

int32_t TovikBgm::MCI_Play(const std::string& device, const std::string& from, const std::string& to) {
    std::string command = "play " + device;
    if (!from.empty()) command += " from " + from;
    if (!to.empty()) command += " to " + to;
    return MCI_Send(command, replyText_);
}

void TovikBgm::CD_Open() {
    lastApiResult_ = plainSend("open cdaudio");
    lastApiResult_ = plainSend("set cdaudio time format tmsf");
}

void TovikBgm::CD_Check() {
    cdActive_ = true;
    std::string track = MCI_Query("status cdaudio current track");
    if (failed(track)) {
        cdActive_ = false;
        return;
    }
    std::string count = MCI_Query("status cdaudio number of tracks");
    if (failed(count)) {
        cdActive_ = false;
        return;
    }
    lastApiResult_ = mci_.sendString("status cdaudio mode", cdModeBuffer_, sizeof cdModeBuffer_);
    std::string mode = bufferText(cdModeBuffer_, sizeof cdModeBuffer_).substr(0, 7);

    if (settings_.BgmRepeat != 0) {
        // Both sides of the test are evaluated: a track reply that is no number ends the monitoring.
        auto current = trackNumber(track);
        if (!current) {
            cdActive_ = false;
            return;
        }
        if (mode == "stopped" || *current != settings_.BgmRepeat) {
            std::string start =
                MCI_Query("status cdaudio position track " + std::to_string(settings_.BgmRepeat));
            MCI_Play("cdaudio", start, "");
        }
    } else if (mode == "stopped") {
        MCI_Play("cdaudio", "", "");
    }
}

void TovikBgm::CD_Close() {
    lastApiResult_ = plainSend("stop cdaudio");
    lastApiResult_ = plainSend("close cdaudio");
}

void TovikBgm::MP3_Play() {
    std::string command = "open \"" + settings_.BgmFile + "\" type MPEGVideo Alias MP3Play";
    if (plainSend(command) != 0) return;
    plainSend("play MP3Play");
}

bool TovikBgm::MP3_IsPlaying() {
    mci_.sendString("status MP3Play mode", mp3ModeBuffer_, sizeof mp3ModeBuffer_);
    return bufferText(mp3ModeBuffer_, sizeof mp3ModeBuffer_).substr(0, 7) == "playing";
}

void TovikBgm::MP3_Repeat() {
    if (MP3_IsPlaying()) return;
    plainSend("stop MP3Play");
    plainSend("play MP3Play from 0");
}

void TovikBgm::MP3_Close() {
    plainSend("stop MP3Play");
    plainSend("close MP3Play");
}

void TovikBgm::WAV_Play() {
    int devices = sound_.numDevices();
    if (devices <= 0) return;
    lastApiResult_ = sound_.playLooping(settings_.BgmFile) ? 1 : 0;
}

void TovikBgm::WAV_Stop() {
    lastApiResult_ = sound_.stop() ? 1 : 0;
}

} // namespace mirevo

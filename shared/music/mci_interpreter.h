#pragma once
// Our stand-in for the platform's MCI: runs the command strings the music module sends (open, set, status,
// play, stop, close) on two device types, "cdaudio" (a CD drive) and "MPEGVideo" (an MP3 file), each opened
// under an alias. Keywords, device types and aliases are case-insensitive. Error codes: mci_errors.h.
//
//  open cdaudio [alias A]                          the drive; nothing plays yet
//  open "file" type MPEGVideo [alias A]            one file at a time
//  set A time format tmsf|msf|milliseconds         (MPEGVideo: milliseconds only)
//  status A mode                                   "playing", "stopped"; "not ready" without a disc
//  status A current track | number of tracks       decimal text (cdaudio)
//  status A position [track N] | length            in the time format; tmsf gives TT:MM:SS:FF
//  play A [from P] [to P]                          cdaudio: to the end of the disc unless "to";
//                                                  without from, on from where it stands (the disc's
//                                                  start once it has played to its end)
//  stop A, close A
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "shared/music/cd_drive.h"
#include "shared/music/mci.h"
#include "shared/music/music_stream.h"

namespace mirevo {

struct MciBackends {
    std::function<std::unique_ptr<CdDrive>()> openCdDrive; // empty result: no drive
    std::function<MusicLoad(const std::string& path)> loadMusic;
};

class MciDevice;

class MciInterpreter final : public Mci {
public:
    explicit MciInterpreter(MciBackends backends);
    ~MciInterpreter() override;
    MciInterpreter(const MciInterpreter&) = delete;
    MciInterpreter& operator=(const MciInterpreter&) = delete;

    int32_t sendString(const std::string& command, char* reply, uint32_t length) override;
    std::optional<std::string> errorString(int32_t code) override;

    // The same command with its reply as a string (the whole reply, not cut to a buffer).
    int32_t run(const std::string& command, std::string& reply);

private:
    int32_t open(const std::string& device, const std::vector<std::string>& args);

    MciBackends backends_;
    std::map<std::string, std::unique_ptr<MciDevice>> devices_; // by lower-case alias
};

} // namespace mirevo

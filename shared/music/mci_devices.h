#pragma once
// The device types behind the interpreter. Each takes the words after its alias.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "shared/music/cd_drive.h"
#include "shared/music/cd_time.h"
#include "shared/music/music_stream.h"

namespace mirevo {

class MciDevice {
public:
    virtual ~MciDevice() = default;
    virtual bool isMpegVideo() const { return false; }
    virtual int32_t setTimeFormat(const std::string& format) = 0;
    virtual int32_t status(const std::vector<std::string>& item, std::string& reply) = 0;
    virtual int32_t play(const std::optional<std::string>& from, const std::optional<std::string>& to) = 0;
    virtual int32_t stop() = 0;
};

class CdAudioDevice final : public MciDevice {
public:
    explicit CdAudioDevice(std::unique_ptr<CdDrive> drive);
    ~CdAudioDevice() override;
    int32_t setTimeFormat(const std::string& format) override;
    int32_t status(const std::vector<std::string>& item, std::string& reply) override;
    int32_t play(const std::optional<std::string>& from, const std::optional<std::string>& to) override;
    int32_t stop() override;

private:
    std::unique_ptr<CdDrive> drive_;
    CdTimeFormat format_ = CdTimeFormat::Msf;
};

class MpegVideoDevice final : public MciDevice {
public:
    explicit MpegVideoDevice(std::unique_ptr<MusicStream> stream);
    ~MpegVideoDevice() override;
    bool isMpegVideo() const override { return true; }
    int32_t setTimeFormat(const std::string& format) override;
    int32_t status(const std::vector<std::string>& item, std::string& reply) override;
    int32_t play(const std::optional<std::string>& from, const std::optional<std::string>& to) override;
    int32_t stop() override;

private:
    std::unique_ptr<MusicStream> stream_;
};

} // namespace mirevo

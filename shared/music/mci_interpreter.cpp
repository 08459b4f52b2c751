#include "shared/music/mci_interpreter.h"

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "shared/music/mci_devices.h"
#include "shared/music/mci_errors.h"
#include "shared/music/mci_parser.h"

namespace mirevo {

MciInterpreter::MciInterpreter(MciBackends backends) : backends_(std::move(backends)) {}

MciInterpreter::~MciInterpreter() = default;

int32_t MciInterpreter::sendString(const std::string& command, char* reply, uint32_t length) {
    std::string text;
    int32_t code = run(command, text);
    if (reply && length > 0) {
        size_t n = code == 0 ? std::min<size_t>(text.size(), length - 1) : 0;
        std::memcpy(reply, text.data(), n);
        reply[n] = '\0';
    }
    return code;
}

std::optional<std::string> MciInterpreter::errorString(int32_t code) {
    return mci_error::text(code);
}

int32_t MciInterpreter::run(const std::string& command, std::string& reply) {
    reply.clear();
    auto parsed = parseMciCommand(command);
    if (auto* code = std::get_if<int32_t>(&parsed)) return *code;
    const MciCommand& c = std::get<MciCommand>(parsed);
    static const char* const verbs[] = {"open", "set", "status", "play", "stop", "close"};
    if (std::find(std::begin(verbs), std::end(verbs), c.verb) == std::end(verbs))
        return mci_error::UNRECOGNIZED_COMMAND;
    if (c.device.empty()) return mci_error::MISSING_DEVICE_NAME;
    if (c.verb == "open") return open(c.device, c.args);

    auto found = devices_.find(lowerAscii(c.device));
    if (found == devices_.end()) return mci_error::INVALID_DEVICE_NAME;
    MciDevice& device = *found->second;
    const auto& a = c.args;

    if (c.verb == "close") {
        if (!a.empty()) return mci_error::UNRECOGNIZED_KEYWORD;
        devices_.erase(found);
        return 0;
    }
    if (c.verb == "stop") return a.empty() ? device.stop() : mci_error::UNRECOGNIZED_KEYWORD;
    if (c.verb == "status") return device.status(a, reply);
    if (c.verb == "set") {
        if (a.empty()) return mci_error::MISSING_PARAMETER;
        if (a.size() < 2 || !equalsIgnoreCase(a[0], "time") || !equalsIgnoreCase(a[1], "format"))
            return mci_error::UNRECOGNIZED_KEYWORD;
        if (a.size() < 3) return mci_error::MISSING_PARAMETER;
        if (a.size() > 3) return mci_error::UNRECOGNIZED_KEYWORD;
        return device.setTimeFormat(a[2]);
    }
    // play [from P] [to P]
    std::optional<std::string> from, to;
    for (size_t i = 0; i < a.size(); i += 2) {
        std::string key = lowerAscii(a[i]);
        if (key != "from" && key != "to") return mci_error::UNRECOGNIZED_KEYWORD;
        if (i + 1 >= a.size()) return mci_error::MISSING_PARAMETER;
        (key == "from" ? from : to) = a[i + 1];
    }
    return device.play(from, to);
}

int32_t MciInterpreter::open(const std::string& device, const std::vector<std::string>& args) {
    std::optional<std::string> type, alias;
    for (size_t i = 0; i < args.size(); ++i) {
        std::string key = lowerAscii(args[i]);
        if (key == "shareable" || key == "wait") continue;
        if (key != "type" && key != "alias") return mci_error::UNRECOGNIZED_KEYWORD;
        if (i + 1 >= args.size()) return mci_error::MISSING_PARAMETER;
        (key == "type" ? type : alias) = args[++i];
    }
    std::string kind = lowerAscii(type.value_or(device));
    if (kind != "cdaudio" && kind != "mpegvideo") return mci_error::INVALID_DEVICE_NAME;
    std::string name = lowerAscii(alias.value_or(device));
    if (devices_.count(name)) return mci_error::DUPLICATE_ALIAS;

    if (kind == "cdaudio") {
        std::unique_ptr<CdDrive> drive = backends_.openCdDrive ? backends_.openCdDrive() : nullptr;
        if (!drive) return mci_error::DEVICE_NOT_INSTALLED;
        devices_.emplace(name, std::make_unique<CdAudioDevice>(std::move(drive)));
        return 0;
    }
    // The sound output plays one file at a time.
    for (const auto& [n, d] : devices_)
        if (d->isMpegVideo()) return mci_error::DEVICE_OPEN;
    std::error_code ec;
    if (!type || !std::filesystem::is_regular_file(device, ec)) return mci_error::FILE_NOT_FOUND;
    if (!backends_.loadMusic) return mci_error::CANNOT_LOAD_DRIVER;
    MusicLoad loaded = backends_.loadMusic(device);
    if (!loaded) return loaded.reason() ? loaded.reason() : mci_error::INVALID_FILE;
    if (!*loaded) return mci_error::INVALID_FILE;
    devices_.emplace(name, std::make_unique<MpegVideoDevice>(std::move(*loaded)));
    return 0;
}

} // namespace mirevo

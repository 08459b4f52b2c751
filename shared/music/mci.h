#pragma once
// The command-string channel the music module talks through, shaped like mciSendStringA and
// mciGetErrorStringA so the module's logic runs unchanged over our interpreter or a scripted one.
#include <cstdint>
#include <optional>
#include <string>

namespace mirevo {

class Mci {
public:
    virtual ~Mci() = default;
    // Runs one command. A reply of up to length - 1 characters and a NUL go into reply (nothing is written
    // when reply is null or length is 0). Returns 0 on success, otherwise an error code.
    virtual int32_t sendString(const std::string& command, char* reply, uint32_t length) = 0;
    // The text for an error code, or nothing when the code has none.
    virtual std::optional<std::string> errorString(int32_t code) = 0;
};

} // namespace mirevo

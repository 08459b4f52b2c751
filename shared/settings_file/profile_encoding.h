#pragma once
// Lines of an ini file as UTF-8. The Windows program wrote its ini file in Shift-JIS; we write UTF-8 and read
// either, line by line, so that one line in some other encoding cannot hide the rest of the file.
#include <iconv.h>

#include <optional>
#include <string>
#include <string_view>

namespace mirevo {

class ProfileLineDecoder {
public:
    ProfileLineDecoder();
    ~ProfileLineDecoder();
    ProfileLineDecoder(const ProfileLineDecoder&) = delete;
    ProfileLineDecoder& operator=(const ProfileLineDecoder&) = delete;

    // The line itself when it is valid UTF-8, else its Shift-JIS (CP932) reading in UTF-8; nullopt when it is
    // neither. The text lasts until the next call.
    std::optional<std::string_view> decode(std::string_view line);

private:
    iconv_t fromCp932_;
    std::string buffer_;
};

bool isValidUtf8(std::string_view bytes);

// One line through a decoder of its own; nullopt when it is neither UTF-8 nor Shift-JIS.
std::optional<std::string> decodeProfileLine(std::string_view line);

} // namespace mirevo

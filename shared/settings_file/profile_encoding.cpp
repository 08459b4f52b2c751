#include "shared/settings_file/profile_encoding.h"

#include <cerrno>
#include <cstdint>

namespace mirevo {
namespace {

const iconv_t kNoConverter = reinterpret_cast<iconv_t>(-1);

} // namespace

bool isValidUtf8(std::string_view bytes) {
    std::size_t i = 0;
    const std::size_t n = bytes.size();
    while (i < n) {
        const auto c = static_cast<unsigned char>(bytes[i]);
        std::size_t length = 0;
        uint32_t code = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            length = 2;
            code = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            length = 3;
            code = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            length = 4;
            code = c & 0x07;
        } else {
            return false;
        }
        if (n - i < length) return false;
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + k]);
            if ((next & 0xC0) != 0x80) return false;
            code = (code << 6) | (next & 0x3F);
        }
        // Refuse overlong forms, surrogates and code points past U+10FFFF: Shift-JIS text can look like them.
        static constexpr uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (code < kSmallest[length] || (code >= 0xD800 && code <= 0xDFFF) || code > 0x10FFFF) return false;
        i += length;
    }
    return true;
}

ProfileLineDecoder::ProfileLineDecoder() : fromCp932_(iconv_open("UTF-8", "CP932")) {}

ProfileLineDecoder::~ProfileLineDecoder() {
    if (fromCp932_ != kNoConverter) iconv_close(fromCp932_);
}

std::optional<std::string_view> ProfileLineDecoder::decode(std::string_view line) {
    if (isValidUtf8(line)) return line;
    if (fromCp932_ == kNoConverter) return std::nullopt;
    iconv(fromCp932_, nullptr, nullptr, nullptr, nullptr); // a failed line leaves no state behind
    // Shift-JIS takes at least a third of the bytes UTF-8 needs (one byte for a half-width katakana).
    buffer_.resize(line.size() * 3 + 4);
    char* in = const_cast<char*>(line.data());
    std::size_t inLeft = line.size();
    char* out = buffer_.data();
    std::size_t outLeft = buffer_.size();
    if (iconv(fromCp932_, &in, &inLeft, &out, &outLeft) == static_cast<std::size_t>(-1)) return std::nullopt;
    return std::string_view(buffer_.data(), buffer_.size() - outLeft);
}

std::optional<std::string> decodeProfileLine(std::string_view line) {
    ProfileLineDecoder decoder;
    const auto text = decoder.decode(line);
    return text ? std::optional<std::string>(*text) : std::nullopt;
}

} // namespace mirevo

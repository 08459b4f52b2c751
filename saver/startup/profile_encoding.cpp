// The Windows program wrote its ini file in Shift-JIS; we write UTF-8 and read either.
#include <iconv.h>

#include <cerrno>
#include <cstdint>
#include <vector>

#include "saver/startup/profile_file.h"

namespace mirevo {
namespace {

bool isValidUtf8(const std::string& bytes) {
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

class Converter {
public:
    Converter(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
    ~Converter() {
        if (valid()) iconv_close(handle_);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool valid() const { return handle_ != reinterpret_cast<iconv_t>(-1); }
    iconv_t get() const { return handle_; }

private:
    iconv_t handle_;
};

std::optional<std::string> convert(const std::string& bytes, const char* to, const char* from) {
    Converter converter(to, from);
    if (!converter.valid()) return std::nullopt;
    std::string input = bytes;
    // Shift-JIS takes at most 2 bytes for what UTF-8 writes in 3.
    std::vector<char> output(bytes.size() * 2 + 16);
    char* in = input.data();
    std::size_t inLeft = input.size();
    char* out = output.data();
    std::size_t outLeft = output.size();
    while (inLeft > 0) {
        if (iconv(converter.get(), &in, &inLeft, &out, &outLeft) == static_cast<std::size_t>(-1)) {
            if (errno != E2BIG) return std::nullopt;
            const std::size_t used = output.size() - outLeft;
            output.resize(output.size() * 2);
            out = output.data() + used;
            outLeft = output.size() - used;
        }
    }
    return std::string(output.data(), output.size() - outLeft);
}

} // namespace

std::optional<std::string> decodeProfileBytes(const std::string& bytes) {
    if (isValidUtf8(bytes)) return bytes;
    return convert(bytes, "UTF-8", "CP932");
}

} // namespace mirevo

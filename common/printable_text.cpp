#include "common/printable_text.h"

namespace mirevo {
namespace {

// The length of the well-formed UTF-8 character that starts at text[at], with its code point; 0 when the byte
// there starts none (a stray continuation, an overlong form, a surrogate, a cut sequence).
size_t characterAt(const std::string& text, size_t at, char32_t& code) {
    const auto lead = static_cast<unsigned char>(text[at]);
    size_t length = 0;
    char32_t lowest = 0;
    if (lead < 0x80) {
        code = lead;
        return 1;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2, lowest = 0x80, code = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3, lowest = 0x800, code = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4, lowest = 0x10000, code = lead & 0x07;
    } else {
        return 0;
    }
    if (text.size() - at < length) return 0;
    for (size_t i = 1; i < length; ++i) {
        const auto next = static_cast<unsigned char>(text[at + i]);
        if ((next & 0xC0) != 0x80) return 0;
        code = code << 6 | (next & 0x3F);
    }
    if (code < lowest || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) return 0;
    return length;
}

bool isControl(char32_t code) {
    return code < 0x20 || (code >= 0x7F && code <= 0x9F) || code == 0x061C || code == 0x200E ||
           code == 0x200F || code == 0x2028 || code == 0x2029 || (code >= 0x202A && code <= 0x202E) ||
           (code >= 0x2066 && code <= 0x2069);
}

} // namespace

PrintableText printableText(const std::string& text, size_t maxBytes) {
    PrintableText out;
    for (size_t at = 0; at < text.size();) {
        if (out.text.size() >= maxBytes) {
            out.cut = true;
            break;
        }
        char32_t code = 0;
        const size_t length = characterAt(text, at, code);
        if (length == 0 || isControl(code)) {
            out.text += '?';
            at += length == 0 ? 1 : length;
        } else {
            out.text.append(text, at, length);
            at += length;
        }
    }
    return out;
}

} // namespace mirevo

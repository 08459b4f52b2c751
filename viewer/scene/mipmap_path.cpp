#include "viewer/scene/mipmap_path.h"

#include <cctype>
#include <cstring>

namespace mirevo::viewer {

const char* describe(MipmapPath path) {
    switch (path) {
    case MipmapPath::GlGenerate:
        return "gl-generate";
    case MipmapPath::CpuLevels:
        return "cpu-levels";
    case MipmapPath::Glu:
        break;
    }
    return "glu";
}

bool isSoftwareRenderer(const char* renderer) {
    if (!renderer) return false;
    for (const char* name : {"llvmpipe", "softpipe", "Software Rasterizer", "swrast"})
        if (std::strstr(renderer, name)) return true;
    return false;
}

std::optional<GlVersion> parseGlVersion(const char* text) {
    if (!text) return std::nullopt;
    auto number = [&text](int& into) {
        if (!std::isdigit(static_cast<unsigned char>(*text))) return false;
        into = 0;
        while (std::isdigit(static_cast<unsigned char>(*text)) && into < 1000)
            into = into * 10 + (*text++ - '0');
        return true;
    };
    GlVersion version;
    if (!number(version.major) || *text++ != '.' || !number(version.minor)) return std::nullopt;
    return version;
}

bool hasExtension(const char* extensions, const std::string& name) {
    if (!extensions || name.empty()) return false;
    for (const char* at = std::strstr(extensions, name.c_str()); at; at = std::strstr(at + 1, name.c_str())) {
        bool startsWord = at == extensions || at[-1] == ' ';
        char after = at[name.size()];
        if (startsWord && (after == ' ' || after == '\0')) return true;
    }
    return false;
}

namespace {
bool powerOfTwo(int n) {
    return n > 0 && (n & (n - 1)) == 0;
}
} // namespace

MipmapPath chooseMipmapPath(const GlCapabilities& caps, int width, int height) {
    bool takesSize =
        caps.version.atLeast(2, 0) || caps.npotExtension || (powerOfTwo(width) && powerOfTwo(height));
    // GLU shrinks a picture larger than the GL takes; the other paths upload it whole.
    bool fits = width <= caps.maxTextureSize && height <= caps.maxTextureSize;
    if (!takesSize || !fits) return MipmapPath::Glu;
    bool generates = caps.version.atLeast(1, 4) || caps.generateMipmapExtension;
    bool takesBgr = caps.version.atLeast(1, 2) || caps.bgraExtension;
    if (generates && !caps.softwareRenderer) return MipmapPath::GlGenerate;
    if (takesBgr) return MipmapPath::CpuLevels;
    return generates ? MipmapPath::GlGenerate : MipmapPath::Glu;
}

} // namespace mirevo::viewer

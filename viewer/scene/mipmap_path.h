#pragma once
// How the texture's mipmap chain gets built. A hardware GL builds it itself (OpenGL 1.4's automatic
// generation, on a texture of the picture's own size). A software renderer can too, but the first time costs
// it a shader compilation several times longer than the whole build, so there the levels are averaged here
// and uploaded one by one. A plain OpenGL 1.1 context gets GLU, which scales the picture to power-of-two
// sides and builds every level itself. All three end as the same linearly filtered, mipmapped, repeating RGB
// texture.
#include <optional>
#include <string>

namespace mirevo::viewer {

enum class MipmapPath { Glu, GlGenerate, CpuLevels };

const char* describe(MipmapPath path);

struct GlVersion {
    int major = 1;
    int minor = 1;
    bool atLeast(int wantMajor, int wantMinor) const {
        return major > wantMajor || (major == wantMajor && minor >= wantMinor);
    }
};

// "4.5 (Compatibility Profile) Mesa 22.3.6" -> 4.5; nothing when the text does not start with a version.
std::optional<GlVersion> parseGlVersion(const char* versionText);
// Whole-name match in the space-separated extension list.
bool hasExtension(const char* extensions, const std::string& name);

struct GlCapabilities {
    GlVersion version;
    bool generateMipmapExtension = false; // GL_SGIS_generate_mipmap
    bool npotExtension = false;           // GL_ARB_texture_non_power_of_two
    bool bgraExtension = false;           // GL_EXT_bgra: blue-green-red pixels before OpenGL 1.2
    bool softwareRenderer = false;        // llvmpipe, softpipe, swrast
    int maxTextureSize = 64;
};

// From GL_RENDERER: whether the GL draws on the processor.
bool isSoftwareRenderer(const char* renderer);

MipmapPath chooseMipmapPath(const GlCapabilities& caps, int width, int height);

} // namespace mirevo::viewer

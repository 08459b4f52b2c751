#include "viewer/scene/scene_texture.h"

#include <algorithm>
#include <future>
#include <system_error>
#include <new>

#include "common/posix/large_heap.h"
#include "viewer/picture/rgba_levels.h"

#include <GL/gl.h>
#include <GL/glu.h>

namespace mirevo::viewer {

namespace {

// A level larger than a 4K desktop goes up in bands of rows, so that a software GL (which converts every
// pixel) lets the window answer between them.
constexpr size_t kWholeUploadBytes = size_t{32} << 20;
constexpr size_t kUploadBandBytes = size_t{8} << 20;

struct LevelPixels {
    int width, height;
    const uint8_t* pixels;
    size_t rowBytes;
    GLint internalFormat;
    GLenum format;
};

bool uploadLevel(GLint level, const LevelPixels& image, const KeepGoing& keepGoing = {}) {
    const size_t bytes = image.rowBytes * static_cast<size_t>(image.height);
    if (!keepGoing || bytes <= kWholeUploadBytes) {
        glTexImage2D(GL_TEXTURE_2D, level, image.internalFormat, image.width, image.height, 0, image.format,
                     GL_UNSIGNED_BYTE, image.pixels);
        return true;
    }
    const int bandRows = static_cast<int>(std::max<size_t>(1, kUploadBandBytes / image.rowBytes));
    glTexImage2D(GL_TEXTURE_2D, level, image.internalFormat, image.width, image.height, 0, image.format,
                 GL_UNSIGNED_BYTE, nullptr);
    for (int row = 0; row < image.height; row += bandRows) {
        if (!keepGoing()) return false;
        glTexSubImage2D(GL_TEXTURE_2D, level, 0, row, image.width, std::min(bandRows, image.height - row),
                        image.format, GL_UNSIGNED_BYTE, image.pixels + image.rowBytes * static_cast<size_t>(row));
    }
    return true;
}

bool uploadLevel(GLint level, const Picture& image, const KeepGoing& keepGoing = {}) {
    return uploadLevel(level,
                       {image.width, image.height, image.pixels.data(), pictureRowBytes(image.width), GL_RGB8,
                        GL_BGR},
                       keepGoing);
}

// A software GL keeps 8-bit RGBA texels: given in that order they are copied, not converted one by one.
bool uploadLevel(GLint level, const RgbaLevel& image, const KeepGoing& keepGoing) {
    return uploadLevel(level,
                       {image.width, image.height, image.pixels, static_cast<size_t>(image.width) * 4,
                        GL_RGBA8, GL_RGBA},
                       keepGoing);
}

// Level 0 converted a band at a time into a buffer that stays in the cache, each band copied by the GL.
constexpr size_t kConvertBandBytes = size_t{256} << 10;
// Memory made ready for the GL's storage is this much larger than its levels: for the GL's alignment of
// them (a thirty-second more), and for what is allocated before the storage (the band above).
constexpr size_t kStorageRoom = size_t{1} << 20;

bool uploadRgbaLevelZero(const Picture& image, const KeepGoing& keepGoing) {
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, image.width, image.height, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    const size_t rowBytes = static_cast<size_t>(image.width) * 4;
    const int bandRows = static_cast<int>(std::max<size_t>(1, kConvertBandBytes / rowBytes));
    std::vector<uint8_t> band(rowBytes * static_cast<size_t>(std::min(bandRows, image.height)));
    size_t uploaded = 0;
    for (int row = 0; row < image.height; row += bandRows) {
        // Asked as often as the uploads of whole levels in bands ask it.
        if (keepGoing && (uploaded += band.size()) >= kUploadBandBytes) {
            uploaded = 0;
            if (!keepGoing()) return false;
        }
        const int rows = std::min(bandRows, image.height - row);
        bgrRowsToRgba(image, row, row + rows, band.data());
        glTexSubImage2D(GL_TEXTURE_2D, 0, 0, row, image.width, rows, GL_RGBA, GL_UNSIGNED_BYTE, band.data());
    }
    return true;
}

// The smaller levels (a third of level 0's pixels) are averaged on a second thread meanwhile.
std::future<RgbaLevels> startSmallerLevels(const Picture& image) {
    auto build = [&image] { return rgbaSmallerLevels(image); };
    try {
        return std::async(std::launch::async, build);
    } catch (const std::system_error&) {
        return std::async(std::launch::deferred, build);
    }
}

} // namespace

LevelsWanted levelsWantedBy(const GlCapabilities& caps) {
    return [caps](int width, int height) {
        return chooseMipmapPath(caps, width, height) == MipmapPath::CpuLevels;
    };
}

GlCapabilities currentGlCapabilities() {
    GlCapabilities caps;
    if (auto version = parseGlVersion(reinterpret_cast<const char*>(glGetString(GL_VERSION))))
        caps.version = *version;
    const char* extensions = reinterpret_cast<const char*>(glGetString(GL_EXTENSIONS));
    caps.generateMipmapExtension = hasExtension(extensions, "GL_SGIS_generate_mipmap");
    caps.npotExtension = hasExtension(extensions, "GL_ARB_texture_non_power_of_two");
    caps.bgraExtension = hasExtension(extensions, "GL_EXT_bgra");
    caps.softwareRenderer = isSoftwareRenderer(reinterpret_cast<const char*>(glGetString(GL_RENDERER)));
    GLint maxSize = 64;
    glGetIntegerv(GL_MAX_TEXTURE_SIZE, &maxSize);
    caps.maxTextureSize = maxSize;
    return caps;
}

void SceneTexture::Release() {
    if (handle_ == 0) return;
    GLuint texture = handle_ - 1;
    glDeleteTextures(1, &texture);
    handle_ = 0;
}

void SceneTexture::Create(const std::string& fileName) {
    Release();
    fileName_ = fileName;
    GLuint texture = 0;
    glGenTextures(1, &texture);
    handle_ = texture + 1;
    glBindTexture(GL_TEXTURE_2D, texture);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_REPEAT);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_REPEAT);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
    glTexParameterf(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR_MIPMAP_LINEAR);
}

void SceneTexture::Bind() const {
    glBindTexture(GL_TEXTURE_2D, name());
}

Result<void, BmpRefusal> SceneTexture::loadPrepared(const std::string& fileName, const PreparedSnapshot& prepared,
                                                    const KeepGoing& keepGoing) {
    Create(fileName);
    lastPath_.reset();
    if (!prepared.image) return Failure(refusalOf(prepared.image));
    return uploadWithin(*prepared.image, &prepared.smallerLevels, keepGoing);
}

Result<void, BmpRefusal> SceneTexture::uploadWithin(const Picture& image, const RgbaLevels* smallerLevels,
                                                    const KeepGoing& keepGoing) {
    // Errors left by earlier calls are not ours (a lost context repeats its error, hence the bound).
    for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i) {
    }
    BmpRefusal refusal = BmpRefusal::None;
    try {
        if (!upload(image, std::nullopt, smallerLevels, keepGoing)) refusal = BmpRefusal::Cancelled;
    } catch (const std::bad_alloc&) {
        return Failure(BmpRefusal::OutOfMemory);
    }
    // A level the GL found no room for leaves the texture incomplete: the floor shows white.
    for (GLenum error = glGetError(), i = 0; error != GL_NO_ERROR && i < 16; error = glGetError(), ++i)
        if (error == GL_OUT_OF_MEMORY) refusal = BmpRefusal::OutOfMemory;
    if (refusal != BmpRefusal::None) return Failure(refusal);
    return {};
}

bool SceneTexture::upload(const Picture& image, std::optional<MipmapPath> forced,
                          const RgbaLevels* smallerLevels, const KeepGoing& keepGoing) {
    width_ = image.width;
    height_ = image.height;
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    MipmapPath path = forced.value_or(chooseMipmapPath(currentGlCapabilities(), image.width, image.height));
    if (path == MipmapPath::CpuLevels) {
        // The GL fills its storage for every level as it allocates it: taken from memory faulted in here on
        // 2 MiB pages where the kernel gives them on request (or already made ready by another thread), it
        // costs a fault per 2 MiB rather than one per 4 KiB.
        const HeapStartUp heap;
        const size_t storage = rgbaLevelsBytes(image.width, image.height);
        HeapReserve(storage + storage / 32 + kStorageRoom).release();
        // Levels averaged beforehand are taken as they are.
        const bool given = smallerLevels && smallerLevels->belongTo(image.width, image.height);
        std::future<RgbaLevels> smaller;
        if (!given) smaller = startSmallerLevels(image);
        if (!uploadRgbaLevelZero(image, keepGoing)) return false; // the helper is waited for on the way out
        const RgbaLevels averaged = given ? RgbaLevels{} : smaller.get();
        const RgbaLevels& levels = given ? *smallerLevels : averaged;
        for (size_t i = 0; i < levels.levels.size(); ++i)
            if (!uploadLevel(static_cast<GLint>(i + 1), levels.levels[i], keepGoing)) return false;
    } else if (path == MipmapPath::GlGenerate) {
        // The GL derives every level from the full-size picture, in its own (often parallel) code.
        glTexParameteri(GL_TEXTURE_2D, GL_GENERATE_MIPMAP, GL_TRUE);
        uploadLevel(0, image);
    } else {
        gluBuild2DMipmaps(GL_TEXTURE_2D, 3, image.width, image.height, GL_BGR_EXT, GL_UNSIGNED_BYTE,
                          image.pixels.data());
    }
    lastPath_ = path;
    return true;
}

} // namespace mirevo::viewer

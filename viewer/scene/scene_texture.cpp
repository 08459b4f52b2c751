#include "viewer/scene/scene_texture.h"

#include <algorithm>
#include <new>

#include "viewer/picture/mipmap_levels.h"

#include <GL/gl.h>
#include <GL/glu.h>

namespace mirevo::viewer {

namespace {

// A level larger than a 4K desktop goes up in bands of rows, so that a software GL (which converts every
// pixel) lets the window answer between them.
constexpr size_t kWholeUploadBytes = size_t{32} << 20;
constexpr size_t kUploadBandBytes = size_t{8} << 20;

bool uploadLevel(GLint level, const Picture& image, const KeepGoing& keepGoing = {}) {
    if (!keepGoing || image.pixels.size() <= kWholeUploadBytes) {
        glTexImage2D(GL_TEXTURE_2D, level, GL_RGB8, image.width, image.height, 0, GL_BGR, GL_UNSIGNED_BYTE,
                     image.pixels.data());
        return true;
    }
    const size_t rowBytes = pictureRowBytes(image.width);
    const int bandRows = static_cast<int>(std::max<size_t>(1, kUploadBandBytes / rowBytes));
    glTexImage2D(GL_TEXTURE_2D, level, GL_RGB8, image.width, image.height, 0, GL_BGR, GL_UNSIGNED_BYTE,
                 nullptr);
    for (int row = 0; row < image.height; row += bandRows) {
        if (!keepGoing()) return false;
        glTexSubImage2D(GL_TEXTURE_2D, level, 0, row, image.width, std::min(bandRows, image.height - row),
                        GL_BGR, GL_UNSIGNED_BYTE, image.pixels.data() + rowBytes * static_cast<size_t>(row));
    }
    return true;
}

} // namespace

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

bool SceneTexture::Create(const std::string& fileName) {
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
    return true;
}

void SceneTexture::Bind() const {
    glBindTexture(GL_TEXTURE_2D, name());
}

bool SceneTexture::LoadBitmapFile(const std::string& fileName) {
    Create(fileName);
    lastPath_.reset();
    auto image =
        loadBmpFile(fileName, [](const BmpLayout&) { return currentGlCapabilities().maxTextureSize; });
    lastRefusal_ = refusalOf(image);
    return image && uploadWithin(*image, nullptr, {});
}

bool SceneTexture::loadPrepared(const std::string& fileName, const PreparedSnapshot& prepared,
                                const KeepGoing& keepGoing) {
    Create(fileName);
    lastPath_.reset();
    lastRefusal_ = refusalOf(prepared.image);
    return prepared.image && uploadWithin(*prepared.image, &prepared.smallerLevels, keepGoing);
}

bool SceneTexture::uploadWithin(const Picture& image, const std::vector<Picture>* smallerLevels,
                                const KeepGoing& keepGoing) {
    // Errors left by earlier calls are not ours (a lost context repeats its error, hence the bound).
    for (int i = 0; i < 16 && glGetError() != GL_NO_ERROR; ++i) {
    }
    try {
        if (!upload(image, std::nullopt, smallerLevels, keepGoing)) lastRefusal_ = BmpRefusal::Cancelled;
    } catch (const std::bad_alloc&) {
        lastRefusal_ = BmpRefusal::OutOfMemory;
        return false;
    }
    // A level the GL found no room for leaves the texture incomplete: the floor shows white.
    for (GLenum error = glGetError(), i = 0; error != GL_NO_ERROR && i < 16; error = glGetError(), ++i)
        if (error == GL_OUT_OF_MEMORY) lastRefusal_ = BmpRefusal::OutOfMemory;
    return lastRefusal_ == BmpRefusal::None;
}

bool SceneTexture::upload(const Picture& image, std::optional<MipmapPath> forced,
                          const std::vector<Picture>* smallerLevels, const KeepGoing& keepGoing) {
    width_ = image.width;
    height_ = image.height;
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    MipmapPath path = forced.value_or(chooseMipmapPath(currentGlCapabilities(), image.width, image.height));
    if (path == MipmapPath::CpuLevels && smallerLevels && !smallerLevels->empty()) {
        if (!uploadLevel(0, image, keepGoing)) return false;
        GLint level = 1;
        for (const Picture& smaller : *smallerLevels)
            if (!uploadLevel(level++, smaller, keepGoing)) return false;
    } else if (path == MipmapPath::CpuLevels) {
        const Picture* source = &image;
        Picture smaller;
        for (GLint level = 0;; ++level) {
            if (!uploadLevel(level, *source, keepGoing)) return false;
            if (source->width == 1 && source->height == 1) break;
            smaller = halveImage(*source);
            source = &smaller;
        }
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

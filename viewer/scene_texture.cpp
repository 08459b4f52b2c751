#include "viewer/scene_texture.h"

#include "viewer/mipmap_levels.h"

#include <GL/gl.h>
#include <GL/glu.h>

namespace mirevo::viewer {

namespace {
void uploadLevel(GLint level, const BmpImage& image) {
    glTexImage2D(GL_TEXTURE_2D, level, GL_RGB8, image.width, image.height, 0, GL_BGR, GL_UNSIGNED_BYTE,
                 image.pixels.data());
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
    auto image = loadBmpFile(fileName);
    lastRefusal_ = image.refusal;
    if (!image) return false;
    upload(*image.value);
    return true;
}

bool SceneTexture::loadPrepared(const std::string& fileName, const PreparedSnapshot& prepared) {
    Create(fileName);
    lastPath_.reset();
    lastRefusal_ = prepared.image.refusal;
    if (!prepared.image) return false;
    upload(*prepared.image.value, std::nullopt, &prepared.smallerLevels);
    return true;
}

void SceneTexture::upload(const BmpImage& image, std::optional<MipmapPath> forced,
                          const std::vector<BmpImage>* smallerLevels) {
    width_ = image.width;
    height_ = image.height;
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_SKIP_ROWS, 0);
    glPixelStorei(GL_UNPACK_SKIP_PIXELS, 0);
    MipmapPath path = forced.value_or(chooseMipmapPath(currentGlCapabilities(), image.width, image.height));
    if (path == MipmapPath::CpuLevels && smallerLevels && !smallerLevels->empty()) {
        uploadLevel(0, image);
        GLint level = 1;
        for (const BmpImage& smaller : *smallerLevels)
            uploadLevel(level++, smaller);
    } else if (path == MipmapPath::CpuLevels) {
        const BmpImage* source = &image;
        BmpImage smaller;
        for (GLint level = 0;; ++level) {
            uploadLevel(level, *source);
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
}

} // namespace mirevo::viewer

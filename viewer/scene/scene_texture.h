#pragma once
// SceneTexture: the one texture the floor shows, made from the snapshot. Holds its GL name while it lives;
// the GL context must be current for every call.
#include <functional>
#include <optional>
#include <string>

#include "common/result.h"
#include "viewer/picture/bmp_reader.h"
#include "viewer/scene/mipmap_path.h"
#include "viewer/picture/snapshot_preload.h"

namespace mirevo::viewer {

// Asked between the bands of rows of a large upload: false abandons it (the viewer is ending).
using KeepGoing = std::function<bool()>;

class SceneTexture {
public:
    SceneTexture() = default;
    ~SceneTexture() { Release(); }
    SceneTexture(const SceneTexture&) = delete;
    SceneTexture& operator=(const SceneTexture&) = delete;

    // Deletes the texture name, if any.
    void Release();
    // A fresh, bound texture name with repeat wrapping and linear mipmap filtering, no image yet.
    void Create(const std::string& fileName);
    void Bind() const;
    // Creates the texture and gives it the snapshot read (and its smaller levels averaged, where they are wanted)
    // beforehand. Why not, with the texture left without an image (the floor then shows white), when the file
    // was refused, finds no room, or keepGoing abandoned the upload (Cancelled).
    Result<void, BmpRefusal> loadPrepared(const std::string& fileName, const PreparedSnapshot& prepared,
                                          const KeepGoing& keepGoing = {});
    // Gives the bound texture the image and its mipmap chain, by the path the context allows or the one asked
    // for; smaller levels already averaged are used where the chain is built here.
    // False when keepGoing abandoned it.
    bool upload(const Picture& image, std::optional<MipmapPath> forced = std::nullopt,
                const RgbaLevels* smallerLevels = nullptr, const KeepGoing& keepGoing = {});

    unsigned name() const { return handle_ ? handle_ - 1 : 0; }
    bool empty() const { return handle_ == 0; }
    int width() const { return width_; }
    int height() const { return height_; }
    const std::string& fileName() const { return fileName_; }
    std::optional<MipmapPath> lastPath() const { return lastPath_; }

private:
    // upload() without ever throwing: no room for the image, here or in the GL, refuses it as OutOfMemory.
    Result<void, BmpRefusal> uploadWithin(const Picture& image, const RgbaLevels* smallerLevels,
                                          const KeepGoing& keepGoing);

    unsigned handle_ = 0; // the GL name plus one; 0 while the holder owns no texture
    int width_ = 0, height_ = 0;
    std::string fileName_;
    std::optional<MipmapPath> lastPath_;
};

// What the current context offers for building the mipmap chain.
GlCapabilities currentGlCapabilities();
// Whether a context with these capabilities is given the smaller levels of a picture (the path of
// upload()'s own choice), for the snapshot read ahead: a GL that builds its own needs none.
LevelsWanted levelsWantedBy(const GlCapabilities& caps);

} // namespace mirevo::viewer

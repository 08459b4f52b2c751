// The scene and its texture in a real GL context (Mesa llvmpipe on a private Xvfb).
#include <gtest/gtest.h>

#include <memory>

#include <GL/gl.h>

#include "tests/harness/temp_dir.h"
#include "tests/harness/test_bitmap.h"
#include "tests/harness/xvfb.h"
#include "tests/viewer/gl_test_context.h"
#include "tests/viewer/scene_math.h"
#include "viewer/scene/gl_scene.h"
#include "viewer/scene/scene_texture.h"
#include "viewer/picture/snapshot_preload.h"

using namespace mirevo::viewer;
using namespace mirevo::test;

namespace {

class SceneGl : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        server_ = std::make_unique<Xvfb>(320, 240);
        context_ = std::make_unique<GlTestContext>(server_->display(), 64, 64);
    }
    static void TearDownTestSuite() {
        context_.reset();
        server_.reset();
    }
    void SetUp() override {
        ASSERT_TRUE(server_->ok());
        ASSERT_TRUE(context_->ok()) << context_->error();
    }

    std::string write(const std::string& name, const std::vector<uint8_t>& bytes) {
        std::string path = folder_ / name;
        EXPECT_TRUE(writeFile(path, bytes));
        return path;
    }
    // The file read as the viewer reads it ahead, then given to the texture.
    static mirevo::Result<void, BmpRefusal> load(SceneTexture& texture, const std::string& path) {
        return texture.loadPrepared(path, prepareSnapshot(path));
    }

    static inline std::unique_ptr<Xvfb> server_;
    static inline std::unique_ptr<GlTestContext> context_;
    TempDir folder_;
};

GLint levelWidth(int level) {
    GLint width = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_WIDTH, &width);
    return width;
}
GLint levelHeight(int level) {
    GLint height = 0;
    glGetTexLevelParameteriv(GL_TEXTURE_2D, level, GL_TEXTURE_HEIGHT, &height);
    return height;
}

// Level 0 of the bound texture as blue-green-red rows packed to 4 bytes, like the file.
std::vector<uint8_t> levelZero(int width, int height) {
    std::vector<uint8_t> pixels(bmpRowBytes(width) * height);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glGetTexImage(GL_TEXTURE_2D, 0, GL_BGR, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

Rgb gradient(int x, int y) {
    return {uint8_t(x * 5), uint8_t(y * 60), uint8_t(255 - x)};
}

} // namespace

TEST_F(SceneGl, EveryPathUploadsTheWholePictureAsAFullRepeatingMipmappedTexture) {
    auto bytes = makeBmp(1023, 3, gradient, 0, false); // rows of 3069 bytes padded to 3072
    auto image = parseBmp(bytes.data(), bytes.size());
    ASSERT_TRUE(image);
    for (MipmapPath path : {MipmapPath::Glu, MipmapPath::GlGenerate, MipmapPath::CpuLevels}) {
        SCOPED_TRACE(describe(path));
        SceneTexture texture;
        texture.Create("test");
        texture.upload(*image, path);
        EXPECT_EQ(texture.lastPath(), path);
        GLint wrapS = 0, wrapT = 0, mag = 0, min = 0;
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, &wrapS);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, &wrapT);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, &mag);
        glGetTexParameteriv(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, &min);
        EXPECT_EQ(wrapS, GL_REPEAT);
        EXPECT_EQ(wrapT, GL_REPEAT);
        EXPECT_EQ(mag, GL_LINEAR);
        EXPECT_EQ(min, GL_LINEAR_MIPMAP_LINEAR);

        GLint format = 0;
        glGetTexLevelParameteriv(GL_TEXTURE_2D, 0, GL_TEXTURE_INTERNAL_FORMAT, &format);
        // Levels averaged here go up as opaque RGBA, the layout a software GL copies without converting.
        if (path == MipmapPath::CpuLevels)
            EXPECT_EQ(format, GL_RGBA8) << std::hex << format;
        else
            EXPECT_TRUE(format == GL_RGB8 || format == GL_RGB || format == 3) << std::hex << format;
        // Every level down to 1 x 1 is there, or the texture would be incomplete and the floor white.
        int level = 0;
        while (levelWidth(level) > 1 || levelHeight(level) > 1) {
            ASSERT_GT(levelWidth(level + 1), 0) << "level " << level + 1 << " missing";
            ++level;
        }
        if (path == MipmapPath::Glu) {
            EXPECT_EQ(levelWidth(0), 1024); // scaled to power-of-two sides
            EXPECT_EQ(levelHeight(0), 4);
            EXPECT_EQ(level, 10);
        } else {
            EXPECT_EQ(levelWidth(0), 1023);
            EXPECT_EQ(levelHeight(0), 3);
            EXPECT_EQ(level, 9);
            EXPECT_EQ(levelZero(1023, 3), image->pixels) << "rows read back differ from the file's";
        }
    }
}

TEST_F(SceneGl, LoadingSkipsAColourTableAndRefusedFilesLeaveNoImage) {
    SceneTexture texture;
    std::string good = write("good.bmp", makeBmp(6, 4, gradient, 1024));
    ASSERT_TRUE(load(texture, good));
    EXPECT_EQ(texture.fileName(), good);
    EXPECT_EQ(levelWidth(0), 6);
    auto expected = parseBmp(makeBmp(6, 4, gradient).data(), bmpRowBytes(6) * 4 + 54);
    ASSERT_TRUE(expected);
    EXPECT_EQ(levelZero(6, 4), expected->pixels);

    auto truncated = makeBmp(6, 4, gradient);
    truncated.pop_back();
    for (const auto& [name, bytes] : std::vector<std::pair<std::string, std::vector<uint8_t>>>{
             {"truncated.bmp", truncated}, {"text.bmp", {'h', 'e', 'l', 'l', 'o'}}}) {
        EXPECT_FALSE(load(texture, write(name, bytes))) << name;
        EXPECT_FALSE(texture.empty()) << "a texture name exists even without an image";
        EXPECT_EQ(levelWidth(0), 0) << name;
    }
    const auto missing = load(texture, folder_ / "missing.bmp");
    ASSERT_FALSE(missing);
    EXPECT_EQ(missing.reason(), BmpRefusal::CannotOpen);
}

TEST_F(SceneGl, ASecondLoadDeletesTheFirstTextureName) {
    std::string path = write("a.bmp", makeBmp(8, 8, gradient));
    GLuint first = 0;
    {
        SceneTexture texture;
        ASSERT_TRUE(load(texture, path));
        first = texture.name();
        ASSERT_TRUE(glIsTexture(first));
        // The second load may be given the freed name again, but never the old texture object: a refused file
        // leaves the new one without an image.
        EXPECT_FALSE(load(texture, folder_ / "missing.bmp"));
        if (texture.name() != first) {
            EXPECT_FALSE(glIsTexture(first));
        }
        texture.Bind();
        EXPECT_EQ(levelWidth(0), 0);
        GLuint second = texture.name();
        texture.Release();
        EXPECT_TRUE(texture.empty());
        EXPECT_FALSE(glIsTexture(second));
        texture.Release(); // nothing left to release
    }
    EXPECT_FALSE(glIsTexture(first));
}

TEST_F(SceneGl, TheFloorTransformIsTiltDriftSpinLoweringOverTheEyeTranslation) {
    SceneTexture texture;
    // No snapshot: the scene is set up all the same, with a white floor.
    EXPECT_FALSE(InitScene(1024, 768, texture, "", prepareSnapshot("")));
    GLfloat projection[16];
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    Mat4 expectedProjection = perspective(55, 1024.0 / 768.0, 1, 20);
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(projection[i], expectedProjection.m[i], 1e-5) << "projection " << i;

    struct Case {
        double t;
        double dt;
    };
    const Case frames[] = {{0, 0}, {0, 0.5}, {1.7, 3.2}, {6.28, 7}, {31.4, 12.5}, {604800.25, 1.0 / 60}};
    SceneMotion motion;
    for (const Case& c : frames) {
        FramePose pose = motion.step(c.t, c.dt);
        glPushMatrix();
        applyFloorTransform(pose);
        GLfloat modelView[16];
        glGetFloatv(GL_MODELVIEW_MATRIX, modelView);
        glPopMatrix();
        Mat4 expected = floorModelView(c.t, motion.spinAngle());
        for (int i = 0; i < 16; ++i)
            EXPECT_NEAR(modelView[i], expected.m[i], 2e-5) << "t=" << c.t << " element " << i;
    }
    // A frame leaves only the eye translation on the stack.
    DrawScene(motion.step(2, 0.1), texture);
    GLfloat after[16];
    glGetFloatv(GL_MODELVIEW_MATRIX, after);
    Mat4 eye = translation(0, 0, -3);
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(after[i], eye.m[i], 1e-6);

    // A later size notification changes the viewport but not the projection; height 0 counts as 1.
    setViewport(640, 0);
    GLint viewport[4];
    glGetIntegerv(GL_VIEWPORT, viewport);
    EXPECT_EQ(viewport[2], 640);
    EXPECT_EQ(viewport[3], 1);
    glGetFloatv(GL_PROJECTION_MATRIX, projection);
    for (int i = 0; i < 16; ++i)
        EXPECT_NEAR(projection[i], expectedProjection.m[i], 1e-5);
}

TEST_F(SceneGl, ASnapshotReadAheadGivesTheSameTextureAsReadingItAtSetUp) {
    std::string path = write("ahead.bmp", makeBmp(37, 21, gradient));
    SnapshotPreload preload(path);
    PreparedSnapshot prepared = preload.take();
    ASSERT_TRUE(prepared.image);
    EXPECT_EQ(prepared.smallerLevels.size(), 5u); // 18x10, 9x5, 4x2, 2x1, 1x1
    auto levels = [](SceneTexture& texture) {
        texture.Bind();
        std::vector<std::vector<uint8_t>> all;
        for (int level = 0; levelWidth(level) > 0; ++level) {
            std::vector<uint8_t> pixels(bmpRowBytes(levelWidth(level)) * levelHeight(level));
            glGetTexImage(GL_TEXTURE_2D, level, GL_BGR, GL_UNSIGNED_BYTE, pixels.data());
            all.push_back(std::move(pixels));
        }
        return all;
    };
    SceneTexture ahead, atSetUp;
    ASSERT_TRUE(ahead.loadPrepared(path, prepared));
    // Read at set-up: the image alone, its levels built by the upload.
    ASSERT_TRUE(atSetUp.loadPrepared(path, {prepareSnapshot(path).image, {}}));
    ASSERT_EQ(ahead.lastPath(), atSetUp.lastPath());
    auto aheadLevels = levels(ahead);
    EXPECT_EQ(aheadLevels.size(), atSetUp.lastPath() == MipmapPath::Glu ? 7u : 6u);
    EXPECT_EQ(aheadLevels, levels(atSetUp));

    SnapshotPreload missing(folder_ / "missing.bmp");
    PreparedSnapshot none = missing.take();
    EXPECT_TRUE(none.smallerLevels.empty());
    EXPECT_FALSE(ahead.loadPrepared(missing.path(), none));
    EXPECT_EQ(levelWidth(0), 0);
}

namespace {

// The window's back buffer as red-green-blue rows.
std::vector<uint8_t> frameDrawn(int width, int height) {
    std::vector<uint8_t> pixels(size_t(width) * height * 3);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glReadBuffer(GL_BACK);
    glReadPixels(0, 0, width, height, GL_RGB, GL_UNSIGNED_BYTE, pixels.data());
    return pixels;
}

} // namespace

// What the hack leaves out to spare the processor must not show: the same frame at the same clock matches the
// frame drawn as the saver's viewer draws it. A flat quad hides nothing of itself and its colour is white, so
// they match exactly.
TEST(SceneFrames, TheHacksFrameMatchesTheViewersAtTheSameClock) {
    constexpr int kWidth = 480, kHeight = 300;
    constexpr int kTolerance = 0; // largest difference of one colour channel
    Xvfb server(kWidth, kHeight);
    ASSERT_TRUE(server.ok());
    GlTestContext context(server.display(), kWidth, kHeight);
    ASSERT_TRUE(context.ok()) << context.error();
    // Fine detail, so that the levels the floor is sampled from matter.
    auto bytes = makeBmp(640, 400, [](int x, int y) {
        return Rgb{uint8_t((x * 7) ^ (y * 3)), uint8_t(x + y), uint8_t((x / 8 + y / 8) % 2 ? 230 : 20)};
    });
    auto image = parseBmp(bytes.data(), bytes.size());
    ASSERT_TRUE(image);
    SceneTexture texture;
    const PreparedSnapshot prepared{BmpResult<Picture>(std::move(*image)), {}};
    ASSERT_TRUE(InitScene(kWidth, kHeight, texture, "test", prepared));

    auto draw = [&](double t, double dt, bool asTheHack) {
        SceneMotion motion;
        motion.step(0, 0);
        const FramePose pose = motion.step(t, dt);
        if (asTheHack) {
            drawLean();
        } else {
            glEnable(GL_DEPTH_TEST);
            glTexEnvi(GL_TEXTURE_ENV, GL_TEXTURE_ENV_MODE, GL_MODULATE);
        }
        DrawScene(pose, texture);
        glFinish();
        return frameDrawn(kWidth, kHeight);
    };
    for (const double t : {0.0, 1.7, 6.28, 31.4}) {
        SCOPED_TRACE("t=" + std::to_string(t));
        const auto viewers = draw(t, t, false), hacks = draw(t, t, true);
        ASSERT_EQ(viewers.size(), hacks.size());
        int worst = 0;
        size_t floorPixels = 0;
        for (size_t i = 0; i < viewers.size(); ++i) {
            worst = std::max(worst, std::abs(int(viewers[i]) - int(hacks[i])));
            floorPixels += viewers[i] != 0;
        }
        EXPECT_GT(floorPixels, viewers.size() / 10) << "the floor is not in the picture";
        EXPECT_LE(worst, kTolerance);
    }
}

// The black frame drawn while the hack waits for its picture leaves nothing behind: the frames that follow
// are those of a context that never drew it.
TEST(SceneFrames, APrimedContextDrawsTheSameFramesAsAFreshOne) {
    constexpr int kWidth = 320, kHeight = 200;
    Xvfb server(kWidth, kHeight);
    ASSERT_TRUE(server.ok());
    auto bytes = makeBmp(300, 170, [](int x, int y) {
        return Rgb{uint8_t((x * 5) ^ (y * 11)), uint8_t(2 * x + y), uint8_t((x / 4 + y / 4) % 2 ? 200 : 40)};
    });
    const double clocks[] = {0.0, 2.5, 17.0};
    std::vector<std::vector<uint8_t>> frames[2];
    for (const bool primed : {false, true}) {
        GlTestContext context(server.display(), kWidth, kHeight);
        ASSERT_TRUE(context.ok()) << context.error();
        if (primed) {
            primeScene(kWidth, kHeight);
            glFinish();
        }
        auto image = parseBmp(bytes.data(), bytes.size());
        ASSERT_TRUE(image);
        SceneTexture texture;
        ASSERT_TRUE(InitScene(kWidth, kHeight, texture, "test", {BmpResult<Picture>(std::move(*image)), {}}));
        drawLean();
        for (const double t : clocks) {
            SceneMotion motion;
            motion.step(0, 0);
            DrawScene(motion.step(t, t), texture);
            glFinish();
            frames[primed].push_back(frameDrawn(kWidth, kHeight));
        }
    }
    for (size_t i = 0; i < std::size(clocks); ++i) {
        SCOPED_TRACE("t=" + std::to_string(clocks[i]));
        const auto& fresh = frames[0][i];
        EXPECT_GT(size_t(std::count_if(fresh.begin(), fresh.end(), [](uint8_t v) { return v != 0; })),
                  fresh.size() / 10)
            << "the floor is not in the picture";
        EXPECT_TRUE(fresh == frames[1][i]);
    }
}

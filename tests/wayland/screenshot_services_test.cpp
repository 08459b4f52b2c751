// The desktop picture from the session bus (KWin's screenshot service, the desktop portal with its permission
// store) against stand-ins on a private bus, beside the tests' own compositor whose output bounds what KWin is
// believed: the picture when they give one, a reason within the deadline when they refuse, stay silent, are
// missing, hand over black, announce too much or name a file that never ends; the portal asked only with a
// stored yes, its own file removed once read.
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>

#include <sys/stat.h>

#include <QCoreApplication>
#include <QImage>
#include <gtest/gtest.h>

#include "saver/session/picture_sources.h"
#include "saver/session/qt_screenshot_services.h"
#include "tests/harness/child_process.h"
#include "tests/harness/dbus_session.h"
#include "tests/harness/poll.h"
#include "tests/harness/programs.h"
#include "tests/harness/temp_dir.h"
#include "tests/session/picture_compositor.h"

namespace mirevo::test {
namespace {

using namespace std::chrono_literals;

// One bus for the whole program (Qt keeps its first session-bus connection), where no installed portal or
// KWin is started on demand.
DBusSession& bus() {
    static DBusSession session({}, DBusSession::Activation::Off);
    return session;
}

// The desktop's one output, 4 x 2 (no screen copy: the bus is where the picture comes from).
PictureCompositor& compositor() {
    static PictureCompositor running({"--copy", "none", "--mode", "4x2"});
    return running;
}

class BusScreenshots : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(bus().ok());
        setenv("DBUS_SESSION_BUS_ADDRESS", bus().address().c_str(), 1);
        ASSERT_TRUE(compositor().ok()) << compositor().process().errors();
        compositor().becomeClient();
    }
    // The stand-in in the given mode, once its names are taken; a portal with the permission store holding
    // store ("yes", "no", "none").
    std::unique_ptr<ChildProcess> fake(const std::string& mode, const std::string& store = "yes",
                                       const std::string& file = "shot.png") {
        std::vector<std::string> argv{std::string(MIREVO_FAKE_SERVICES), mode, folder / file};
        if (mode.rfind("portal", 0) == 0) argv.insert(argv.end(), {"--store", store});
        auto process = std::make_unique<ChildProcess>(
            argv,
            std::map<std::string, std::optional<std::string>>{{"DBUS_SESSION_BUS_ADDRESS", bus().address()},
                                                              {"QT_QPA_PLATFORM", "offscreen"}});
        EXPECT_TRUE(pollUntil(20s, [&] { return process->output() == "ready\n" || !process->running(); }))
            << process->errors();
        return process;
    }
    // Takes a picture from the source with a deadline of limit; how long it took.
    Result<ComposedPicture, std::string> take(const PictureSource& source, std::chrono::milliseconds limit,
                                              std::chrono::milliseconds& took) {
        const auto start = std::chrono::steady_clock::now();
        auto result = source.take(start + limit);
        took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
        return result;
    }

    TempDir folder;
};

constexpr uint32_t kBlue = 0x0000FF, kYellow = 0xFFFF00;

TEST_F(BusScreenshots, KWinsRawPictureIsReadFromThePipeWithoutTheCursor) {
    auto kwin = fake("kwin");
    std::chrono::milliseconds took{};
    const auto picture = take(kwinScreenShotSource(), 10s, took);
    ASSERT_TRUE(picture.ok()) << picture.reason() << kwin->errors();
    ASSERT_EQ(picture->width(), 4);
    ASSERT_EQ(picture->height(), 2);
    EXPECT_EQ(picture->at(0, 1), kBlue);
    EXPECT_EQ(picture->at(3, 0), kYellow);
    EXPECT_NE(kwin->errors().find("include-cursor=false"), std::string::npos) << kwin->errors();
}

TEST_F(BusScreenshots, ThePortalsFileIsReadWithoutAskingInteractively) {
    QImage image(3, 1, QImage::Format_RGB32);
    image.setPixel(0, 0, 0xFF0000FF), image.setPixel(1, 0, 0xFFFFFF00), image.setPixel(2, 0, 0xFFFFFF00);
    ASSERT_TRUE(image.save(QString::fromStdString(folder / "shot.png")));
    auto portal = fake("portal");
    std::chrono::milliseconds took{};
    const auto picture = take(portalScreenshotSource(), 10s, took);
    ASSERT_TRUE(picture.ok()) << picture.reason() << portal->errors();
    ASSERT_EQ(picture->width(), 3);
    EXPECT_EQ(picture->at(0, 0), kBlue);
    EXPECT_EQ(picture->at(2, 0), kYellow);
    EXPECT_NE(portal->errors().find("interactive=false"), std::string::npos) << portal->errors();
    // A file of another name is not the portal's own: it stays.
    EXPECT_TRUE(std::filesystem::exists(folder / "shot.png"));
}

// The file the portal made for this request goes once it is read; nothing else does.
TEST_F(BusScreenshots, ThePortalsOwnScreenshotFileIsRemovedOnceRead) {
    QImage image(2, 1, QImage::Format_RGB32);
    image.fill(0xFF0000FF);
    ASSERT_TRUE(image.save(QString::fromStdString(folder / "shot.png")));
    auto portal = fake("portal-fresh");
    std::chrono::milliseconds took{};
    const auto picture = take(portalScreenshotSource(), 10s, took);
    ASSERT_TRUE(picture.ok()) << picture.reason() << portal->errors();
    EXPECT_EQ(picture->at(1, 0), kBlue);
    EXPECT_FALSE(std::filesystem::exists(folder / "Screenshot from 1.png"));
    EXPECT_TRUE(std::filesystem::exists(folder / "shot.png"));
}

// Without a stored yes the portal is never asked (GNOME's would ask the user, who is away): the source fails
// at once, saying where to allow it.
TEST_F(BusScreenshots, ThePortalIsNotAskedWithoutAStoredYes) {
    for (const char* store : {"none", "no"}) {
        auto portal = fake("portal", store);
        std::chrono::milliseconds took{};
        const auto picture = take(portalScreenshotSource(), 10s, took);
        ASSERT_FALSE(picture.ok()) << store;
        EXPECT_EQ(picture.reason(), kPortalNotAllowed);
        EXPECT_LT(took, 3s);
        EXPECT_NE(portal->errors().find("Lookup screenshot screenshot"), std::string::npos) << portal->errors();
        EXPECT_EQ(portal->errors().find("Screenshot "), std::string::npos) << portal->errors();
    }
}

// A uri that names a FIFO nobody writes (or a device) is refused at once rather than waited on for good.
TEST_F(BusScreenshots, APictureFileThatNeverEndsIsRefusedAtOnce) {
    ASSERT_EQ(::mkfifo((folder / "fifo.png").c_str(), 0600), 0);
    for (const char* file : {"fifo.png", "/dev/zero"}) {
        auto portal = fake("portal", "yes", file[0] == '/' ? std::string("../../../../..") + file : file);
        std::chrono::milliseconds took{};
        const auto picture = take(portalScreenshotSource(), 10s, took);
        ASSERT_FALSE(picture.ok()) << file;
        EXPECT_NE(picture.reason().find("is not a regular file"), std::string::npos) << picture.reason();
        EXPECT_LT(took, 3s);
    }
}

// Two 6K screens side by side: a valid picture larger than Qt's default allocation limit is read, reduced to
// what the floor can show.
TEST_F(BusScreenshots, ABigDesktopsPictureIsReadReduced) {
    QImage image(12032, 3384, QImage::Format_RGB32);
    image.fill(0xFF0000FF);
    for (int y = 0; y < image.height(); ++y) {
        auto* row = reinterpret_cast<QRgb*>(image.scanLine(y));
        std::fill(row + image.width() / 2, row + image.width(), 0xFFFFFF00);
    }
    ASSERT_TRUE(image.save(QString::fromStdString(folder / "shot.png"), "png", 80));
    image = QImage();
    auto portal = fake("portal");
    std::chrono::milliseconds took{};
    const auto picture = take(portalScreenshotSource(), 60s, took);
    ASSERT_TRUE(picture.ok()) << picture.reason();
    ASSERT_EQ(picture->width(), 8192);
    ASSERT_EQ(picture->height(), 2304);
    EXPECT_EQ(picture->at(100, 100), kBlue);
    EXPECT_EQ(picture->at(8000, 2000), kYellow);
}

// An answer of 65535 x 65535 pixels with the pipe flooded: refused by the output's size before anything is
// read.
TEST_F(BusScreenshots, KWinsAnnouncementLargerThanTheOutputsIsRefusedUnread) {
    auto kwin = fake("kwin-flood");
    std::chrono::milliseconds took{};
    const auto picture = take(kwinScreenShotSource(), 10s, took);
    ASSERT_FALSE(picture.ok());
    EXPECT_NE(picture.reason().find("more than the outputs'"), std::string::npos) << picture.reason();
    EXPECT_LT(took, 5s);
}

// Where the portal would ask, the settings dialog offers the yes; once stored, it is no longer needed.
TEST_F(BusScreenshots, TheDialogsYesIsStoredForProgramsOutsideASandbox) {
    auto portal = fake("portal-silent", "none");
    EXPECT_TRUE(desktopPictureNeedsConsent(std::chrono::steady_clock::now() + 10s)) << portal->errors();
    const auto given = allowDesktopPicture(std::chrono::steady_clock::now() + 10s);
    ASSERT_TRUE(given.ok()) << given.reason();
    EXPECT_NE(portal->errors().find("SetPermission screenshot create screenshot \"\" yes"), std::string::npos)
        << portal->errors();
    EXPECT_FALSE(desktopPictureNeedsConsent(std::chrono::steady_clock::now() + 10s));
    EXPECT_EQ(portal->errors().find("Screenshot "), std::string::npos) << portal->errors();
}

struct Refusal {
    const char* mode; // "" for no service at all
    bool kwin;
    const char* why;
};

class BusScreenshotRefusal : public BusScreenshots, public ::testing::WithParamInterface<Refusal> {};

// Whatever the service does, the source answers within its deadline (and a little), with a reason.
TEST_P(BusScreenshotRefusal, IsAReasonWithinTheDeadline) {
    const Refusal& r = GetParam();
    std::unique_ptr<ChildProcess> service;
    if (*r.mode) service = fake(r.mode);
    std::chrono::milliseconds took{};
    const auto picture = take(r.kwin ? kwinScreenShotSource() : portalScreenshotSource(), 2s, took);
    EXPECT_LT(took, 4s);
    if (std::string(r.mode) == "kwin-black") {
        // Handed over as it is; the chain passes a black picture over.
        ASSERT_TRUE(picture.ok());
        EXPECT_TRUE(picture->allBlack());
        return;
    }
    ASSERT_FALSE(picture.ok());
    EXPECT_NE(picture.reason().find(r.why), std::string::npos) << picture.reason();
}

INSTANTIATE_TEST_SUITE_P(Table, BusScreenshotRefusal,
                         ::testing::Values(Refusal{"", true, ""}, Refusal{"", false, ""},
                                           Refusal{"kwin-silent", true, "no answer in time"},
                                           Refusal{"kwin-black", true, ""},
                                           Refusal{"portal-refused", false, "refused"},
                                           Refusal{"portal-silent", false, "no picture in time"}));

} // namespace
} // namespace mirevo::test

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}

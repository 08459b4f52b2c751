// The desktop picture from the session bus (KWin's screenshot service, the desktop portal) against stand-ins
// on a private bus: the picture when they give one, a reason within the deadline when they refuse, stay
// silent, are missing or hand over black.
#include <chrono>
#include <cstdlib>
#include <memory>

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

namespace mirevo::test {
namespace {

using namespace std::chrono_literals;

// One bus for the whole program (Qt keeps its first session-bus connection), where no installed portal or
// KWin is started on demand.
DBusSession& bus() {
    static DBusSession session({}, DBusSession::Activation::Off);
    return session;
}

class BusScreenshots : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        ASSERT_TRUE(bus().ok());
        setenv("DBUS_SESSION_BUS_ADDRESS", bus().address().c_str(), 1);
    }
    // The stand-in in the given mode, once its names are taken.
    std::unique_ptr<ChildProcess> fake(const std::string& mode) {
        auto process = std::make_unique<ChildProcess>(
            std::vector<std::string>{std::string(MIREVO_FAKE_SERVICES), mode, folder / "shot.png"},
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

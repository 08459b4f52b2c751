// The preview inside a host window made here, under a private X server: the picture at the host's top-left
// on black, the window a child of the host, and the program's end when the host or the preview goes.
// Run against a stand-in program that shows only the preview and, once it is built, against Mirevo.scr
// itself with both spellings of the switch.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <chrono>
#include <string>
#include <vector>

#include <QImage>
#include <X11/Xlib.h>

#include "tests/harness/child_process.h"
#include "tests/harness/poll.h"
#include "tests/harness/programs.h"
#include "tests/harness/temp_dir.h"
#include "tests/harness/x_client.h"
#include "tests/harness/xvfb.h"

using namespace mirevo::test;
using namespace std::chrono_literals;

namespace {

const std::array<uint8_t, 3> kBlack{0, 0, 0};
const std::array<uint8_t, 3> kHostColour{255, 0, 255};
constexpr int kTolerance = 8;

Image committedPicture() {
    QImage q(QString::fromUtf8(MIREVO_SOURCE_DIR "/saver/preview/resources/preview.png"));
    q = q.convertToFormat(QImage::Format_RGB888);
    Image image{q.width(), q.height(), {}};
    for (int y = 0; y < q.height(); ++y) {
        const uchar* row = q.constScanLine(y);
        image.rgb.insert(image.rgb.end(), row, row + q.width() * 3);
    }
    return image;
}

// A plain mapped window standing in for the display settings' preview area, magenta so that any part the
// preview leaves uncovered shows.
class HostWindow {
public:
    HostWindow(XClient& x, int width, int height) : x_(x) {
        id_ = XCreateSimpleWindow(x.display(), x.root(), 40, 30, width, height, 0, 0, 0xff00ff);
        XMapWindow(x.display(), id_);
        x.sync();
    }
    ~HostWindow() { destroy(); }
    HostWindow(const HostWindow&) = delete;
    HostWindow& operator=(const HostWindow&) = delete;

    Window id() const { return id_; }
    std::string decimal() const { return std::to_string(id_); }
    void destroy() {
        if (!id_) return;
        XDestroyWindow(x_.display(), id_);
        x_.sync();
        id_ = 0;
    }

private:
    XClient& x_;
    Window id_ = 0;
};

Window parentOf(XClient& x, Window window) {
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(x.display(), window, &root, &parent, &children, &count)) return 0;
    if (children) XFree(children);
    return parent;
}

bool mentionsError(const std::string& text) {
    std::string lower = text;
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    return lower.find("error") != std::string::npos || lower.find("badwindow") != std::string::npos;
}

// How many pixels of the host's screenshot differ from the picture at the top-left on black.
int mismatches(const Image& shot, const Image& picture) {
    int bad = 0;
    for (int y = 0; y < shot.height; ++y)
        for (int x = 0; x < shot.width; ++x) {
            auto want = x < picture.width && y < picture.height ? picture.at(x, y) : kBlack;
            if (colourDistance(shot.at(x, y), want) > kTolerance) ++bad;
        }
    return bad;
}

struct Program {
    const char* name;
    std::vector<std::string> (*command)(const std::string& host);
};

std::vector<std::string> probeCommand(const std::string& host) {
    return {PREVIEW_PROBE_PATH, host};
}
#ifdef MIREVO_HAVE_SCR
std::vector<std::string> scrSpaced(const std::string& host) {
    return {builtProgram("Mirevo.scr"), "/p", host};
}
std::vector<std::string> scrColon(const std::string& host) {
    return {builtProgram("Mirevo.scr"), "/p:" + host};
}
#endif

const Program kPrograms[] = {
    {"Probe", probeCommand},
#ifdef MIREVO_HAVE_SCR
    {"ScrSpaced", scrSpaced},
    {"ScrColon", scrColon},
#endif
};

class PreviewProgram : public ::testing::TestWithParam<Program> {
protected:
    void SetUp() override {
        ASSERT_TRUE(server_.ok());
        ASSERT_TRUE(x_.ok());
        ASSERT_FALSE(runtime_.path().empty());
    }
    std::unique_ptr<ChildProcess> start(const std::string& host) {
        return std::make_unique<ChildProcess>(
            GetParam().command(host),
            std::map<std::string, std::optional<std::string>>{{"DISPLAY", server_.display()},
                                                              {"QT_QPA_PLATFORM", "xcb"},
                                                              {"XDG_RUNTIME_DIR", runtime_.path()}});
    }

    Xvfb server_{640, 480};
    XClient x_{server_.display()};
    TempDir runtime_; // for XDG_RUNTIME_DIR, where a session started by a test leaves its snapshot
};

TEST_P(PreviewProgram, ShowsThePictureAtTheHostsTopLeftAndEndsWhenTheHostOrPreviewGoes) {
    const Image picture = committedPicture();
    ASSERT_EQ(picture.width, 152);
    ASSERT_EQ(picture.height, 112);
    enum class End { DestroyHost, DestroyPreview };
    struct Case {
        int width, height;
        End end;
    };
    const Case cases[] = {
        {152, 112, End::DestroyHost},    // filled exactly
        {300, 200, End::DestroyPreview}, // black to the right and below
        {100, 60, End::DestroyHost},     // the picture's top-left part
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "host " << c.width << " x " << c.height);
        HostWindow host(x_, c.width, c.height);
        auto program = start(host.decimal());

        Window preview = 0;
        ASSERT_TRUE(pollUntil(10s, [&] {
            preview = x_.findWindow("Preview Window");
            return preview && x_.mapped(preview);
        })) << program->errors();
        EXPECT_EQ(parentOf(x_, preview), host.id());
        auto placed = x_.geometry(preview);
        auto hostPlace = x_.geometry(host.id());
        ASSERT_TRUE(placed && hostPlace);
        EXPECT_EQ(placed->x, hostPlace->x);
        EXPECT_EQ(placed->y, hostPlace->y);
        EXPECT_EQ(placed->width, c.width);
        EXPECT_EQ(placed->height, c.height);

        std::optional<Image> shot;
        bool matched = pollUntil(5s, [&] {
            shot = x_.screenshot(host.id());
            return shot && mismatches(*shot, picture) == 0;
        });
        ASSERT_TRUE(shot);
        EXPECT_TRUE(matched) << mismatches(*shot, picture) << " pixels differ";

        if (c.end == End::DestroyHost) {
            host.destroy();
        } else {
            XDestroyWindow(x_.display(), preview);
            x_.sync();
        }
        EXPECT_EQ(program->waitExit(1000ms), 0) << "still running a second after the window went";
        EXPECT_FALSE(mentionsError(program->errors())) << program->errors();
    }
}

TEST_P(PreviewProgram, EndsAtOnceWhenThereIsNoHostToShowIn) {
    // An input-only window cannot hold a picture either.
    Window inputOnly =
        XCreateWindow(x_.display(), x_.root(), 0, 0, 50, 50, 0, 0, InputOnly, CopyFromParent, 0, nullptr);
    x_.sync();
    for (const std::string& host : std::vector<std::string>{"0", "99999999", std::to_string(inputOnly)}) {
        SCOPED_TRACE("host " + host);
        auto program = start(host);
        EXPECT_EQ(program->waitExit(10s), 0);
        EXPECT_EQ(x_.findWindow("Preview Window"), 0u);
        EXPECT_FALSE(mentionsError(program->errors())) << program->errors();
    }
}

TEST_P(PreviewProgram, AHostTooWideForTwipsGetsAnInvisiblePreviewThatStillEndsWithIt) {
    HostWindow host(x_, 2185, 100);
    auto program = start(host.decimal());
    const Window preview = x_.waitForWindow("Preview Window", 10s);
    ASSERT_NE(preview, 0u) << program->errors();
    EXPECT_FALSE(x_.mapped(preview));
    EXPECT_FALSE(program->waitExit(200ms)) << "ended while its host was still there";
    host.destroy();
    EXPECT_EQ(program->waitExit(1000ms), 0);
    EXPECT_FALSE(mentionsError(program->errors())) << program->errors();
}

#ifdef MIREVO_HAVE_SCR
// The preview window of the host, found among the host's own children.
Window previewIn(XClient& x, Window host) {
    Window root = 0, parent = 0, *children = nullptr;
    unsigned int count = 0;
    if (!XQueryTree(x.display(), host, &root, &parent, &children, &count)) return 0;
    Window found = 0;
    for (unsigned int i = 0; i < count && !found; ++i) {
        char* name = nullptr;
        if (XFetchName(x.display(), children[i], &name) && name) {
            if (std::string(name) == "Preview Window" && x.mapped(children[i])) found = children[i];
            XFree(name);
        }
    }
    if (children) XFree(children);
    return found;
}

TEST(PreviewInMirevoScr, ARunningPreviewRefusesNeitherAnotherPreviewNorASession) {
    Xvfb server(1024, 768);
    ASSERT_TRUE(server.ok());
    XClient x(server.display());
    ASSERT_TRUE(x.ok());
    TempDir runtime; // for XDG_RUNTIME_DIR, where the session leaves its snapshot
    const std::map<std::string, std::optional<std::string>> env{
        {"DISPLAY", server.display()}, {"QT_QPA_PLATFORM", "xcb"}, {"XDG_RUNTIME_DIR", runtime.path()}};
    const std::string scr = builtProgram("Mirevo.scr");

    HostWindow first(x, 152, 112), second(x, 200, 150);
    ChildProcess firstPreview({scr, "/p", first.decimal()}, env);
    ASSERT_TRUE(pollUntil(10s, [&] { return previewIn(x, first.id()) != 0; })) << firstPreview.errors();
    ChildProcess secondPreview({scr, "/p:" + second.decimal()}, env);
    EXPECT_TRUE(pollUntil(10s, [&] { return previewIn(x, second.id()) != 0; })) << secondPreview.errors();

    ChildProcess session({scr, "/s"}, env);
    EXPECT_NE(x.waitForWindow("Tovik_Main", 15s), 0u) << session.errors();
    // Clean up the way a user would: Escape in the viewer ends the session.
    if (pollUntil(15s, [&] { return x.findWindow("Tovik_VC") != 0 && x.mapped(x.findWindow("Tovik_VC")); })) {
        pollUntil(10s, [&] {
            x.sendKey("Escape");
            return session.waitExit(200ms).has_value();
        });
    }
    if (session.running()) session.terminate();

    EXPECT_TRUE(firstPreview.running());
    EXPECT_TRUE(secondPreview.running());
    first.destroy();
    second.destroy();
    EXPECT_EQ(firstPreview.waitExit(1000ms), 0);
    EXPECT_EQ(secondPreview.waitExit(1000ms), 0);
}
#endif

INSTANTIATE_TEST_SUITE_P(Programs, PreviewProgram, ::testing::ValuesIn(kPrograms),
                         [](const auto& info) { return std::string(info.param.name); });

} // namespace

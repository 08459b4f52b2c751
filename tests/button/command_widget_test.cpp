// The Command button as a person sees and clicks it: real widgets on a private X server, their faces read
// back from the screen, clicks through Qt's test events and through XTest.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFontInfo>
#include <QSignalSpy>
#include <QTest>

#include "saver/button/command.h"
#include "saver/button/face_painter.h"
#include "tests/harness/qt_on_xvfb.h"

namespace mirevo {
namespace {

using namespace test;

QtOnXvfb* qtEnv = QtOnXvfb::install("command_widget", 640, 240);

std::array<uint8_t, 3> rgb(uint32_t c) {
    return {uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)};
}

// The dialog's two sizes, loaded as the dialog loads them, on a silver window that has the focus.
struct ButtonWindow : testing::Test {
    QWidget host;
    Command* big = new Command(&host);
    Command* small = new Command(&host);

    void SetUp() override {
        host.setFixedSize(300, 100);
        host.setStyleSheet("background: #c0c0c0");
        for (auto [button, caption, rect] : {std::tuple{big, "設定", QRect(20, 20, 77, 25)},
                                             std::tuple{small, "...", QRect(140, 22, 41, 21)}}) {
            ButtonProperties stored;
            stored.set("caption", caption);
            stored.setFont("font", {"ＭＳ Ｐゴシック", 9.75, 400, false, false, false, 128});
            button->Load(stored);
            button->setGeometry(rect);
        }
        big->Initialize();
        small->Initialize();
        // The focus starts on the window itself, as the dialog's starts on its track list.
        host.setFocusPolicy(Qt::StrongFocus);
        host.setFocus();
        qtEnv->x->movePointer(600, 200); // away from the window
        host.show();
        host.activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(&host));
    }

    std::optional<Image> shot(Command* button) {
        qtEnv->x->sync();
        auto whole = qtEnv->x->screenshot(host.winId());
        if (!whole) return std::nullopt;
        Image part{button->width(), button->height(), {}};
        part.rgb.resize(size_t(part.width) * part.height * 3);
        for (int y = 0; y < part.height; ++y)
            for (int x = 0; x < part.width; ++x)
                part.set(x, y, whole->at(button->x() + x, button->y() + y));
        return part;
    }
    // Waits until the screen shows the button with this colour at (x, y); the last picture, or nullopt.
    std::optional<Image> waitFor(Command* button, int x, int y, uint32_t colour) {
        std::optional<Image> image;
        if (!QTest::qWaitFor([&] { return (image = shot(button)) && image->at(x, y) == rgb(colour); }, 3000))
            ADD_FAILURE() << "the face never showed colour " << std::hex << colour;
        return image;
    }
    // The screen shows the face painted with this skin pixel for pixel, and black caption text inside the
    // label only, its first row at most `lowestFirstRow` rows below the label's top ("設定" reaches the top,
    // "..." sits on the base line).
    void expectFace(const Image& shown, Skin skin, bool reversed, int lowestFirstRow) {
        const int w = shown.width, h = shown.height, top = captionTop(h);
        std::vector<uint32_t> pixels(size_t(w) * h);
        FaceCanvas canvas{pixels.data(), w, h, w};
        paintFacePixels(canvas, skin, reversed);
        int firstTextRow = -1, wrong = 0;
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                int d = colourDistance(shown.at(x, y), rgb(pixels[size_t(y) * w + x]));
                bool inCaption = y >= top && y < top + kCaptionHeight && x >= 4 && x < w - 4;
                if (!inCaption && d != 0) ++wrong;
                if (inCaption && d > 96 && firstTextRow < 0) firstTextRow = y;
            }
        EXPECT_EQ(wrong, 0) << "pixels outside the caption that differ from the face";
        EXPECT_GE(firstTextRow, top);
        EXPECT_LE(firstTextRow, top + lowestFirstRow);
    }
    QPoint centreOnScreen(Command* button) { return button->mapToGlobal(button->rect().center()); }
    void pointerTo(QPoint p) { qtEnv->x->movePointer(p.x(), p.y()); }
};

TEST_F(ButtonWindow, FacesShowTheSkinBorderAroundTheGradientAndTheCaption) {
    // The dialog's buttons: the top and bottom pieces stretched from 56 to 69 pixels and squeezed to 33, the
    // sides kept at 17 or squeezed to 13, the corners as they are; the light-topped gradient inside.
    for (Command* button : {big, small}) {
        auto face = waitFor(button, button->width() / 2, 2, 0xF3F3EE); // Normal's row under the frame
        ASSERT_TRUE(face);
        expectFace(*face, Skin::Normal, false, button == big ? 2 : kCaptionHeight - 1);
    }
    // The dialogs' "ＭＳ Ｐゴシック" is drawn as IPA P Gothic.
    EXPECT_EQ(QFontInfo(big->Font()).family(), "IPAPGothic");
    // Hot: the warm glow, and the gradient upside down.
    pointerTo(centreOnScreen(big));
    auto hot = waitFor(big, 38, 2, 0xFFF0CF);
    ASSERT_TRUE(hot);
    EXPECT_EQ(big->State(), ButtonState::Hot);
    expectFace(*hot, Skin::HighLight, true, 2);
    // The pointer leaving is noticed by the poll.
    pointerTo({600, 200});
    EXPECT_TRUE(waitFor(big, 38, 2, 0xF3F3EE));
}

// Counts the ticks of a widget's timers as they arrive.
struct TickCounter : QObject {
    int ticks = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::Timer) ++ticks;
        return false;
    }
};

TEST_F(ButtonWindow, TheHoverLookStaysWhileThePointerRestsOnTheButton) {
    TickCounter polls;
    big->installEventFilter(&polls);
    // On the caption in the middle, and on the face near a corner.
    for (QPoint at : {big->rect().center(), QPoint(3, 3), QPoint(big->width() - 4, big->height() - 4)}) {
        SCOPED_TRACE(at.x());
        pointerTo(big->mapToGlobal(at));
        ASSERT_TRUE(waitFor(big, 38, 2, 0xFFF0CF));
        const int before = polls.ticks;
        // Three ticks of the poll, or the look dropped (which stops the poll).
        EXPECT_TRUE(QTest::qWaitFor(
            [&] { return polls.ticks >= before + 3 || big->State() != ButtonState::Hot; }, 5000));
        EXPECT_EQ(big->State(), ButtonState::Hot) << "the poll dropped the hover look";
        EXPECT_EQ(shot(big)->at(38, 2), rgb(0xFFF0CF));
        pointerTo({600, 200});
        ASSERT_TRUE(waitFor(big, 38, 2, 0xF3F3EE));
    }
}

TEST_F(ButtonWindow, ClickRaisesClickOnceAndDragOffRaisesNone) {
    QSignalSpy bigClicks(big, &Command::Click), smallClicks(small, &Command::Click);
    pointerTo(centreOnScreen(big));
    ASSERT_TRUE(waitFor(big, 38, 2, 0xFFF0CF));
    QTest::mouseClick(big, Qt::LeftButton, {}, big->rect().center());
    EXPECT_EQ(bigClicks.count(), 1);
    EXPECT_TRUE(big->hasFocus());
    EXPECT_EQ(big->Face(), Skin::HighLightSelect);

    // Press on the small button through the server, drag off, wait for the poll, release outside.
    pointerTo(centreOnScreen(small));
    ASSERT_TRUE(waitFor(small, 20, 2, 0xFFF0CF));
    qtEnv->x->pressButton();
    EXPECT_TRUE(QTest::qWaitFor([&] { return small->Face() == Skin::Pressed; }, 3000));
    pointerTo(host.mapToGlobal(QPoint(250, 80)));
    EXPECT_TRUE(waitFor(small, 20, 2, 0xCEE7FF)); // Selected: dropped from 4 to 3
    qtEnv->x->releaseButton();
    // The first move after the release brings the hover back: the release has been handled.
    pointerTo(centreOnScreen(small));
    EXPECT_TRUE(waitFor(small, 20, 2, 0xFFF0CF)); // HighLightSelect
    EXPECT_EQ(smallClicks.count(), 0);
    EXPECT_EQ(bigClicks.count(), 1);
}

TEST_F(ButtonWindow, ARightPressTakesTheFocusButShowsNoPressedFace) {
    QSignalSpy clicks(big, &Command::Click);
    pointerTo(centreOnScreen(big));
    ASSERT_TRUE(waitFor(big, 38, 2, 0xFFF0CF));
    qtEnv->x->pressButton(3);
    ASSERT_TRUE(QTest::qWaitFor([&] { return big->hasFocus(); }, 3000));
    // Hot and focused: the glow of HighLightSelect over the upside-down gradient, not the sunken press.
    EXPECT_EQ(big->State(), ButtonState::FocusedHot);
    EXPECT_EQ(big->Face(), Skin::HighLightSelect);
    auto face = waitFor(big, 38, 2, 0xFFF0CF);
    ASSERT_TRUE(face);
    expectFace(*face, Skin::HighLightSelect, true, 2);
    qtEnv->x->releaseButton(3);
    EXPECT_TRUE(QTest::qWaitFor([&] { return clicks.count() == 1; }, 3000));
    EXPECT_EQ(big->Face(), Skin::HighLightSelect);
}

TEST_F(ButtonWindow, FocusLookStaysWhileAnotherWindowIsInFront) {
    small->setFocus();
    ASSERT_TRUE(waitFor(small, 20, 2, 0xCEE7FF)); // Selected
    QWidget other;
    other.setGeometry(400, 150, 100, 50);
    auto bringToFront = [](QWidget& w) {
        w.show();
        w.activateWindow();
        return QTest::qWaitForWindowActive(&w);
    };
    ASSERT_TRUE(bringToFront(other));
    EXPECT_EQ(small->Face(), Skin::Selected);
    ASSERT_TRUE(bringToFront(host));
    EXPECT_EQ(small->Face(), Skin::Selected);
    // The focus moved on while the window was behind: the look follows it on the way back.
    ASSERT_TRUE(bringToFront(other));
    big->setFocus();
    ASSERT_TRUE(bringToFront(host));
    EXPECT_TRUE(waitFor(small, 20, 2, 0xF3F3EE));
    EXPECT_TRUE(waitFor(big, 38, 2, 0xCEE7FF));
}

} // namespace
} // namespace mirevo

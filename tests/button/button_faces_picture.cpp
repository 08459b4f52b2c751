// Shows six 77 x 25 Command buttons side by side, one in each face (Normal, HighLight, HighLightSelect,
// Pressed, Selected, Disable), and saves what the X server shows of them as a PNG.
// Usage: button_faces_picture OUT.png   (run by tests/button/take-faces-picture on a private server)
#include <cstdio>

#include <QApplication>
#include <QElapsedTimer>
#include <QEnterEvent>
#include <QFocusEvent>
#include <QMouseEvent>
#include <QPixmap>
#include <QScreen>
#include <QWindow>

#include "saver/button/command.h"
#include "saver/qt_toolkit.h"

using namespace mirevo;

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUT.png\n", argv[0]);
        return 2;
    }
    QApplication app(argc, argv);
    installFontSubstitutions();

    constexpr int kGap = 8, kW = 77, kH = 25;
    QWidget host;
    host.setFixedSize(6 * (kW + kGap) + kGap, kH + 2 * kGap);
    host.setStyleSheet("background: #c0c0c0");
    std::vector<Command*> buttons;
    for (int i = 0; i < 6; ++i) {
        auto* button = new Command(&host);
        ButtonProperties stored;
        stored.set("caption", "設定");
        stored.setFont("font", {"ＭＳ Ｐゴシック", 9.75, 400, false, false, false, 128});
        button->Load(stored);
        button->setGeometry(kGap + i * (kW + kGap), kGap, kW, kH);
        button->Initialize();
        buttons.push_back(button);
    }
    host.show();
    QElapsedTimer waited;
    waited.start();
    while (!(host.windowHandle() && host.windowHandle()->isExposed()) && waited.elapsed() < 5000)
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    if (!host.windowHandle() || !host.windowHandle()->isExposed()) {
        std::fprintf(stderr, "the window was never shown\n");
        return 1;
    }

    // Each button is told of the pointer, the focus and a press as the toolkit would tell it; the picture is
    // taken before the next event loop turn, so no leave poll undoes the hover.
    auto enter = [](Command* b) {
        QEnterEvent e(QPointF(10, 10), QPointF(10, 10), b->mapToGlobal(QPointF(10, 10)));
        QApplication::sendEvent(b, &e);
    };
    auto focus = [](Command* b) {
        QFocusEvent e(QEvent::FocusIn, Qt::MouseFocusReason);
        QApplication::sendEvent(b, &e);
    };
    enter(buttons[1]);                    // HighLight
    focus(buttons[2]), enter(buttons[2]); // HighLightSelect
    enter(buttons[3]), focus(buttons[3]); // Pressed
    QMouseEvent press(QEvent::MouseButtonPress, QPointF(10, 10), buttons[3]->mapToGlobal(QPointF(10, 10)),
                      Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(buttons[3], &press);
    focus(buttons[4]);             // Selected
    buttons[5]->SetEnabled(false); // Disable
    host.repaint();

    QPixmap shot = host.screen()->grabWindow(host.winId());
    if (!shot.save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}

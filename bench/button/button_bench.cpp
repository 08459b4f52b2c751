// What the Command button costs: the time of one face paint of the dialog's 77 x 25 button (the pixels alone,
// the whole state change with its caption, and the change shown on the screen), and the CPU that three idle
// buttons use with their 100 ms leave polls, in this process and in the X server, on a private Xvfb.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <QApplication>
#include <QCursor>
#include <QEventLoop>
#include <QFocusEvent>
#include <QTimer>
#include <QWindow>
#include <unistd.h>

#include "saver/button/command.h"
#include "saver/button/face_painter.h"
#include "saver/qt_toolkit.h"
#include "tests/harness/scoped_env.h"
#include "tests/harness/temp_dir.h"
#include "tests/harness/x_client.h"
#include "tests/harness/xvfb.h"

using namespace mirevo;
using namespace mirevo::test;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kPaints = 4000;
constexpr int kIdleSeconds = 20;

// CPU time a process has run, in seconds, to the nanosecond the scheduler counts it.
double cpuSeconds(pid_t pid) {
    std::ifstream in("/proc/" + std::to_string(pid) + "/schedstat");
    unsigned long long ns = 0;
    in >> ns;
    return double(ns) / 1e9;
}

struct Times {
    double median, p99;
};

template <typename Step> Times time(Step step) {
    std::vector<double> us;
    us.reserve(kPaints);
    for (int i = 0; i < kPaints; ++i) {
        auto start = Clock::now();
        step(i);
        us.push_back(std::chrono::duration<double, std::micro>(Clock::now() - start).count());
    }
    std::sort(us.begin(), us.end());
    return {us[us.size() / 2], us[us.size() * 99 / 100]};
}

// Runs the event loop as a program does, sleeping until something happens.
void processEventsFor(int ms) {
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

std::unique_ptr<QWidget> dialogLikeWindow(int buttons, bool initialize) {
    auto host = std::make_unique<QWidget>();
    host->setFixedSize(496, 243);
    host->setStyleSheet("background: #c0c0c0");
    const char* captions[] = {"設定", "ｷｬﾝｾﾙ", "..."};
    for (int i = 0; i < buttons; ++i) {
        auto* button = new Command(host.get());
        ButtonProperties stored;
        stored.set("caption", captions[i % 3]);
        stored.setFont("font", {"ＭＳ Ｐゴシック", 9.75, 400, false, false, false, 128});
        button->Load(stored);
        button->setGeometry(i == 2 ? QRect(40, 132, 41, 21) : QRect(324 + 80 * i, 200, 77, 25));
        if (initialize) button->Initialize();
    }
    host->show();
    while (!host->windowHandle()->isExposed())
        QApplication::processEvents(QEventLoop::AllEvents, 50);
    return host;
}

} // namespace

int main() {
    TempDir home;
    Xvfb server(640, 480);
    if (!server.ok()) return 1;
    std::vector<std::unique_ptr<ScopedEnv>> env;
    for (const char* var : {"HOME", "XDG_RUNTIME_DIR", "XDG_CACHE_HOME", "XDG_CONFIG_HOME"})
        env.push_back(std::make_unique<ScopedEnv>(var, home.path()));
    env.push_back(std::make_unique<ScopedEnv>("DISPLAY", server.display()));
    env.push_back(std::make_unique<ScopedEnv>("QT_QPA_PLATFORM", "xcb"));
    XClient x(server.display());
    x.movePointer(600, 450); // off every button: the buttons stay idle
    int argc = 1;
    char name[] = "button_bench";
    char* argv[] = {name, nullptr};
    QApplication app(argc, argv);
    installFontSubstitutions();

    std::printf("Command button, 77 x 25 (%d runs each, microseconds)\n", kPaints);
    std::printf("%-52s %10s %10s\n", "what", "median", "p99");
    {
        std::vector<uint32_t> pixels(77 * 25);
        FaceCanvas canvas{pixels.data(), 77, 25, 77};
        Times t = time([&](int i) { paintFacePixels(canvas, Skin(i % 6), i % 2); });
        std::printf("%-52s %10.2f %10.2f\n", "face pixels: gradient and eight border pieces", t.median,
                    t.p99);

        auto host = dialogLikeWindow(1, true);
        auto* button = host->findChild<Command*>();
        // Focus in and out alternately: Selected and Normal, each a full face paint with its caption.
        auto change = [&](int i) {
            QFocusEvent e(i % 2 ? QEvent::FocusOut : QEvent::FocusIn, Qt::OtherFocusReason);
            QApplication::sendEvent(button, &e);
        };
        t = time(change);
        std::printf("%-52s %10.2f %10.2f\n", "state change: face, caption, retained image", t.median, t.p99);
        t = time([&](int i) {
            change(i);
            button->repaint();
            x.sync();
        });
        std::printf("%-52s %10.2f %10.2f\n", "state change shown on the X server", t.median, t.p99);
        // What each tick of a hot button's leave poll asks: the pointer, and the widget under it.
        t = time([&](int) { QApplication::widgetAt(QCursor::pos()); });
        std::printf("%-52s %10.2f %10.2f\n\n", "leave check of a hot button (pointer, widget under it)",
                    t.median, t.p99);
    }

    std::printf("Buttons in a dialog-sized window (%d s each, percent of one core)\n", kIdleSeconds);
    std::printf("%-52s %10s %10s\n", "window", "this", "X server");
    auto idle = [&](const char* what, int buttons, bool initialize) {
        auto host = dialogLikeWindow(buttons, initialize);
        processEventsFor(500);
        double self0 = cpuSeconds(getpid()), server0 = cpuSeconds(server.pid());
        auto start = Clock::now();
        processEventsFor(kIdleSeconds * 1000);
        double wall = std::chrono::duration<double>(Clock::now() - start).count();
        double self = cpuSeconds(getpid()) - self0, xs = cpuSeconds(server.pid()) - server0;
        std::printf("%-52s %9.3f%% %9.3f%%\n", what, 100 * self / wall, 100 * xs / wall);
    };
    idle("three idle buttons, pointer elsewhere", 3, true);
    idle("three buttons never initialised (no poll)", 3, false);
    x.movePointer(324 + 38, 200 + 12); // over the first button: its every tick asks the server
    idle("one of the three hot (pointer over it)", 3, true);
    return 0;
}

#include "saver/settings_dialog/qt_zoom_outline.h"

#include <algorithm>
#include <chrono>
#include <thread>
#include <vector>

#include <QCoreApplication>
#include <QPainter>
#include <QRegion>

namespace mirevo {
namespace {

constexpr int kLine = 2; // a light line outside a dark one, seen on any desktop

} // namespace

QtZoomOutline::QtZoomOutline()
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint | Qt::X11BypassWindowManagerHint |
                           Qt::WindowStaysOnTopHint | Qt::WindowDoesNotAcceptFocus |
                           Qt::WindowTransparentForInput) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    setWindowTitle("Mirevo zoom");
}

void QtZoomOutline::play(const ZoomRect& from, const ZoomRect& to, const std::function<void()>& meanwhile) {
    using Clock = std::chrono::steady_clock;
    const auto period = std::chrono::milliseconds(kZoomFrameMilliseconds);
    const auto start = Clock::now();
    // The last frame is the window itself when opening and nothing when closing: it is not drawn, so the
    // window shows (or the screen clears) right after the outline reaches it.
    std::vector<ZoomRect> frames = zoomFrames(from, to, kZoomFrameCount);
    frames.pop_back();
    showFrame(frames.front());
    if (meanwhile) meanwhile();
    for (;;) {
        const auto frame = std::size_t((Clock::now() - start) / period);
        if (frame >= frames.size()) break;
        if (frame > 0) showFrame(frames[frame]);
        std::this_thread::sleep_until(start + (frame + 1) * period);
    }
    hide();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void QtZoomOutline::showFrame(const ZoomRect& r) {
    setGeometry(r.left, r.top, std::max(1, r.right - r.left), std::max(1, r.bottom - r.top));
    // Only the rim is part of the window, so the desktop shows through the middle.
    const QRect inside = rect().adjusted(kLine, kLine, -kLine, -kLine);
    setMask(inside.isEmpty() ? QRegion(rect()) : QRegion(rect()).subtracted(QRegion(inside)));
    if (!isVisible()) show();
    repaint();
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void QtZoomOutline::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Qt::white);
    painter.fillRect(rect().adjusted(1, 1, -1, -1), QColor(0, 0x3C, 0x74));
}

} // namespace mirevo

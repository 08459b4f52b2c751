#include "saver/settings_dialog/qt_dialog_services.h"

#include <chrono>

#include <QCursor>
#include <QDesktopServices>
#include <QFileDialog>
#include <QGuiApplication>
#include <QMessageBox>
#include <QUrl>

#include "saver/settings_dialog/qt_zoom_outline.h"
#include "saver/settings_dialog/x11_frame_extents.h"
#include "saver/settings_dialog/x11_frame_request.h"
#include "saver/startup/tovik_main.h"

namespace mirevo {

std::string qtNameFilter(const FileRequest& request) {
    std::string filter = request.filterName + " (";
    for (std::size_t i = 0; i < request.patterns.size(); ++i)
        filter += (i ? " " : "") + request.patterns[i];
    return filter + ")";
}

namespace {

// Wayland lets no client see the pointer outside its own windows, nor draw on the desktop.
bool onWayland() {
    return QGuiApplication::platformName().startsWith("wayland");
}

} // namespace

std::optional<ScreenPoint> QtDialogServices::pointerPosition() {
    if (onWayland()) return std::nullopt;
    const QPoint at = QCursor::pos();
    return ScreenPoint{at.x(), at.y()};
}

FrameMargins QtDialogServices::frameMargins(QWidget& window) {
    // Asked on the toolkit's own connection, so the window it has just made is known to the server. A window
    // manager answers within milliseconds; the deadline only matters for one that offers and never answers.
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11) return {};
    return x11FrameExtents(x11->display(), window.winId(), std::chrono::milliseconds(500));
}

void QtDialogServices::askForCloseBoxOnly(QWidget& window) {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    if (!x11) return;
    x11RequestFrame(x11->display(), window.winId(), closeBoxOnlyFrame(x11WindowManagerName(x11->display())));
}

std::optional<std::string> QtDialogServices::chooseFile(QWidget& owner, const FileRequest& request) {
    QFileDialog chooser(&owner, QString::fromStdString(request.title), QString::fromStdString(request.folder),
                        QString::fromStdString(qtNameFilter(request)));
    chooser.setAcceptMode(QFileDialog::AcceptOpen);
    // One file, which need not exist yet: the saver checks it when it starts.
    chooser.setFileMode(QFileDialog::AnyFile);
    chooser.setOption(QFileDialog::HideNameFilterDetails);
    if (chooser.exec() != QDialog::Accepted || chooser.selectedFiles().isEmpty()) return std::nullopt;
    return chooser.selectedFiles().first().toStdString();
}

void QtDialogServices::showMessage(QWidget& owner, const std::string& text) {
    QMessageBox box(&owner);
    box.setIcon(QMessageBox::NoIcon);
    box.setWindowTitle(QString::fromUtf8(kAppTitle));
    box.setText(QString::fromStdString(text));
    box.setStandardButtons(QMessageBox::Ok);
    box.exec();
}

void QtDialogServices::openAddress(const std::string& address) {
    QDesktopServices::openUrl(QUrl::fromUserInput(QString::fromStdString(address)));
}

void QtDialogServices::zoom(const ZoomRect& from, const ZoomRect& to,
                            const std::function<void()>& meanwhile) {
    // In a Wayland session the outline would be a window of its own that the compositor places where it
    // likes: the dialog appears without it.
    if (onWayland()) {
        if (meanwhile) meanwhile();
        return;
    }
    QtZoomOutline outline;
    outline.play(from, to, meanwhile);
}

} // namespace mirevo

#include "saver/preview/preview_window.h"

#include <memory>

#include <QCoreApplication>
#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <QSocketNotifier>

#include "saver/preview/preview_x11_window.h"
#include "saver/preview/twips.h"

// The resource registration lives in a static library; naming it here keeps the linker from dropping it.
static void initPreviewResources() {
    Q_INIT_RESOURCE(preview);
}

namespace mirevo {

namespace {

constexpr const char* kPicturePath = ":/mirevo/preview.png";

// Img_Prev's picture, as RGB rows.
PreviewPicture loadPicture() {
    initPreviewResources();
    QImage image(kPicturePath);
    if (image.isNull()) return {};
    image = image.convertToFormat(QImage::Format_RGB888);
    PreviewPicture picture{image.width(), image.height(), {}};
    picture.rgb.reserve(static_cast<size_t>(picture.width) * picture.height * 3);
    for (int y = 0; y < image.height(); ++y) {
        const uchar* row = image.constScanLine(y);
        picture.rgb.insert(picture.rgb.end(), row, row + picture.width * 3);
    }
    return picture;
}

// The X window works in device pixels, so the dots per inch are those of device pixels too.
double deviceDpi(Qt::Orientation orientation) {
    const QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen) return 96.0;
    const double logical =
        orientation == Qt::Horizontal ? screen->logicalDotsPerInchX() : screen->logicalDotsPerInchY();
    return logical * screen->devicePixelRatio();
}

// Tovik_R's unload: once the window or its host is gone, the program ends. exit(0) rather than quit(), which
// an application may refuse while windows are open.
class PreviewLifetime : public QObject {
public:
    PreviewLifetime(std::unique_ptr<PreviewX11Window> window, QObject* parent)
        : QObject(parent), window_(std::move(window)),
          notifier_(window_->connectionNumber(), QSocketNotifier::Read, this) {
        connect(&notifier_, &QSocketNotifier::activated, this, &PreviewLifetime::check);
        // Events already read from the connection while the window was made do not wake the notifier.
        QMetaObject::invokeMethod(this, &PreviewLifetime::check, Qt::QueuedConnection);
    }

private:
    void check() {
        if (window_->handleEvents()) return;
        notifier_.setEnabled(false);
        QCoreApplication::exit(0);
    }

    std::unique_ptr<PreviewX11Window> window_;
    QSocketNotifier notifier_;
};

} // namespace

bool ShowPreview(int32_t hostHandle) {
    QCoreApplication* application = QCoreApplication::instance();
    if (!application || hostHandle == 0) return false;
    // Window ids are unsigned 32-bit; the command line reads them as signed.
    const auto host = static_cast<unsigned long>(static_cast<uint32_t>(hostHandle));
    auto window = PreviewX11Window::open(host, loadPicture(), twipsPerPixel(deviceDpi(Qt::Horizontal)),
                                         twipsPerPixel(deviceDpi(Qt::Vertical)));
    if (!window) return false;
    // Owned by the application object, so it goes before the application does.
    new PreviewLifetime(std::move(window), application);
    return true;
}

} // namespace mirevo

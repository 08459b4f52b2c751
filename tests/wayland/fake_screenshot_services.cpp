// Stand-ins for KWin's screenshot service and the desktop portal's Screenshot on a test's session bus. The
// first argument says how they behave:
//   kwin            CaptureWorkspace writes a 4 x 2 picture (left half blue, right half yellow) to the pipe
//   kwin-silent     CaptureWorkspace never answers
//   kwin-black      the picture is black
//   portal          Screenshot answers with the file named by the second argument
//   portal-refused  the user said no (response 1)
//   portal-silent   Screenshot answers, its Response never comes
// It prints "ready" once its names are taken, and records each call's options on standard error.
#include <cstdio>
#include <unistd.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QDBusVirtualObject>
#include <QImage>
#include <QUrl>

namespace {

QString mode;
QString portalFile;

QString describe(const QVariantMap& options) {
    QStringList parts;
    for (auto it = options.begin(); it != options.end(); ++it)
        parts << it.key() + "=" + it.value().toString();
    return parts.join(' ');
}

class KWin : public QDBusVirtualObject {
public:
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& bus) override {
        if (message.member() != "CaptureWorkspace") return false;
        const auto arguments = message.arguments();
        const QVariantMap options = qdbus_cast<QVariantMap>(arguments.value(0));
        std::fprintf(stderr, "CaptureWorkspace %s\n", qPrintable(describe(options)));
        if (mode == "kwin-silent") return true;
        const int fd = arguments.value(1).value<QDBusUnixFileDescriptor>().fileDescriptor();
        QImage image(4, 2, QImage::Format_ARGB32_Premultiplied);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 4; ++x)
                image.setPixel(x, y, mode == "kwin-black" ? 0xFF000000 : x < 2 ? 0xFF0000FF : 0xFFFFFF00);
        QVariantMap results{{"type", "raw"},
                            {"width", uint(image.width())},
                            {"height", uint(image.height())},
                            {"stride", uint(image.bytesPerLine())},
                            {"format", uint(image.format())}};
        bus.send(message.createReply(QVariant(results)));
        const qsizetype size = image.sizeInBytes();
        if (::write(fd, image.constBits(), size_t(size)) != size) std::fprintf(stderr, "short write\n");
        return true;
    }
};

class Portal : public QDBusVirtualObject {
public:
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& bus) override {
        if (message.member() != "Screenshot") return false;
        const QVariantMap options = qdbus_cast<QVariantMap>(message.arguments().value(1));
        std::fprintf(stderr, "Screenshot %s\n", qPrintable(describe(options)));
        QString sender = message.service().mid(1);
        sender.replace('.', '_');
        const QString path =
            "/org/freedesktop/portal/desktop/request/" + sender + "/" + options.value("handle_token").toString();
        bus.send(message.createReply(QVariant::fromValue(QDBusObjectPath(path))));
        if (mode == "portal-silent") return true;
        QDBusMessage response = QDBusMessage::createSignal(path, "org.freedesktop.portal.Request", "Response");
        const uint code = mode == "portal-refused" ? 1 : 0;
        QVariantMap results;
        if (code == 0) results["uri"] = QUrl::fromLocalFile(portalFile).toString();
        response << code << results;
        bus.send(response);
        return true;
    }
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    mode = argc > 1 ? argv[1] : "";
    portalFile = argc > 2 ? argv[2] : "";
    QDBusConnection bus = QDBusConnection::sessionBus();
    KWin kwin;
    Portal portal;
    const bool forKWin = mode.startsWith("kwin");
    const bool registered =
        forKWin ? bus.registerVirtualObject("/org/kde/KWin/ScreenShot2", &kwin) &&
                      bus.registerService("org.kde.KWin")
                : bus.registerVirtualObject("/org/freedesktop/portal/desktop", &portal) &&
                      bus.registerService("org.freedesktop.portal.Desktop");
    if (!registered) {
        std::fprintf(stderr, "cannot take the names\n");
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    return application.exec();
}

// Stand-ins for KWin's screenshot service, the desktop portal's Screenshot and the portals' permission store on
// a test's session bus. The first argument says how they behave:
//   kwin            CaptureWorkspace writes a 4 x 2 picture (left half blue, right half yellow) to the pipe
//   kwin-silent     CaptureWorkspace never answers
//   kwin-black      the picture is black
//   kwin-flood      the answer announces 65535 x 65535 pixels, and the pipe is written to until it is closed
//   portal          Screenshot answers with the file named by the second argument
//   portal-fresh    each Screenshot answers with a new copy of that file, "Screenshot from <n>.png" beside it
//   portal-refused  the user said no (response 1)
//   portal-silent   Screenshot answers, its Response never comes
// With the portal, "--store yes|no|none" (third and fourth arguments) adds the permission store holding our
// screenshot permission as yes, as no, or not at all (never asked); its SetPermission stores what it is given.
// It prints "ready" once its names are taken, and records each call and its options on standard error.
#include <csignal>
#include <cstdio>
#include <thread>
#include <unistd.h>

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusUnixFileDescriptor>
#include <QDBusVariant>
#include <QDBusVirtualObject>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QUrl>

namespace {

QString mode;
QString portalFile;
QString store; // "" for no permission store
int fresh = 0;

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
        if (mode == "kwin-flood") {
            QVariantMap results{{"type", "raw"},
                                {"width", 65535u},
                                {"height", 65535u},
                                {"stride", 65535u * 4},
                                {"format", uint(QImage::Format_ARGB32)}};
            bus.send(message.createReply(QVariant(results)));
            // Until the reader closes its end.
            std::thread([copy = ::dup(fd)] {
                static const char zeros[65536] = {};
                while (::write(copy, zeros, sizeof zeros) > 0) {
                }
                ::close(copy);
            }).detach();
            return true;
        }
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
        QString file = portalFile;
        if (mode == "portal-fresh") {
            file = QFileInfo(portalFile).absolutePath() + QString("/Screenshot from %1.png").arg(++fresh);
            QFile::copy(portalFile, file);
        }
        QDBusMessage response = QDBusMessage::createSignal(path, "org.freedesktop.portal.Request", "Response");
        const uint code = mode == "portal-refused" ? 1 : 0;
        QVariantMap results;
        if (code == 0) results["uri"] = QUrl::fromLocalFile(file).toString();
        response << code << results;
        bus.send(response);
        return true;
    }
};

using AppPermissions = QMap<QString, QStringList>;

class PermissionStore : public QDBusVirtualObject {
public:
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage& message, const QDBusConnection& bus) override {
        const auto arguments = message.arguments();
        if (message.member() == "Lookup") {
            std::fprintf(stderr, "Lookup %s %s\n", qPrintable(arguments.value(0).toString()),
                         qPrintable(arguments.value(1).toString()));
            if (store == "none" || arguments.value(0).toString() != "screenshot") {
                bus.send(message.createErrorReply("org.freedesktop.portal.Error.NotFound", "No entry"));
                return true;
            }
            const AppPermissions permissions{{"", {store}}};
            bus.send(message.createReply(QVariantList{QVariant::fromValue(permissions),
                                                      QVariant::fromValue(QDBusVariant(QVariant(0u)))}));
            return true;
        }
        if (message.member() == "SetPermission") {
            const QStringList given = arguments.value(4).toStringList();
            std::fprintf(stderr, "SetPermission %s %s %s \"%s\" %s\n", qPrintable(arguments.value(0).toString()),
                         arguments.value(1).toBool() ? "create" : "keep", qPrintable(arguments.value(2).toString()),
                         qPrintable(arguments.value(3).toString()), qPrintable(given.join(',')));
            if (arguments.value(3).toString().isEmpty() && !given.isEmpty()) store = given.first();
            bus.send(message.createReply());
            return true;
        }
        return false;
    }
};

} // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    std::signal(SIGPIPE, SIG_IGN); // a reader that closes its end ends a flood
    qDBusRegisterMetaType<AppPermissions>();
    mode = argc > 1 ? argv[1] : "";
    portalFile = argc > 2 ? argv[2] : "";
    if (argc > 4 && QString(argv[3]) == "--store") store = argv[4];
    QDBusConnection bus = QDBusConnection::sessionBus();
    KWin kwin;
    Portal portal;
    PermissionStore permissions;
    const bool forKWin = mode.startsWith("kwin");
    bool registered =
        forKWin ? bus.registerVirtualObject("/org/kde/KWin/ScreenShot2", &kwin) &&
                      bus.registerService("org.kde.KWin")
                : bus.registerVirtualObject("/org/freedesktop/portal/desktop", &portal) &&
                      bus.registerService("org.freedesktop.portal.Desktop");
    if (!store.isEmpty())
        registered = registered &&
                     bus.registerVirtualObject("/org/freedesktop/impl/portal/PermissionStore", &permissions) &&
                     bus.registerService("org.freedesktop.impl.portal.PermissionStore");
    if (!registered) {
        std::fprintf(stderr, "cannot take the names\n");
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    return application.exec();
}

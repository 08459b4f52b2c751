#include "saver/session/qt_screenshot_services.h"

#include <cerrno>
#include <optional>
#include <thread>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusUnixFileDescriptor>
#include <QEventLoop>
#include <QImage>
#include <QTimer>
#include <QUrl>
#include <QUuid>

#include "common/posix/unique_fd.h"

namespace mirevo {
namespace {

// The bus's own timeout comes after the deadline, so that the deadline says why.
constexpr int kBusSlack = 1000;

int millisecondsLeft(Deadline deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return int(std::max<long long>(0, left.count()));
}

ComposedPicture pictureOf(const QImage& image) {
    const QImage plain = image.convertToFormat(QImage::Format_RGB32);
    ComposedPicture picture(plain.width(), plain.height());
    for (int y = 0; y < plain.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(plain.constScanLine(y));
        for (int x = 0; x < plain.width(); ++x)
            picture.set(x, y, row[x] & 0xFFFFFF);
    }
    return picture;
}

// Waits for a call's answer until the deadline, the event loop running meanwhile.
bool answeredBy(QDBusPendingCall& call, Deadline deadline) {
    if (call.isFinished()) return true;
    QEventLoop loop;
    QDBusPendingCallWatcher watcher(call);
    QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(millisecondsLeft(deadline), &loop, &QEventLoop::quit);
    loop.exec();
    return call.isFinished();
}

// What is written to fd until expected bytes have come or its writer closes it; false on the deadline.
bool readAll(int fd, size_t expected, QByteArray& bytes, Deadline deadline) {
    char block[65536];
    for (;;) {
        pollfd poller{fd, POLLIN, 0};
        const int ready = ::poll(&poller, 1, millisecondsLeft(deadline));
        if (ready == 0) return false;
        if (ready < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        const ssize_t got = ::read(fd, block, sizeof block);
        if (got == 0) return true;
        if (got < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            return false;
        }
        bytes.append(block, int(got));
        // The whole picture the answer described: its writer may hold the pipe open a while longer.
        if (size_t(bytes.size()) >= expected) return true;
    }
}

Result<ComposedPicture, std::string> fromKWin(QDBusConnection& bus, Deadline deadline) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) return Failure(std::string("no pipe"));
    UniqueFd readEnd(ends[0]), writeEnd(ends[1]);
    QDBusMessage message = QDBusMessage::createMethodCall(kKWinService, kKWinScreenShotPath, kKWinScreenShotInterface,
                                                          "CaptureWorkspace");
    QVariantMap options{{"include-cursor", false}, {"native-resolution", true}};
    message << options << QVariant::fromValue(QDBusUnixFileDescriptor(writeEnd.get()));
    QDBusPendingCall call = bus.asyncCall(message, millisecondsLeft(deadline) + kBusSlack);
    writeEnd.reset(); // the service holds its own copy; our end must go for the end of the data to show
    if (!answeredBy(call, deadline)) return Failure(std::string("no answer in time"));
    QDBusPendingReply<QVariantMap> reply(call);
    if (reply.isError()) return Failure(reply.error().message().toStdString());
    const QVariantMap results = reply.value();
    const unsigned width = results.value("width").toUInt(), height = results.value("height").toUInt();
    const unsigned stride = results.value("stride").toUInt(), format = results.value("format").toUInt();
    if (results.value("type").toString() != "raw" || width == 0 || height == 0 || stride < width * 4 ||
        !kwinFormatKnown(format))
        return Failure(std::string("an answer that describes no picture"));
    QByteArray bytes;
    const size_t expected = size_t(stride) * height;
    if (!readAll(readEnd.get(), expected, bytes, deadline) && size_t(bytes.size()) < expected)
        return Failure(std::string("the picture did not arrive in time"));
    if (size_t(bytes.size()) < expected) return Failure(std::string("a picture cut short"));
    const QImage image(reinterpret_cast<const uchar*>(bytes.constData()), int(width), int(height), int(stride),
                       QImage::Format(format));
    return pictureOf(image);
}

// The portal answers on a request object whose path it makes from our bus name and the token we chose.
QString requestPath(const QDBusConnection& bus, const QString& token) {
    QString sender = bus.baseService().mid(1);
    sender.replace('.', '_');
    return QStringLiteral("/org/freedesktop/portal/desktop/request/%1/%2").arg(sender, token);
}

class PortalAnswer : public QObject {
    Q_OBJECT
public:
    uint response = 2;
    QString uri;
    bool arrived = false;
public slots:
    void onResponse(uint code, const QVariantMap& results) {
        response = code, uri = results.value("uri").toString(), arrived = true;
        emit done();
    }
signals:
    void done();
};

Result<ComposedPicture, std::string> fromPortal(QDBusConnection& bus, Deadline deadline) {
    const QString token = "mirevo" + QUuid::createUuid().toString(QUuid::Id128);
    PortalAnswer answer;
    QEventLoop loop;
    QObject::connect(&answer, &PortalAnswer::done, &loop, &QEventLoop::quit);
    // Listening before asking: the answer may come before the call returns.
    bus.connect(kPortalService, requestPath(bus, token), "org.freedesktop.portal.Request", "Response", &answer,
                SLOT(onResponse(uint, QVariantMap)));
    QDBusMessage message =
        QDBusMessage::createMethodCall(kPortalService, kPortalPath, kPortalScreenshotInterface, "Screenshot");
    message << QString() << QVariantMap{{"handle_token", token}, {"interactive", false}, {"modal", false}};
    QDBusPendingCall call = bus.asyncCall(message, millisecondsLeft(deadline) + kBusSlack);
    if (!answeredBy(call, deadline)) return Failure(std::string("no answer in time"));
    QDBusPendingReply<QDBusObjectPath> reply(call);
    if (reply.isError()) return Failure(reply.error().message().toStdString());
    if (!answer.arrived) {
        QTimer::singleShot(millisecondsLeft(deadline), &loop, &QEventLoop::quit);
        loop.exec();
    }
    bus.disconnect(kPortalService, requestPath(bus, token), "org.freedesktop.portal.Request", "Response", &answer,
                   SLOT(onResponse(uint, QVariantMap)));
    if (!answer.arrived) return Failure(std::string("no picture in time (the portal may be asking the user)"));
    if (answer.response != 0) return Failure(std::string("the screenshot was refused"));
    const QUrl url(answer.uri);
    if (!url.isLocalFile()) return Failure("a picture that is not a local file: " + answer.uri.toStdString());
    const QImage image(url.toLocalFile());
    if (image.isNull()) return Failure("an unreadable picture: " + url.toLocalFile().toStdString());
    return pictureOf(image);
}

using BusSource = Result<ComposedPicture, std::string> (*)(QDBusConnection&, Deadline);

// The session's load handler must not run the program's event loop (a timer or a stop signal handled in a
// loop nested inside it would end a session that has not begun): the bus is asked on a thread of its own,
// with a connection and event loop of its own, while the caller waits. Everything there keeps the deadline.
Result<ComposedPicture, std::string> onOwnThread(BusSource source, Deadline deadline) {
    std::optional<Result<ComposedPicture, std::string>> result;
    std::thread asker([&] {
        const QString name = "mirevo-picture-" + QUuid::createUuid().toString(QUuid::Id128);
        {
            QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, name);
            if (bus.isConnected())
                result.emplace(source(bus, deadline));
            else
                result.emplace(Failure(std::string("no session bus")));
        }
        QDBusConnection::disconnectFromBus(name);
    });
    asker.join();
    return std::move(*result);
}

} // namespace

bool kwinFormatKnown(unsigned format) {
    switch (QImage::Format(format)) {
    case QImage::Format_RGB32:
    case QImage::Format_ARGB32:
    case QImage::Format_ARGB32_Premultiplied:
    case QImage::Format_RGBX8888:
    case QImage::Format_RGBA8888:
    case QImage::Format_RGBA8888_Premultiplied: return true;
    default: return false;
    }
}

PictureSource kwinScreenShotSource() {
    return {"KWin's screenshot service", [](Deadline deadline) { return onOwnThread(fromKWin, deadline); }};
}

PictureSource portalScreenshotSource() {
    return {"the desktop portal's Screenshot", [](Deadline deadline) { return onOwnThread(fromPortal, deadline); }};
}

} // namespace mirevo

#include "qt_screenshot_services.moc"

#include "saver/session/qt_screenshot_services.h"

#include <cerrno>
#include <memory>
#include <optional>
#include <thread>
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusUnixFileDescriptor>
#include <QEventLoop>
#include <QFileInfo>
#include <QIODevice>
#include <QImage>
#include <QImageReader>
#include <QSocketNotifier>
#include <QTimer>
#include <QUrl>
#include <QUuid>

#include "common/posix/posix_stop_signals.h"
#include "common/posix/unique_fd.h"
#include "common/posix/user_file.h"
#include "common/printable_text.h"
#include "common/wayland/wayland_connection.h"
#include "saver/session/picture_size.h"
#include "saver/session/portal_permission.h"

namespace mirevo {
namespace {

// The bus's own timeout comes after the deadline, so that the deadline says why.
constexpr int kBusSlack = 1000;
// A picture file larger than this is no screenshot.
constexpr std::size_t kMaxPictureFileBytes = std::size_t(512) << 20;

const char* const kStopped = "asked to stop";

int millisecondsLeft(Deadline deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    return int(std::max<long long>(0, left.count()));
}

std::string shown(const QString& text) {
    return printableText(text.toStdString(), 300).text;
}

// The picture as the session keeps it: red-green-blue words, reduced to the kept size (picture_size.h).
ComposedPicture pictureOf(QImage image) {
    const PictureSize kept = keptPictureSize(image.width(), image.height());
    if (kept.width != image.width() || kept.height != image.height())
        image = image.scaled(kept.width, kept.height, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    image.convertTo(QImage::Format_RGB32);
    ComposedPicture picture(image.width(), image.height());
    for (int y = 0; y < image.height(); ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            picture.set(x, y, row[x] & 0xFFFFFF);
    }
    return picture;
}

// Runs loop until it quits, the deadline passes or a stop signal comes. True when a stop came.
bool waitInLoop(QEventLoop& loop, Deadline deadline) {
    if (stopRequested()) return true;
    QTimer::singleShot(millisecondsLeft(deadline), &loop, &QEventLoop::quit);
    std::unique_ptr<QSocketNotifier> stop;
    if (stopSignalFd() >= 0) {
        stop = std::make_unique<QSocketNotifier>(stopSignalFd(), QSocketNotifier::Read);
        QObject::connect(stop.get(), &QSocketNotifier::activated, &loop, &QEventLoop::quit);
    }
    loop.exec();
    return stopRequested();
}

// Waits for a call's answer until the deadline or a stop, the event loop running meanwhile.
bool answeredBy(QDBusPendingCall& call, Deadline deadline) {
    if (call.isFinished()) return true;
    QEventLoop loop;
    QDBusPendingCallWatcher watcher(call);
    QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, &loop, &QEventLoop::quit);
    waitInLoop(loop, deadline);
    return call.isFinished();
}

// A call's answer within the deadline; the error's message, or why there was none.
Result<QDBusMessage, std::string> callWithin(QDBusConnection& bus, const QDBusMessage& message, Deadline deadline) {
    QDBusPendingCall call = bus.asyncCall(message, millisecondsLeft(deadline) + kBusSlack);
    if (!answeredBy(call, deadline)) return Failure(std::string(stopRequested() ? kStopped : "no answer in time"));
    const QDBusMessage reply = call.reply();
    if (reply.type() == QDBusMessage::ErrorMessage) return Failure(shown(reply.errorMessage()));
    return reply;
}

// What is written to fd until expected bytes have come or its writer closes it; false on the deadline or a
// stop.
bool readAll(int fd, size_t expected, QByteArray& bytes, Deadline deadline) {
    char block[65536];
    for (;;) {
        if (stopRequested()) return false;
        pollfd pollers[] = {{fd, POLLIN, 0}, {stopSignalFd(), POLLIN, 0}};
        const int ready = ::poll(pollers, stopSignalFd() >= 0 ? 2 : 1, millisecondsLeft(deadline));
        if (ready == 0) return false;
        if (ready < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        if (pollers[0].revents == 0) continue; // the stop, seen at the top
        const ssize_t got = ::read(fd, block, std::min(sizeof block, expected - size_t(bytes.size())));
        if (got == 0) return true;
        if (got < 0) {
            if (errno == EINTR || errno == EAGAIN) continue;
            return false;
        }
        bytes.append(block, int(got));
        // The whole picture the answer described: its writer may hold the pipe open a while longer, or write on.
        if (size_t(bytes.size()) >= expected) return true;
    }
}

// The outputs' own sizes, which bound what a screenshot service is believed.
Result<PictureSize, std::string> desktopBound(Deadline deadline) {
    auto connection = WaylandConnection::connect(std::chrono::milliseconds(millisecondsLeft(deadline)), stopSignalFd());
    if (!connection) return Failure("no outputs to measure it by: " + connection.reason().why);
    const PictureSize bound = nativeDesktopSize((*connection)->outputs());
    if (bound.width <= 0 || bound.height <= 0) return Failure(std::string("the compositor names no output"));
    return bound;
}

Result<ComposedPicture, std::string> fromKWin(QDBusConnection& bus, Deadline deadline) {
    const auto bound = desktopBound(deadline);
    if (!bound) return Failure(bound.reason());
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) return Failure(std::string("no pipe"));
    UniqueFd readEnd(ends[0]), writeEnd(ends[1]);
    QDBusMessage message = QDBusMessage::createMethodCall(kKWinService, kKWinScreenShotPath, kKWinScreenShotInterface,
                                                          "CaptureWorkspace");
    QVariantMap options{{"include-cursor", false}, {"native-resolution", true}};
    message << options << QVariant::fromValue(QDBusUnixFileDescriptor(writeEnd.get()));
    QDBusPendingCall call = bus.asyncCall(message, millisecondsLeft(deadline) + kBusSlack);
    writeEnd.reset(); // the service holds its own copy; our end must go for the end of the data to show
    if (!answeredBy(call, deadline)) return Failure(std::string(stopRequested() ? kStopped : "no answer in time"));
    QDBusPendingReply<QVariantMap> reply(call);
    if (reply.isError()) return Failure(shown(reply.error().message()));
    const QVariantMap results = reply.value();
    const unsigned width = results.value("width").toUInt(), height = results.value("height").toUInt();
    const unsigned stride = results.value("stride").toUInt(), format = results.value("format").toUInt();
    if (results.value("type").toString() != "raw" || width == 0 || height == 0 || !kwinFormatKnown(format) ||
        uint64_t(stride) < uint64_t(width) * 4)
        return Failure(std::string("an answer that describes no picture"));
    if (!desktopPictureFits(width, height, stride, *bound))
        return Failure("an answer that announces " + std::to_string(width) + " x " + std::to_string(height) +
                       " pixels, more than the outputs' " + std::to_string(bound->width) + " x " +
                       std::to_string(bound->height));
    QByteArray bytes;
    const size_t expected = size_t(stride) * height;
    if (!readAll(readEnd.get(), expected, bytes, deadline) && size_t(bytes.size()) < expected)
        return Failure(std::string(stopRequested() ? kStopped : "the picture did not arrive in time"));
    if (size_t(bytes.size()) < expected) return Failure(std::string("a picture cut short"));
    const QImage image(reinterpret_cast<const uchar*>(bytes.constData()), int(width), int(height), int(stride),
                       QImage::Format(format));
    return pictureOf(image);
}

// A regular file read for the image reader, which gives up (as a read error) once the deadline has passed or
// a stop has come.
class BoundedRead final : public QIODevice {
public:
    BoundedRead(int fd, Deadline deadline) : fd_(fd), deadline_(deadline) { open(QIODevice::ReadOnly); }
    bool isSequential() const override { return true; }
    bool late() const { return late_; }

protected:
    qint64 readData(char* data, qint64 size) override {
        if (stopRequested() || std::chrono::steady_clock::now() >= deadline_) return late_ = true, -1;
        for (;;) {
            const ssize_t got = ::read(fd_, data, size_t(size));
            if (got < 0 && errno == EINTR) continue;
            return got;
        }
    }
    qint64 writeData(const char*, qint64) override { return -1; }

private:
    int fd_;
    Deadline deadline_;
    bool late_ = false;
};

// The picture file the portal named: only a regular file (a FIFO or a device in its place must not hang
// the saver), of a bounded size, read within the deadline and decoded straight to the kept size, so that a
// big desktop's picture costs bounded memory. read is the file's state as it was opened.
Result<ComposedPicture, std::string> readPictureFile(const std::string& path, Deadline deadline, struct stat& read) {
    const std::string named = printableText(path, 300).text;
    auto opened = openBoundedFile(path, kMaxPictureFileBytes);
    if (!opened) return Failure("the picture file " + named + " " + describe(opened.reason()));
    read = opened->info;
    BoundedRead device(opened->fd.get(), deadline);
    QImageReader reader(&device);
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty())
        return Failure("a file that holds no picture it can read: " + named + " (" + shown(reader.errorString()) + ")");
    const PictureSize kept = keptPictureSize(size.width(), size.height());
    if (kept.width != size.width() || kept.height != size.height()) reader.setScaledSize(QSize(kept.width, kept.height));
    // Room for the kept picture at up to 8 bytes a pixel (a 16-bit picture), in MiB.
    reader.setAllocationLimit(int((int64_t(kept.width) * kept.height * 8 >> 20) + 1));
    QImage image = reader.read();
    if (device.late()) return Failure(std::string(stopRequested() ? kStopped : "the picture was not read in time"));
    if (image.isNull())
        return Failure("a picture that cannot be decoded: " + named + " (" + shown(reader.errorString()) + ")");
    return pictureOf(std::move(image));
}

// Removes the portal's file once it is read, when it is the plain file the portal just made for us.
void removePortalPicture(const std::string& path, const struct stat& read, std::chrono::system_clock::time_point askedAt) {
    struct stat atPath {};
    if (::lstat(path.c_str(), &atPath) != 0) return;
    const std::string name = QFileInfo(QString::fromStdString(path)).fileName().toStdString();
    if (mayRemovePortalPicture(name, atPath, read, ::getuid(), askedAt)) ::unlink(path.c_str());
}

// Whether the permission store holds our yes to screenshots; why not when no store answers.
Result<bool, std::string> screenshotPermission(QDBusConnection& bus, Deadline deadline) {
    QDBusMessage lookup =
        QDBusMessage::createMethodCall(kPermissionStoreService, kPermissionStorePath, kPermissionStoreInterface, "Lookup");
    lookup << QString(kScreenshotTable) << QString(kScreenshotId);
    QDBusPendingCall call = bus.asyncCall(lookup, millisecondsLeft(deadline) + kBusSlack);
    if (!answeredBy(call, deadline))
        return Failure(std::string(stopRequested() ? kStopped : "the permission store did not answer in time"));
    const QDBusMessage reply = call.reply();
    if (reply.type() == QDBusMessage::ErrorMessage) {
        // Never asked, so never answered: no yes.
        if (reply.errorName() == "org.freedesktop.portal.Error.NotFound") return false;
        return Failure("no permission store answers (" + shown(reply.errorMessage()) + ")");
    }
    AppPermissions permissions;
    const QDBusArgument argument = reply.arguments().value(0).value<QDBusArgument>();
    if (argument.currentType() == QDBusArgument::MapType) {
        argument.beginMap();
        while (!argument.atEnd()) {
            QString app;
            QStringList granted;
            argument.beginMapEntry();
            argument >> app >> granted;
            argument.endMapEntry();
            auto& list = permissions[app.toStdString()];
            for (const QString& one : granted)
                list.push_back(one.toStdString());
        }
        argument.endMap();
    }
    return screenshotAllowed(permissions);
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
    // A desktop that asks a person before its first screenshot is asked only once a person has said yes: the
    // saver starts while nobody is there to answer.
    const auto allowed = screenshotPermission(bus, deadline);
    if (!allowed) return Failure(allowed.reason());
    if (!*allowed) return Failure(std::string(kPortalNotAllowed));

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
    const auto askedAt = std::chrono::system_clock::now();
    const auto reply = callWithin(bus, message, deadline);
    if (reply && !answer.arrived) waitInLoop(loop, deadline);
    bus.disconnect(kPortalService, requestPath(bus, token), "org.freedesktop.portal.Request", "Response", &answer,
                   SLOT(onResponse(uint, QVariantMap)));
    if (!reply) return Failure(reply.reason());
    if (!answer.arrived)
        return Failure(std::string(stopRequested() ? kStopped : "no picture in time (the portal may be asking the user)"));
    if (answer.response != 0) return Failure(std::string("the screenshot was refused"));
    const QUrl url(answer.uri);
    if (!url.isLocalFile()) return Failure("a picture that is not a local file: " + shown(answer.uri));
    const std::string path = url.toLocalFile().toStdString();
    struct stat read {};
    auto picture = readPictureFile(path, deadline, read);
    if (read.st_ino != 0) removePortalPicture(path, read, askedAt);
    return picture;
}

// The session's load handler must not run the program's event loop (a timer or a stop signal handled in a
// loop nested inside it would end a session that has not begun): the bus is asked on a thread of its own,
// with a connection and event loop of its own, while the caller waits. Everything there keeps the deadline
// and ends at a stop signal.
template <typename T> Result<T, std::string> onOwnThread(Result<T, std::string> (*ask)(QDBusConnection&, Deadline),
                                                         Deadline deadline) {
    std::optional<Result<T, std::string>> result;
    std::thread asker([&] {
        const QString name = "mirevo-bus-" + QUuid::createUuid().toString(QUuid::Id128);
        {
            QDBusConnection bus = QDBusConnection::connectToBus(QDBusConnection::SessionBus, name);
            if (bus.isConnected())
                result.emplace(ask(bus, deadline));
            else
                result.emplace(Failure(std::string("no session bus")));
        }
        QDBusConnection::disconnectFromBus(name);
    });
    asker.join();
    return std::move(*result);
}

bool nameOnBus(QDBusConnection& bus, const char* name, bool orActivatable, Deadline deadline) {
    QDBusMessage owned = QDBusMessage::createMethodCall("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                        "org.freedesktop.DBus", "NameHasOwner");
    owned << QString(name);
    const auto reply = callWithin(bus, owned, deadline);
    if (reply && reply->arguments().value(0).toBool()) return true;
    if (!orActivatable) return false;
    const QDBusMessage list = QDBusMessage::createMethodCall("org.freedesktop.DBus", "/org/freedesktop/DBus",
                                                             "org.freedesktop.DBus", "ListActivatableNames");
    const auto names = callWithin(bus, list, deadline);
    return names && names->arguments().value(0).toStringList().contains(name);
}

Result<bool, std::string> askingDesktop(QDBusConnection& bus, Deadline deadline) {
    // The session takes its picture elsewhere there: KWin's service, the wlroots screen copy (asked by the
    // caller).
    if (nameOnBus(bus, kKWinService, false, deadline)) return false;
    if (!nameOnBus(bus, kPortalService, true, deadline)) return false;
    const auto allowed = screenshotPermission(bus, deadline);
    if (!allowed) return Failure(allowed.reason());
    return !*allowed;
}

Result<bool, std::string> storeYes(QDBusConnection& bus, Deadline deadline) {
    QDBusMessage set = QDBusMessage::createMethodCall(kPermissionStoreService, kPermissionStorePath,
                                                      kPermissionStoreInterface, "SetPermission");
    set << QString(kScreenshotTable) << true << QString(kScreenshotId) << QString(kUnsandboxedAppId)
        << QStringList{kPermissionYes};
    const auto reply = callWithin(bus, set, deadline);
    if (!reply) return Failure(reply.reason());
    return true;
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

bool desktopPictureNeedsConsent(Deadline deadline) {
    {
        auto connection = WaylandConnection::connect(std::chrono::milliseconds(millisecondsLeft(deadline)), stopSignalFd());
        if (!connection || (*connection)->globalVersion("zwlr_screencopy_manager_v1") > 0) return false;
    }
    const auto asks = onOwnThread(askingDesktop, deadline);
    return asks && *asks;
}

Result<void, std::string> allowDesktopPicture(Deadline deadline) {
    const auto stored = onOwnThread(storeYes, deadline);
    if (!stored) return Failure(stored.reason());
    return {};
}

} // namespace mirevo

#include "qt_screenshot_services.moc"

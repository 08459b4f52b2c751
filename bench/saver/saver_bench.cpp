// How fast the saver gets the desktop onto disk and the viewer going, and what it costs while it waits.
// Prints three tables; run it on a quiet machine (numbers include whatever else the cores are doing).
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/ipc.h>
#include <sys/shm.h>
#include <unistd.h>

#include "common/posix/atomic_file.h"
#include "saver/session/snapshot_bitmap.h"
#include "common/x11/x11_display.h"
#include "saver/session/x11_screen_grab.h"
#include "bench/harness/bench_numbers.h"
#include "tests/harness/child_process.h"
#include "tests/harness/poll.h"
#include "bench/harness/process_use.h"
#include "tests/harness/x_client.h"
#include "tests/harness/xvfb.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XShm.h>

using namespace mirevo;
using namespace mirevo::test;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

// On tmpfs where there is one, as XDG_RUNTIME_DIR is on a desktop.
struct TempFolder {
    std::string path;
    TempFolder() {
        char shm[] = "/dev/shm/mirevo-bench-XXXXXX", tmp[] = "/tmp/mirevo-bench-XXXXXX";
        const char* made = mkdtemp(shm);
        path = made ? made : mkdtemp(tmp);
    }
    ~TempFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

Image noisyPicture(int width, int height) {
    Image picture{width, height, std::vector<uint8_t>(size_t(width) * height * 3)};
    uint32_t seed = 12345;
    for (auto& byte : picture.rgb) {
        seed = seed * 1103515245 + 12345;
        byte = uint8_t(seed >> 16);
    }
    return picture;
}

// The best a snapshot can do: one shared-memory read and one write of as many bytes as the bitmap file has.
// Made once and reused, the segment's pages are already in place on both sides (the steady state, which a
// program that reads the screen once never reaches); made afresh, it is what a one-shot reader pays.
class ShmLimit {
public:
    ShmLimit(Display* display, int width, int height) : display_(display) {
        int screen = DefaultScreen(display);
        image_ = XShmCreateImage(display, DefaultVisual(display, screen), DefaultDepth(display, screen),
                                 ZPixmap, nullptr, &info_, width, height);
        info_.shmid = shmget(IPC_PRIVATE, size_t(image_->bytes_per_line) * height, IPC_CREAT | 0600);
        info_.shmaddr = image_->data = static_cast<char*>(shmat(info_.shmid, nullptr, 0));
        shmctl(info_.shmid, IPC_RMID, nullptr);
        info_.readOnly = False;
        XShmAttach(display, &info_);
        XSync(display, False);
    }
    ~ShmLimit() {
        XShmDetach(display_, &info_);
        XSync(display_, False);
        shmdt(info_.shmaddr);
        image_->data = nullptr;
        XDestroyImage(image_);
    }
    double run(const std::string& path, size_t bytes) {
        auto start = Clock::now();
        XShmGetImage(display_, DefaultRootWindow(display_), image_, 0, 0, AllPlanes);
        int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
        [[maybe_unused]] ssize_t written = write(fd, image_->data, bytes);
        close(fd);
        return ms(Clock::now() - start);
    }

private:
    Display* display_;
    XImage* image_ = nullptr;
    XShmSegmentInfo info_{};
};

double snapshotOnce(Display* display, GrabMethod method, const std::string& path) {
    auto start = Clock::now();
    auto screen = openScreenRows(display, primaryScreenArea(display), method);
    if (!screen) return -1;
    writeFileAtomically(path, [&](const ByteSink& sink) {
        return writeMirroredBitmap(*screen, sink).ok();
    });
    return ms(Clock::now() - start);
}

void snapshotTable() {
    std::printf("Snapshot of the screen: read, mirror, write (median of 15 runs, ms; files on %s)\n",
                TempFolder().path.rfind("/dev/shm", 0) == 0 ? "tmpfs" : "disk");
    std::printf("%-11s %12s %12s %12s %12s %10s %10s\n", "screen", "limit reuse", "limit fresh", "snapshot",
                "plain image", "/fresh", "/reuse");
    for (auto [w, h] : {std::pair{1920, 1080}, std::pair{3840, 2160}}) {
        Xvfb server(w, h);
        XClient painter(server.display());
        painter.setRootPicture(noisyPicture(w, h));
        setenv("DISPLAY", server.display().c_str(), 1);
        auto display = X11Display::open();
        TempFolder folder;
        const std::string path = folder.path + "/Tovik.bmp";
        std::vector<double> limit, fresh, snapshot, plain;
        ShmLimit shm(display->get(), w, h);
        for (int i = 0; i < 15; ++i) {
            limit.push_back(shm.run(folder.path + "/limit.bin", bitmapFileSize(w, h)));
            auto start = Clock::now();
            ShmLimit(display->get(), w, h).run(folder.path + "/limit.bin", bitmapFileSize(w, h));
            fresh.push_back(ms(Clock::now() - start));
            snapshot.push_back(snapshotOnce(display->get(), GrabMethod::Fastest, path));
            plain.push_back(snapshotOnce(display->get(), GrabMethod::PlainImage, path));
        }
        std::printf("%4dx%-6d %12.1f %12.1f %12.1f %12.1f %10.2f %10.2f\n", w, h, median(limit),
                    median(fresh), median(snapshot), median(plain), median(snapshot) / median(fresh),
                    median(snapshot) / median(limit));
    }
    std::printf("\n");
}

long long readStamp(const std::string& path) {
    long long value = 0;
    std::ifstream(path) >> value;
    return value;
}

long long monotonicNow() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return (long long)now.tv_sec * 1000000000LL + now.tv_nsec;
}

// A folder holding Mirevo.scr and the stand-in as Mirevo.dll.
struct SaverCopy {
    TempFolder folder, runtime;
    std::string saver;
    SaverCopy() {
        saver = folder.path + "/Mirevo.scr";
        std::error_code ignored; // a missing copy shows as the saver failing to start
        std::filesystem::copy_file(MIREVO_BIN_DIR "/Mirevo.scr", saver, ignored);
        std::filesystem::copy_file(MIREVO_STAND_IN, folder.path + "/Mirevo.dll", ignored);
    }
};

void startTable() {
    Xvfb server(1920, 1080);
    XClient painter(server.display());
    painter.setRootPicture(noisyPicture(1920, 1080));
    SaverCopy copy;
    std::vector<double> delays;
    for (int i = 0; i < 10; ++i) {
        const std::string stamp = copy.runtime.path + "/stamp";
        unlink(stamp.c_str());
        long long start = monotonicNow();
        ChildProcess saver({copy.saver, "/s"}, {{"DISPLAY", server.display()},
                                                {"XDG_RUNTIME_DIR", copy.runtime.path},
                                                {"MIREVO_BENCH_STAMP", stamp}});
        saver.waitExit(20s); // the stand-in exits at once, and so does the session after it
        long long started = readStamp(stamp);
        if (started > 0) delays.push_back(double(started - start) / 1e6);
    }
    std::sort(delays.begin(), delays.end());
    std::printf("From \"Mirevo.scr /s\" to the viewer's process start, 1920x1080 (%zu runs, ms)\n",
                delays.size());
    std::printf("%10s %10s %10s\n", "min", "median", "max");
    if (!delays.empty())
        std::printf("%10.1f %10.1f %10.1f\n\n", delays.front(), median(delays), delays.back());
}

void idleTable() {
    constexpr int kSeconds = 10;
    std::printf("The saver while the viewer runs (1920x1080, over %d s)\n", kSeconds);
    printWaitingCostHeading();
    Xvfb server(1920, 1080);
    XClient painter(server.display());
    painter.setRootPicture(noisyPicture(1920, 1080));
    SaverCopy copy;
    ChildProcess saver({copy.saver, "/s"}, {{"DISPLAY", server.display()},
                                            {"XDG_RUNTIME_DIR", copy.runtime.path},
                                            {"MIREVO_BENCH_HOLD", std::to_string(kSeconds + 5)}});
    XClient watcher(server.display());
    pollUntil(10s, [&] { return watcher.findWindow("Tovik_VC") != 0; });
    printWaitingCost(saver.pid(), kSeconds);
    saver.terminate();
}

} // namespace

int main() {
    snapshotTable();
    startTable();
    idleTable();
    return 0;
}

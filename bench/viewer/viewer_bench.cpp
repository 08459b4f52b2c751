// Measures the viewer: building the texture by each mipmap path, the time from process start to the first
// frame presented, and the frame rate and CPU time per frame under Xvfb. Prints tables.
//
//   viewer_bench            all tables (starts its own Xvfb); the huge snapshot is a sparse 768 MiB file
//   viewer_bench --texture DISPLAY FILE PATH   one texture build in a fresh process (used by the above)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <GL/gl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "bench/harness/bench_numbers.h"
#include "bench/viewer/trace_lines.h"
#include "tests/harness/child_process.h"
#include "tests/harness/poll.h"
#include "tests/harness/test_bitmap.h"
#include "tests/harness/xvfb.h"
#include "tests/viewer/gl_test_context.h"
#include "viewer/picture/bmp_reader.h"
#include "viewer/scene/scene_texture.h"
#include "viewer/scene/trace.h"

using namespace mirevo;
using mirevo::bench::TraceLine;
using mirevo::bench::traceLine;
using mirevo::test::median;
using namespace std::chrono_literals;

namespace {

constexpr int kRuns = 3;

struct Size {
    int width, height;
};
const Size kSizes[] = {{1920, 1080}, {3840, 2160}};

std::optional<viewer::MipmapPath> pathNamed(const std::string& name) {
    for (auto path : {viewer::MipmapPath::Glu, viewer::MipmapPath::GlGenerate, viewer::MipmapPath::CpuLevels})
        if (name == viewer::describe(path)) return path;
    return std::nullopt; // the viewer's own choice
}

// One build in a fresh context: the first of a process is what the viewer pays. Prints
// "read-ms cold-ms warm-ms chosen-path".
int textureMode(const std::string& display, const std::string& file, const std::string& pathName) {
    test::GlTestContext context(display, 64, 64);
    if (!context.ok()) {
        std::fprintf(stderr, "no GL context: %s\n", context.error().c_str());
        return 1;
    }
    auto forced = pathNamed(pathName);
    double t0 = viewer::Trace::monotonicSeconds();
    auto image = viewer::loadBmpFile(file);
    double t1 = viewer::Trace::monotonicSeconds();
    if (!image) return 1;
    double builds[2];
    viewer::MipmapPath used = viewer::MipmapPath::Glu;
    for (double& ms : builds) {
        viewer::SceneTexture texture;
        double start = viewer::Trace::monotonicSeconds();
        texture.Create(file);
        texture.upload(*image, forced);
        glFinish();
        ms = (viewer::Trace::monotonicSeconds() - start) * 1000;
        used = *texture.lastPath();
    }
    std::printf("%.2f %.2f %.2f %s\n", (t1 - t0) * 1000, builds[0], builds[1], viewer::describe(used));
    return 0;
}

std::string makeSnapshotFolder(Size size) {
    char tmpl[] = "/tmp/mirevo-bench-XXXXXX";
    std::string folder = mkdtemp(tmpl);
    chmod(folder.c_str(), 0700);
    auto bytes = test::makeBmp(size.width, size.height, [&](int x, int y) {
        return test::Rgb{uint8_t(x * 255 / size.width), uint8_t(y * 255 / size.height),
                         uint8_t((x ^ y) & 0xFF)};
    });
    test::writeFile(folder + "/Tovik.bmp", bytes);
    return folder;
}

// The most the process has held so far, from the kernel's count.
double peakResidentMiB(pid_t pid) {
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmHWM:", 0) == 0) return std::atof(line.c_str() + 6) / 1024;
    return 0;
}

struct ViewerRun {
    double firstFrameMs = 0;
    double peakMiB = 0;
    std::string texture;
    double fps = 0, cpuPerFrameMs = 0, cpuPercent = 0;
};

ViewerRun runViewer(const std::string& viewerPath, const std::string& display, const std::string& folder,
                    std::chrono::milliseconds runFor) {
    ViewerRun result;
    double spawned = viewer::Trace::monotonicSeconds();
    test::ChildProcess process({viewerPath}, {{"DISPLAY", display},
                                              {"XDG_RUNTIME_DIR", folder},
                                              {"MIREVO_VIEWER_TRACE", "1"},
                                              {"LIBGL_ALWAYS_SOFTWARE", "1"}});
    if (!test::pollUntil(
            20s, [&] { return traceLine(process.errors(), "first-frame").found || !process.running(); }))
        return result;
    TraceLine first = traceLine(process.errors(), "first-frame");
    result.firstFrameMs = (first.seconds - spawned) * 1000;
    result.texture = traceLine(process.errors(), "texture").detail;
    result.peakMiB = peakResidentMiB(process.pid());
    if (runFor.count() > 0) {
        auto until = std::chrono::steady_clock::now() + runFor;
        test::pollUntil(runFor + 1s, [&] { return std::chrono::steady_clock::now() >= until; });
    }
    process.terminate(); // SIGTERM reaches the viewer as a quit request
    process.waitExit(5s);
    TraceLine last = traceLine(process.errors(), "frames");
    if (last.found && first.found) {
        double frames = std::atof(last.detail.c_str()) - 1;
        double wall = last.seconds - first.seconds;
        if (frames > 0 && wall > 0) {
            result.fps = frames / wall;
            result.cpuPerFrameMs = (last.cpu - first.cpu) / frames * 1000;
            result.cpuPercent = (last.cpu - first.cpu) / wall * 100;
        }
    }
    return result;
}

} // namespace

int main(int argc, char** argv) {
    if (argc == 5 && std::strcmp(argv[1], "--texture") == 0) {
        return textureMode(argv[2], argv[3], argv[4]);
    }

    const std::string self = std::filesystem::canonical("/proc/self/exe");
    const std::string viewerPath = std::string(MIREVO_BIN_DIR) + "/Mirevo.dll";
    test::Xvfb server(1024, 768);
    if (!server.ok()) return 1;
    std::vector<std::string> folders;
    for (Size size : kSizes)
        folders.push_back(makeSnapshotFolder(size));

    std::printf("Texture build alone (file read apart), median of %d fresh processes, ms; vs GLU: the first build\n"
                "over GLU's (the viewer's own choice: target <= 0.25)\n", kRuns);
    std::printf("%-10s %-12s %8s %12s %12s %7s  %s\n", "snapshot", "path", "read", "first build", "again", "vs GLU",
                "");
    for (size_t i = 0; i < std::size(kSizes); ++i) {
        double glu = 0;
        for (const char* path : {"glu", "gl-generate", "cpu-levels", "auto"}) {
            std::vector<double> read, cold, warm;
            std::string chosen;
            for (int run = 0; run < kRuns; ++run) {
                test::ChildProcess child(
                    {self, "--texture", server.display(), folders[i] + "/Tovik.bmp", path});
                if (child.waitExit(60s) != 0) continue;
                std::istringstream in(child.output());
                double r = 0, c = 0, w = 0;
                in >> r >> c >> w >> chosen;
                read.push_back(r), cold.push_back(c), warm.push_back(w);
            }
            if (std::strcmp(path, "glu") == 0) glu = median(cold);
            std::printf("%4dx%-5d %-12s %8.1f %12.1f %12.1f %7.2f  %s\n", kSizes[i].width, kSizes[i].height, path,
                        median(read), median(cold), median(warm), glu > 0 ? median(cold) / glu : 0.0,
                        std::strcmp(path, "auto") == 0 ? ("(viewer picks " + chosen + ")").c_str() : "");
        }
    }

    std::printf("\nViewer start-up: process start to first frame presented, median of %d runs\n", kRuns);
    std::printf("%-10s %14s  %s\n", "snapshot", "first frame ms", "texture (trace)");
    for (size_t i = 0; i < std::size(kSizes); ++i) {
        std::vector<double> first;
        std::string texture;
        for (int run = 0; run < kRuns; ++run) {
            ViewerRun r = runViewer(viewerPath, server.display(), folders[i], 0ms);
            first.push_back(r.firstFrameMs);
            texture = r.texture;
        }
        std::printf("%4dx%-5d %14.1f  %s\n", kSizes[i].width, kSizes[i].height, median(first),
                    texture.c_str());
    }

    const Size huge{16385, 16385};
    char hugeTemplate[] = "/tmp/mirevo-bench-XXXXXX";
    const std::string hugeFolder = mkdtemp(hugeTemplate);
    test::writeSparseBmp(hugeFolder + "/Tovik.bmp", huge.width, huge.height); // black, its rows a hole
    std::printf("\nA snapshot above the GL's largest texture, median of %d runs\n", kRuns);
    std::printf("%-12s %14s %14s  %s\n", "snapshot", "first frame ms", "peak RSS MiB", "texture (trace)");
    {
        std::vector<double> first, peak;
        std::string texture;
        for (int run = 0; run < kRuns; ++run) {
            ViewerRun r = runViewer(viewerPath, server.display(), hugeFolder, 0ms);
            first.push_back(r.firstFrameMs), peak.push_back(r.peakMiB);
            texture = r.texture;
        }
        std::printf("%5dx%-6d %14.1f %14.1f  %s\n", huge.width, huge.height, median(first), median(peak),
                    texture.c_str());
    }
    std::filesystem::remove_all(hugeFolder);

    std::printf("\nFrames at 1024x768 under Xvfb (5 s after the first frame)\n");
    std::printf("%-10s %10s %16s %10s\n", "snapshot", "frames/s", "CPU ms/frame", "CPU %");
    for (size_t i = 0; i < std::size(kSizes); ++i) {
        ViewerRun r = runViewer(viewerPath, server.display(), folders[i], 5000ms);
        std::printf("%4dx%-5d %10.1f %16.2f %10.1f\n", kSizes[i].width, kSizes[i].height, r.fps,
                    r.cpuPerFrameMs, r.cpuPercent);
    }
    for (const auto& folder : folders)
        std::filesystem::remove_all(folder);
    return 0;
}

#include "viewer/hack/hack_arguments.h"

#include <cerrno>
#include <cstdlib>

namespace mirevo::viewer {

std::optional<unsigned long> parseWindowId(const std::string& text) {
    if (text.empty() || text[0] == '-' || text[0] == '+' || text[0] == ' ') return std::nullopt;
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    errno = 0;
    char* end = nullptr;
    const unsigned long long value = std::strtoull(text.c_str(), &end, hex ? 16 : 10);
    // X ids are 29-bit; anything wider is not a window.
    if (errno != 0 || *end != '\0' || value == 0 || value > 0x1FFFFFFFull) return std::nullopt;
    return static_cast<unsigned long>(value);
}

bool runsAsTheSaver(const ViewerArguments& arguments, WindowSize window, WindowSize screen) {
    return arguments.root || (window.width >= screen.width && window.height >= screen.height);
}

namespace {

Failure<std::string> usage(std::string problem) {
    return Failure<std::string>(std::move(problem));
}

// "--fps" and "-fps" alike; empty for anything that is not an option.
std::string optionName(const std::string& arg) {
    if (arg.rfind("--", 0) == 0) return arg.substr(2);
    if (arg.rfind("-", 0) == 0) return arg.substr(1);
    return {};
}

} // namespace

Result<ViewerArguments, std::string> parseViewerArguments(const std::vector<std::string>& args,
                                     const std::optional<std::string>& xscreensaverWindow) {
    if (args.empty()) return ViewerArguments{};
    bool root = false, fps = false, install = false, uninstall = false;
    std::optional<unsigned long> windowId;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string name = optionName(args[i]);
        if (name == "root") {
            root = true;
        } else if (name == "fps") {
            fps = true;
        } else if (name == "window-id") {
            if (i + 1 == args.size()) return usage("--window-id needs a window id");
            windowId = parseWindowId(args[++i]);
            if (!windowId) return usage("not a window id: " + args[i]);
        } else if (name == "install-xscreensaver" && args.size() == 1) {
            install = true;
        } else if (name == "uninstall-xscreensaver" && args.size() == 1) {
            uninstall = true;
        } else {
            return usage("unknown argument: " + args[i]);
        }
    }
    ViewerArguments result;
    if (install || uninstall) {
        result.mode = install ? ViewerMode::InstallXscreensaver : ViewerMode::UninstallXscreensaver;
        return result;
    }
    result.root = !windowId && root;
    if (!windowId && root) {
        if (!xscreensaverWindow) return usage("--root needs XSCREENSAVER_WINDOW");
        windowId = parseWindowId(*xscreensaverWindow);
        if (!windowId) return usage("XSCREENSAVER_WINDOW is not a window id: " + *xscreensaverWindow);
    }
    if (!windowId) return usage("no window to draw into");
    result.mode = ViewerMode::Hack;
    result.window = *windowId;
    result.showFps = fps;
    return result;
}

} // namespace mirevo::viewer

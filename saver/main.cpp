// Mirevo.scr: the screen saver's start-up.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>

#include <QApplication>
#include <QLocale>
#include <QTranslator>

#include "common/log.h"
#include "common/posix/posix_stop_signals.h"
#include "common/program_names.h"
#include "common/session_bus.h"
#include "common/wayland/session_platform.h"
#include "common/x11/x11_display.h"
#include "saver/startup/command_line.h"
#include "saver/qt_toolkit.h"
#include "saver/startup/tovik_main.h"
#include "saver/startup_stop_guard.h"
#include "saver/wayland_saver_desktop.h"
#include "saver/x11_saver_desktop.h"

int main(int argc, char** argv) {
    mirevo::startLog(mirevo::kSaverFileName);
    const std::string arguments = mirevo::argumentText(argc, argv);
    // Before Qt (and the viewer, which inherits it) could ask for a session bus that is not there.
    mirevo::forbidSessionBusAutolaunch();
    // From here on a stop is noted and every wait of the start-up looks for it (the settings dialog takes a
    // while to come up, a desktop a while to give its picture); the guard ends a start-up stuck elsewhere.
    mirevo::catchStopSignals();
    mirevo::StartupStopGuard guard;

    auto platform = mirevo::chooseSessionPlatform(mirevo::stopSignalFd());
    if (!platform) {
        if (platform.reason().stopped) return 0;
        mirevo::logError(platform.reason().line);
        return 1;
    }
    // Each picture source connects when it is asked; nothing is kept open meanwhile.
    platform->compositor.reset();
    // The viewer makes the same choice without asking the compositor again.
    setenv("MIREVO_PLATFORM", mirevo::platformName(platform->platform), 1);
    // In an X11 session, the saver's own connection, open for the whole process: the hidden session window,
    // the window search, the screen grab and the cursor go through it. Hiding the cursor lasts only while the
    // connection that hid it lives, so it outlives the desktop.
    std::optional<mirevo::X11Display> display;
    if (platform->platform == mirevo::Platform::Wayland) {
        // Nothing is taken from XWayland in a Wayland session: not Qt's windows, not the viewer's.
        setenv("QT_QPA_PLATFORM", "wayland", 1);
        unsetenv("DISPLAY");
    } else {
        // The desktop picture and the window search need X. Without a display say so once and end, before Qt
        // would abort.
        setenv("QT_QPA_PLATFORM", "xcb", 1);
        auto opened = mirevo::X11Display::open();
        if (!opened) {
            mirevo::logError(opened.reason() + "; the screen saver needs a Wayland compositor or an X display.");
            return 1;
        }
        display.emplace(std::move(*opened));
    }
    if (mirevo::stopRequested()) return 0;

    // Qt reads options such as -session or -reverse from its arguments; the saver's switches are its own.
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QApplication application(qtArgc, qtArgv);
    mirevo::installFontSubstitutions();
    const auto qtTexts = mirevo::installQtTranslations(QLocale());

    // The desktop serves the start-up and then the session; its timers and windows go before the application.
    mirevo::ProgramState state;
    std::unique_ptr<mirevo::SaverDesktop> desktop;
    if (display)
        desktop = std::make_unique<mirevo::X11SaverDesktop>(display->get(), state);
    else
        desktop = std::make_unique<mirevo::WaylandSaverDesktop>(state);
    if (mirevo::Main(arguments, *desktop, state) == mirevo::MainOutcome::End) return 0;
    // The start-up is over: the event loop answers stops from here (the session's unload). The preview has
    // nothing of its own to undo, so a stop ends it as the signal's default would.
    guard.disarm();
    if (mirevo::switchLetter(arguments) == 'P') {
        if (mirevo::stopRequested()) return 0;
        mirevo::releaseStopSignals();
    }
    return application.exec();
}

// Mirevo.scr: the screen saver's start-up.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <optional>

#include <QApplication>
#include <QLocale>
#include <QTranslator>

#include "common/platform_choice.h"
#include "common/posix/posix_stop_signals.h"
#include "common/session_bus.h"
#include "common/wayland/wayland_connection.h"
#include "common/x11/x11_display.h"
#include "saver/startup/command_line.h"
#include "saver/qt_startup_platform.h"
#include "saver/qt_toolkit.h"
#include "saver/startup/tovik_main.h"
#include "saver/wayland_saver_desktop.h"
#include "saver/x11_saver_desktop.h"

int main(int argc, char** argv) {
    const std::string arguments = mirevo::argumentText(argc, argv);
    // Before Qt (and the viewer, which inherits it) could ask for a session bus that is not there.
    mirevo::forbidSessionBusAutolaunch();
    // The settings dialog takes a while to come up; a stop asked for meanwhile must still close it.
    if (mirevo::switchLetter(arguments) == 'C') mirevo::catchStopSignals();

    const auto platform = mirevo::choosePlatform(
        mirevo::platformEnvironment(), [] { return mirevo::waylandCompositorAnswers(std::chrono::seconds(3)); },
        "Mirevo.scr");
    if (!platform) {
        std::fprintf(stderr, "%s\n", platform.reason().c_str());
        return 1;
    }
    // The viewer makes the same choice without asking the compositor again.
    setenv("MIREVO_PLATFORM", mirevo::platformName(*platform), 1);
    // In an X11 session, the saver's own connection, open for the whole process: the hidden session window,
    // the window search, the screen grab and the cursor go through it. Hiding the cursor lasts only while the
    // connection that hid it lives, so it outlives the session.
    std::optional<mirevo::X11Display> display;
    std::unique_ptr<mirevo::SaverDesktop> desktop;
    if (*platform == mirevo::Platform::Wayland) {
        // Nothing is taken from XWayland in a Wayland session: not Qt's windows, not the viewer's.
        setenv("QT_QPA_PLATFORM", "wayland", 1);
        unsetenv("DISPLAY");
        desktop = std::make_unique<mirevo::WaylandSaverDesktop>();
    } else {
        // The desktop picture and the window search need X. Without a display say so once and end, before Qt
        // would abort.
        setenv("QT_QPA_PLATFORM", "xcb", 1);
        auto opened = mirevo::X11Display::open();
        if (!opened) {
            std::fprintf(stderr, "Mirevo.scr: %s; the screen saver needs a Wayland compositor or an X display.\n",
                         opened.reason().c_str());
            return 1;
        }
        display.emplace(std::move(*opened));
        desktop = std::make_unique<mirevo::X11SaverDesktop>(display->get());
    }

    // Qt reads options such as -session or -reverse from its arguments; the saver's switches are its own.
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QApplication application(qtArgc, qtArgv);
    mirevo::installFontSubstitutions();
    const auto qtTexts = mirevo::installQtTranslations(QLocale());

    mirevo::ProgramState state;
    mirevo::QtStartupPlatform startup(*desktop, state);
    if (mirevo::Main(arguments, startup, state) == mirevo::MainOutcome::End) return 0;
    return application.exec();
}

// Mirevo.scr: the screen saver's start-up.
#include <cstdio>
#include <cstdlib>

#include <QApplication>
#include <QLocale>
#include <QTranslator>

#include "common/posix/posix_stop_signals.h"
#include "common/session_bus.h"
#include "common/x11/x11_display.h"
#include "saver/startup/command_line.h"
#include "saver/qt_startup_platform.h"
#include "saver/qt_toolkit.h"
#include "saver/startup/tovik_main.h"

int main(int argc, char** argv) {
    const std::string arguments = mirevo::argumentText(argc, argv);
    // Before Qt (and the viewer, which inherits it) could ask for a session bus that is not there.
    mirevo::forbidSessionBusAutolaunch();
    // The settings dialog takes a while to come up; a stop asked for meanwhile must still close it.
    if (mirevo::switchLetter(arguments) == 'C') mirevo::catchStopSignals();

    // The desktop picture and the window search need X; under Wayland that means XWayland, never Qt's
    // Wayland plugin. Without a display say so once and end, before Qt would abort.
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    // The saver's own connection, open for the whole process: the hidden session window, the window search,
    // the screen grab and the cursor go through it. Hiding the cursor lasts only while the connection that
    // hid it lives, so it outlives the session.
    auto display = mirevo::X11Display::open();
    if (!display) {
        std::fprintf(stderr, "Mirevo.scr: %s; the screen saver needs X11 or XWayland.\n",
                     display.reason().c_str());
        return 1;
    }

    // Qt reads options such as -session or -reverse from its arguments; the saver's switches are its own.
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QApplication application(qtArgc, qtArgv);
    mirevo::installFontSubstitutions();
    const auto qtTexts = mirevo::installQtTranslations(QLocale());

    mirevo::ProgramState state;
    mirevo::QtStartupPlatform platform(display->get(), state);
    if (mirevo::Main(arguments, platform, state) == mirevo::MainOutcome::End) return 0;
    return application.exec();
}

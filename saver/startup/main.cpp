// Mirevo.scr: the screen saver's start-up.
#include <cstdio>
#include <cstdlib>

#include <QApplication>
#include <QLocale>
#include <QTranslator>

#include "saver/session/x11_display.h"
#include "saver/startup/command_line.h"
#include "saver/startup/qt_startup_platform.h"
#include "saver/startup/qt_toolkit.h"
#include "saver/startup/tovik_main.h"

int main(int argc, char** argv) {
    const std::string arguments = mirevo::argumentText(argc, argv);

    // The desktop picture and the window search need X; under Wayland that means XWayland, never Qt's
    // Wayland plugin. Without a display say so once and end, before Qt would abort.
    setenv("QT_QPA_PLATFORM", "xcb", 1);
    std::unique_ptr<mirevo::X11Display> display = mirevo::X11Display::open();
    if (!display) {
        std::fprintf(stderr, "%s\n", mirevo::noDisplayReason().c_str());
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

// A program that shows nothing but the preview: the window's behaviour, apart from the saver's start-up.
// Usage: preview_probe <host window id>
#include <cstdlib>

#include <QGuiApplication>

#include "saver/preview/preview_window.h"

int main(int argc, char** argv) {
    QGuiApplication application(argc, argv);
    const long host = argc > 1 ? std::strtol(argv[1], nullptr, 10) : 0;
    if (!mirevo::ShowPreview(static_cast<int32_t>(host))) return 0;
    return application.exec();
}

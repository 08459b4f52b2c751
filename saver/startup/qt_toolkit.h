#pragma once
// Application services of the window toolkit on Qt: the program folder, the screen's size and twips per
// pixel, and the one message box.
#include <string>

namespace mirevo {

// Folder of the running executable, without a trailing "/" ("/" itself for the root folder).
std::string programFolderOfExecutable();

struct ScreenSize {
    int width = 0, height = 0;  // pixels
};
// The primary screen. Needs the QApplication.
ScreenSize screenSize();

// 1440 twips to the inch over the screen's logical dots per inch: 15 at 96. Needs the QApplication.
int twipsPerPixelX();
int twipsPerPixelY();

// Modal, OK only, no icon, the caption as its title; returns when it is closed. Needs the QApplication.
void showMessageBox(const std::string& text, const std::string& caption);

} // namespace mirevo

#pragma once
// Application services of the window toolkit on Qt: the program folder and the one message box.
#include <string>

namespace mirevo {

// Folder of the running executable, without a trailing "/" ("/" itself for the root folder).
std::string programFolderOfExecutable();

// Modal, OK only, no icon, the caption as its title; returns when it is closed. Needs the QApplication.
void showMessageBox(const std::string& text, const std::string& caption);

} // namespace mirevo

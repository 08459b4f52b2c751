#pragma once
// Application services of the window toolkit on Qt: the program folder, the one message box, the fonts.
#include <string>

namespace mirevo {

// Folder of the running executable, without a trailing "/" ("/" itself for the root folder).
std::string programFolderOfExecutable();

// Modal, OK only, no icon, the caption as its title; returns when it is closed. Needs the QApplication.
void showMessageBox(const std::string& text, const std::string& caption);

// The dialogs ask for the Japanese system font "ＭＳ Ｐゴシック"; every widget of the program draws it as IPA
// P Gothic. Call once, before the first widget.
void installFontSubstitutions();

} // namespace mirevo

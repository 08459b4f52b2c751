#pragma once
// Application services of the window toolkit on Qt: the program folder, the one message box, the fonts,
// Qt's own texts in the user's language.
#include <memory>
#include <string>

class QLocale;
class QTranslator;

namespace mirevo {

// Folder of the running executable, without a trailing "/" ("/" itself for the root folder).

// Modal, OK only, no icon, the caption as its title; returns when it is closed. Needs the QApplication.
void showMessageBox(const std::string& text, const std::string& caption);

// The dialogs ask for the Japanese system font "ＭＳ Ｐゴシック"; every widget of the program draws it as IPA
// P Gothic. Call once, before the first widget.
void installFontSubstitutions();

// Qt's own texts (the file chooser, the standard buttons) in the language of locale, from the translations
// installed with Qt (Debian's qt6-translations-l10n), as other Qt programs show them. They stay installed
// while the result lives; nothing when there are none for that language.
std::unique_ptr<QTranslator> installQtTranslations(const QLocale& locale);

} // namespace mirevo

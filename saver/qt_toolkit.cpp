#include "saver/qt_toolkit.h"

#include <QCoreApplication>
#include <QFont>
#include <QGuiApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QMessageBox>
#include <QScreen>
#include <QTranslator>

namespace mirevo {

void showMessageBox(const std::string& text, const std::string& caption) {
    QMessageBox box;
    box.setIcon(QMessageBox::NoIcon);
    box.setWindowTitle(QString::fromStdString(caption));
    box.setText(QString::fromStdString(text));
    box.setStandardButtons(QMessageBox::Ok);
    box.setDefaultButton(QMessageBox::Ok);
    box.exec();
}

void installFontSubstitutions() {
    // fonts-ipafont-gothic's proportional face; its metrics are close to the font the layouts were made with.
    QFont::insertSubstitution(QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic"));
}

std::unique_ptr<QTranslator> installQtTranslations(const QLocale& locale) {
    auto translator = std::make_unique<QTranslator>();
    // "qt" gathers Qt's modules (qtbase_ja.qm and the others) for the language.
    if (!translator->load(locale, QStringLiteral("qt"), QStringLiteral("_"),
                          QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        return nullptr;
    QCoreApplication::installTranslator(translator.get());
    return translator;
}

} // namespace mirevo

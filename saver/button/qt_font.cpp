#include "saver/button/qt_font.h"

#include <algorithm>

#include <QString>

namespace mirevo {

QFont qtFont(const FontSpec& stored) {
    QFont font(QString::fromStdString(stored.face));
    if (stored.pointSize > 0) font.setPointSizeF(stored.pointSize);
    font.setWeight(QFont::Weight(std::clamp(stored.weight, 1, 1000)));
    font.setItalic(stored.italic);
    font.setUnderline(stored.underline);
    font.setStrikeOut(stored.strikeout);
    return font;
}

FontSpec storedFont(const QFont& font, int charset) {
    // A font sized in pixels gets its size in points at the 96 dots per inch the layouts assume.
    double points = font.pointSizeF() > 0 ? font.pointSizeF() : font.pixelSize() * 72.0 / 96.0;
    return {font.family().toStdString(),
            points,
            int(font.weight()),
            font.italic(),
            font.underline(),
            font.strikeOut(),
            charset};
}

} // namespace mirevo

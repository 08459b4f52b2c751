#include "saver/settings_dialog/qt_dialog_widgets.h"

#include <QPainter>
#include <QTextLayout>
#include <QTextOption>

namespace mirevo {

QPixmap qtGradientPixmap(QSize size, Rgb (*colourOf)(uint8_t)) {
    QPixmap pixmap(size);
    if (size.isEmpty()) return pixmap;
    QPainter painter(&pixmap);
    const std::vector<uint8_t> levels = gradientLevels(size.height());
    for (int y = 0; y < int(levels.size()); ++y) {
        const Rgb c = colourOf(levels[std::size_t(y)]);
        painter.setPen(QColor(c[0], c[1], c[2]));
        painter.drawLine(0, y, size.width(), y);
    }
    return pixmap;
}

QImage qtImage(const Picture& picture) {
    QImage image(picture.width, picture.height, QImage::Format_ARGB32);
    for (int y = 0; y < picture.height; ++y)
        for (int x = 0; x < picture.width; ++x)
            image.setPixel(x, y, picture.at(x, y));
    return image;
}

void QtGradientPanel::paintBackground() {
    background_ = qtGradientPixmap(size(), panelRowColour);
    update();
}

void QtGradientPanel::paintEvent(QPaintEvent*) {
    QPainter(this).drawPixmap(0, 0, background_);
}

void QtPathLabel::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::WindowText));
    const QRectF area(contentsRect());
    QTextOption option(Qt::AlignLeft | Qt::AlignTop);
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    QTextLayout layout(text(), font(), this);
    layout.setTextOption(option);
    layout.beginLayout();
    qreal top = 0;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(area.width());
        line.setPosition(QPointF(0, top));
        top += line.height();
    }
    layout.endLayout();
    // Whole lines only: the label is two lines high, and the top of a third would show below them.
    for (int i = 0; i < layout.lineCount(); ++i) {
        const QTextLine line = layout.lineAt(i);
        if (line.y() + line.height() > area.height()) break;
        line.draw(&painter, area.topLeft());
    }
}

} // namespace mirevo

#pragma once
// The settings window's own small widgets on Qt: the panel with its painted background, the two-line path
// label, and Qt pictures of the dialog's drawn pictures.
#include <QLabel>
#include <QPixmap>
#include <QWidget>

#include "saver/settings_dialog/dialog_gradient.h"
#include "saver/settings_dialog/dialog_pictures.h"

namespace mirevo {

// The rows of gradientLevels(size.height()), each a line across the whole width in colourOf(v).
QPixmap qtGradientPixmap(QSize size, Rgb (*colourOf)(uint8_t));

QImage qtImage(const Picture& picture);

// Paints its gradient once per size into a kept picture, which every later paint shows.
class QtGradientPanel : public QWidget {
public:
    explicit QtGradientPanel(QWidget* parent) : QWidget(parent) {}
    void paintBackground();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    QPixmap background_;
};

// A path does not break at spaces: the label wraps it anywhere and shows what fits in its lines.
class QtPathLabel : public QLabel {
public:
    explicit QtPathLabel(QWidget* parent) : QLabel(parent) {}

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace mirevo

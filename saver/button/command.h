#pragma once
// Command: the saver's own push button, a small child window that paints its face from six built-in skins
// over a gradient, shows a one-line caption, tracks the pointer itself for its hover look, and raises Click.
//
// A host loads its stored properties (Load), gives it a size, then calls Initialize once its window has
// loaded. A control that is never loaded stays switched off (the Disable face) until Enabled() is read.
#include <cstdint>
#include <memory>

#include <QBasicTimer>
#include <QFont>
#include <QImage>
#include <QString>
#include <QWidget>

#include "saver/button/button_properties.h"
#include "saver/button/button_state_machine.h"

namespace mirevo {

class CommandControl;

class Command : public QWidget {
    Q_OBJECT

public:
    explicit Command(QWidget* parent = nullptr);
    ~Command() override;

    // Starts the hover tracking: state Idle and the 100 ms leave poll. No repaint.
    void Initialize();

    // The control's own enabled switch (the window stays enabled and can take the focus). Every read
    // repaints the face (Normal or Disable); the first read of a never-loaded control switches it on.
    bool Enabled();
    void SetEnabled(bool enabled);
    QString Caption() const;
    void SetCaption(const QString& caption);
    QFont Font() const;
    void SetFont(const QFont& font);
    // 0x00BBGGRR. The read repaints an enabled button's face with Normal; a value above 0xFFFFFF is refused.
    uint32_t FontColour();
    void SetFontColour(uint32_t colour);
    // 0 transparent (the host shows through, the caption stays), 255 opaque; any non-zero value sets opaque.
    uint8_t Visible();
    void SetVisible(uint8_t visible);

    void Load(const ButtonProperties& store);
    void Save(ButtonProperties& store);

    // Reads without side effects, for hosts and tests.
    ButtonState State() const;
    Skin Face() const { return lastFace_; }

signals:
    void Click();
    // The stored value of this property is out of date.
    void propertyChanged(const QString& name);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    bool event(QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    class Surface;
    void paintFace(Skin skin, bool gradientReversed);
    void showCaption();
    bool showsFocus() const;
    // The caption's Qt font: the one set, or the stored font made into one after a Load.
    const QFont& captionFont() const;

    std::unique_ptr<Surface> surface_;
    std::unique_ptr<CommandControl> control_;
    QImage faceImage_; // the last face painted, without the caption
    QImage shown_; // what the paint handler shows: the face (or nothing, when transparent) and the caption
    QRect captionRect_;
    mutable QFont captionFont_;
    Skin lastFace_ = Skin::Disable;
    QBasicTimer mousePoll_;
};

} // namespace mirevo

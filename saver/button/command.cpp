#include "saver/button/command.h"

#include <QApplication>
#include <QCursor>
#include <QEnterEvent>
#include <QGuiApplication>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QTimerEvent>

#include "saver/button/command_control.h"
#include "saver/button/face_painter.h"
#include "saver/button/qt_font.h"

namespace mirevo {

namespace {
constexpr int kMousePollMs = 100;

QColor qtColour(uint32_t bgr) {
    return QColor(int(bgr & 0xFF), int(bgr >> 8 & 0xFF), int(bgr >> 16 & 0xFF));
}

MouseButton mouseButton(const QMouseEvent* event) {
    return event->button() == Qt::LeftButton ? MouseButton::Left : MouseButton::Other;
}
} // namespace

// The window side of the control: what CommandControl asks of it, forwarded to the widget.
class Command::Surface final : public CommandSurface {
public:
    explicit Surface(Command& widget) : widget_(widget) {}
    void paintFace(Skin skin, bool gradientReversed) override { widget_.paintFace(skin, gradientReversed); }
    void refreshCaption() override { widget_.showCaption(); }
    void runMousePoll(bool running) override {
        if (running)
            widget_.mousePoll_.start(kMousePollMs, Qt::CoarseTimer, &widget_);
        else
            widget_.mousePoll_.stop();
    }
    void propertyChanged(const char* name) override {
        emit widget_.propertyChanged(QString::fromLatin1(name));
    }
    void click() override { emit widget_.Click(); }

private:
    Command& widget_;
};

Command::Command(QWidget* parent)
    : QWidget(parent), surface_(std::make_unique<Surface>(*this)),
      control_(std::make_unique<CommandControl>(*surface_)) {
    // Moves arrive without a button held too: that is how the hover look starts.
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

Command::~Command() = default;

void Command::Initialize() {
    control_->Initialize();
}

bool Command::Enabled() {
    return control_->Enabled();
}

void Command::SetEnabled(bool enabled) {
    control_->SetEnabled(enabled);
}

QString Command::Caption() const {
    return QString::fromStdString(control_->Caption());
}

void Command::SetCaption(const QString& caption) {
    control_->SetCaption(caption.toStdString());
}

QFont Command::Font() const {
    return captionFont();
}

const QFont& Command::captionFont() const {
    const FontSpec& stored = control_->Font();
    if (storedFont(captionFont_, stored.charset) != stored) captionFont_ = qtFont(stored);
    return captionFont_;
}

void Command::SetFont(const QFont& font) {
    captionFont_ = font;
    control_->SetFont(storedFont(font, control_->Font().charset));
}

uint32_t Command::FontColour() {
    return control_->FontColour();
}

void Command::SetFontColour(uint32_t colour) {
    control_->SetFontColour(colour);
}

uint8_t Command::Visible() {
    return control_->Visible();
}

void Command::SetVisible(uint8_t visible) {
    control_->SetVisible(visible);
}

void Command::Load(const ButtonProperties& store) {
    control_->Load(store);
}

void Command::Save(ButtonProperties& store) {
    control_->Save(store);
}

ButtonState Command::State() const {
    return control_->state();
}

void Command::paintFace(Skin skin, bool gradientReversed) {
    lastFace_ = skin;
    if (faceImage_.size() != size()) faceImage_ = QImage(size(), QImage::Format_RGB32);
    if (!faceImage_.isNull()) {
        FaceCanvas canvas{reinterpret_cast<uint32_t*>(faceImage_.bits()), faceImage_.width(),
                          faceImage_.height(), int(faceImage_.bytesPerLine() / 4)};
        paintFacePixels(canvas, skin, gradientReversed);
    }
    captionRect_ = QRect(0, captionTop(height()), width(), kCaptionHeight);
    showCaption();
}

void Command::showCaption() {
    const CaptionLook& look = control_->caption();
    const bool opaque = control_->opaque();
    setAttribute(Qt::WA_OpaquePaintEvent, opaque);
    if (opaque && faceImage_.size() == size()) {
        shown_ = faceImage_.copy();
    } else {
        shown_ = QImage(size(), QImage::Format_ARGB32_Premultiplied);
        shown_.fill(Qt::transparent);
    }
    if (!shown_.isNull()) {
        QPainter painter(&shown_);
        painter.setFont(captionFont());
        painter.setPen(look.enabled ? qtColour(look.colour)
                                    : palette().color(QPalette::Disabled, QPalette::WindowText));
        // Only what fits in the label's 13 pixels is seen: a long caption wraps and its further lines are
        // cut.
        painter.setClipRect(captionRect_);
        painter.drawText(captionRect_, Qt::AlignHCenter | Qt::AlignTop | Qt::TextWordWrap,
                         QString::fromStdString(look.text));
    }
    update();
}

void Command::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    if (!shown_.isNull()) painter.drawImage(0, 0, shown_);
}

void Command::resizeEvent(QResizeEvent*) {
    control_->resized();
}

void Command::enterEvent(QEnterEvent*) {
    control_->pointerMoved();
}

void Command::mouseMoveEvent(QMouseEvent*) {
    control_->pointerMoved();
}

void Command::mousePressEvent(QMouseEvent* event) {
    control_->buttonPressed(mouseButton(event));
}

void Command::mouseReleaseEvent(QMouseEvent* event) {
    control_->buttonReleased(mouseButton(event));
}

bool Command::showsFocus() const {
    return State() == ButtonState::Focused || State() == ButtonState::FocusedHot;
}

void Command::focusInEvent(QFocusEvent* event) {
    // Back from another window the focus returns where it was, and the face never stopped showing it.
    if (event->reason() == Qt::ActiveWindowFocusReason && showsFocus()) return;
    // Only the left button shows the Pressed face. Qt focuses on a press of any mouse button before it
    // delivers the press. In a window that was not active the press is delivered first, and the focus
    // follows with the window's activation, the press perhaps already released: then only a left press held
    // on this control is one.
    const Qt::MouseButtons held = QGuiApplication::mouseButtons();
    bool otherButtonPress = false;
    if (event->reason() == Qt::MouseFocusReason)
        otherButtonPress = held != Qt::NoButton && !(held & Qt::LeftButton);
    if (event->reason() == Qt::ActiveWindowFocusReason) otherButtonPress = !control_->MouseHeld();
    control_->focusGained(otherButtonPress);
}

void Command::focusOutEvent(QFocusEvent* event) {
    // Another window in front, or a menu, leaves the focus with this control: the face keeps showing it, so a
    // return does not look like a new press.
    if (event->reason() == Qt::ActiveWindowFocusReason || event->reason() == Qt::PopupFocusReason) return;
    control_->focusLost();
}

bool Command::event(QEvent* event) {
    // While the window was in the background the focus may have been given to another control.
    if (event->type() == QEvent::WindowActivate && showsFocus() && window()->focusWidget() != this)
        control_->focusLost();
    return QWidget::event(event);
}

void Command::timerEvent(QTimerEvent* event) {
    if (event->timerId() != mousePoll_.timerId()) return QWidget::timerEvent(event);
    // The caption is drawn on the control, so the pointer over it is over the control.
    QWidget* under = QApplication::widgetAt(QCursor::pos());
    control_->mousePollTick(under == this || (under && isAncestorOf(under)));
}

} // namespace mirevo

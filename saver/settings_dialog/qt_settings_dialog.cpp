#include "saver/settings_dialog/qt_settings_dialog.h"

#include <algorithm>
#include <map>

#include <QCloseEvent>
#include <QComboBox>
#include <QEventLoop>
#include <QFrame>
#include <QGuiApplication>
#include <QIcon>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QWindow>

#include "common/program_names.h"
#include "saver/button/command.h"
#include "saver/button/qt_font.h"
#include "saver/preview/twips.h"
#include "saver/settings_dialog/dialog_layout.h"
#include "saver/settings_dialog/dialog_rules.h"
#include "saver/settings_dialog/dialog_services.h"
#include "saver/settings_dialog/qt_dialog_widgets.h"
#include "shared/settings_file/settings_store.h"
#include "shared/settings_file/tovik_b.h"

// The icon's registration lives in a static library; naming it here keeps the linker from dropping it.
static void initDialogIcon() {
    Q_INIT_RESOURCE(dialog_icon);
}

namespace mirevo {
namespace {

int pixels(int16_t twips) {
    return pixelsFromTwips(twips, float(kTwipsPerPixel));
}

QRect pixelRect(const ControlEntry& entry) {
    return {pixels(entry.left), pixels(entry.top), pixels(entry.width), pixels(entry.height)};
}

QColor qtColour(uint32_t bgr) {
    return QColor(int(bgr & 0xFF), int(bgr >> 8 & 0xFF), int(bgr >> 16 & 0xFF));
}

// Every label's and button's font, as the window definition stores it.
const FontSpec kDialogFont{kDialogFontFace, kDialogFontPoints, kDialogFontWeight, false, false,
                           false,           kShiftJisCharset};

// The kind whose row a control belongs to: "Img_BGM(2)" and "lbl_BGM(2)" are row 2.
int rowIndex(const char* name) {
    const std::string text(name);
    return text[text.size() - 2] - '0';
}

void setColour(QWidget& widget, QPalette::ColorRole role, const QColor& colour) {
    QPalette palette = widget.palette();
    palette.setColor(role, colour);
    widget.setPalette(palette);
}

QString qt(const std::string& text) {
    return QString::fromStdString(text);
}

} // namespace

TovikP::TovikP(ProgramState& state, std::string settingsFile, const std::string& homePage,
               DialogServices& services, DesktopPictureConsent* consent)
    : state_(state), settingsFile_(std::move(settingsFile)), homePage_(homePage), services_(services),
      consent_(consent && consent->needed() ? consent : nullptr) {
    setObjectName("Tovik_P");
    setWindowTitle(QString::fromUtf8(kSettingsDialogTitle));
    // A fixed single frame with a caption and only a close box.
    setWindowFlags(Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint |
                   Qt::MSWindowsFixedSizeDialogHint);
    setFixedSize(pixels(kClientWidthTwips), pixels(int16_t(kClientHeightTwips + (consent_ ? kConsentLineTwips : 0))));
    setFont(qtFont(kDialogFont));
    initDialogIcon();
    setWindowIcon(QIcon(":/mirevo/mirevo-32.png"));
    setColour(*this, QPalette::Window, qtColour(0x00C0C0C0));
    marks_ = {QPixmap::fromImage(qtImage(unselectedMark())), QPixmap::fromImage(qtImage(selectedMark()))};
}

TovikP::~TovikP() = default;

void TovikP::createControls() {
    std::map<int, QWidget*> tabOrder;
    for (const ControlEntry& entry : kDialogControls)
        createControl(entry, tabOrder);
    if (consent_)
        for (const ControlEntry& entry : kConsentControls)
            createControl(entry, tabOrder);
    QWidget* previous = nullptr;
    for (const auto& [tab, control] : tabOrder) {
        if (previous) setTabOrder(previous, control);
        previous = control;
    }
    for (QLabel* row : markImages_)
        row->installEventFilter(this);
    for (QLabel* row : kindLabels_)
        row->installEventFilter(this);
    link_->installEventFilter(this);
}

void TovikP::createControl(const ControlEntry& entry, std::map<int, QWidget*>& tabOrder) {
    QWidget* parent = entry.place == Place::Window ? this : panel_;
    QWidget* control = nullptr;
    const std::string name = entry.name;
    switch (entry.kind) {
    case ControlKind::Panel:
        control = panel_ = new QtGradientPanel(parent);
        // Like a picture box it takes the focus, so no button starts out focused.
        panel_->setFocusPolicy(Qt::StrongFocus);
        break;
    case ControlKind::Label:
    case ControlKind::Link: {
        QLabel* label = name == "lbl_Fname(0)" ? new QtPathLabel(parent) : new QLabel(parent);
        label->setText(entry.text ? QString::fromUtf8(entry.text) : qt(homePage_));
        label->setAlignment((entry.align == Align::Centre ? Qt::AlignHCenter : Qt::AlignLeft) | Qt::AlignTop);
        setColour(*label, QPalette::WindowText, qtColour(entry.colour));
        control = label;
        if (entry.kind == ControlKind::Link) {
            QFont underlined = font();
            underlined.setUnderline(true);
            label->setFont(underlined);
            label->setCursor(QCursor(QPixmap::fromImage(qtImage(handCursor())), kHandHotSpotX, kHandHotSpotY));
            link_ = label;
        }
        if (name.rfind("lbl_BGM(", 0) == 0) kindLabels_[rowIndex(entry.name)] = label;
        if (name == "lbl_Fname(0)") fileName_ = label;
        if (name == "lbl_Shot") consentLine_ = label;
        break;
    }
    case ControlKind::Mark: {
        QLabel* image = new QLabel(parent);
        image->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        markImages_[rowIndex(entry.name)] = image;
        control = image;
        break;
    }
    case ControlKind::Combo:
        track_ = new QComboBox(parent);
        track_->setEditable(true);
        // Typing a number and Enter must not grow the list.
        track_->setInsertPolicy(QComboBox::NoInsert);
        track_->setFont(QGuiApplication::font());
        setColour(*track_, QPalette::Base, Qt::white);
        control = track_;
        break;
    case ControlKind::Outline: {
        QFrame* frame = new QFrame(parent);
        frame->setFrameStyle(QFrame::Box | QFrame::Plain);
        frame->setLineWidth(1);
        setColour(*frame, QPalette::WindowText, Qt::black);
        control = frame;
        break;
    }
    case ControlKind::Button: {
        auto* button = new Command(parent);
        ButtonProperties stored;
        stored.set("caption", entry.text);
        stored.setFont("font", kDialogFont);
        stored.set("_extentx", std::to_string(entry.extentX));
        stored.set("_extenty", std::to_string(entry.extentY));
        button->Load(stored);
        if (name == "Cmd_Set") connect(button, &Command::Click, this, &TovikP::confirm);
        if (name == "Cmd_Can") connect(button, &Command::Click, this, &TovikP::close);
        if (name == "Cmd_File(0)") {
            connect(button, &Command::Click, this, &TovikP::chooseFile);
            fileButton_ = button;
        }
        if (name == "Cmd_Shot") {
            connect(button, &Command::Click, this, &TovikP::giveConsent);
            consentButton_ = button;
        }
        buttons_.push_back(button);
        control = button;
        break;
    }
    }
    if (!control) return;
    control->setObjectName(QString::fromUtf8(entry.name));
    control->setGeometry(pixelRect(entry));
    if (entry.autoSize) control->adjustSize();
    if (entry.tab >= 0 && control->focusPolicy() != Qt::NoFocus) tabOrder[entry.tab] = control;
}

void TovikP::open() {
    closed_ = false;
    load();
    // Closed while it was growing (a stop signal meanwhile): it stays closed.
    if (!closed_) show();
}

void TovikP::showModal() {
    QEventLoop loop;
    connect(this, &TovikP::closed, &loop, &QEventLoop::quit);
    open();
    if (!closed_ && isVisible()) loop.exec();
}

void TovikP::load() {
    create(); // the window exists from here on, and its title marks the program as running
    services_.askForCloseBoxOnly(*this);
    // Centred across the whole screen and a third of the way down, frame included.
    const FrameMargins frame = services_.frameMargins(*this);
    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const int outerWidth = width() + frame.left + frame.right,
              outerHeight = height() + frame.top + frame.bottom;
    const ScreenPoint place =
        dialogPosition(outerWidth, outerHeight, {screen.x(), screen.y(), screen.width(), screen.height()});
    // The frame's top-left, whatever frame the window manager draws (north-west gravity, a position the
    // program chose).
    windowHandle()->setFramePosition(QPoint(place.x, place.y));

    const auto pointer = services_.pointerPosition();
    state_.LastApiResult = pointer ? 1 : 0;
    zoomPointX_ = pointer ? int16_t(pointer->x) : 0;
    zoomPointY_ = pointer ? int16_t(pointer->y) : 0;
    // The window is not shown yet, so Qt does not know its frame: the rectangle it is about to take. The
    // controls are made and set while the outline grows, so the window shows as soon as it has grown.
    services_.zoom(pointRect(zoomPointX_, zoomPointY_),
                   {place.x, place.y, place.x + outerWidth, place.y + outerHeight}, [this] {
                       createControls();
                       setControls();
                   });
    zoomedOpen_ = true;

    // The application's pointer back to the arrow, whatever was set before.
    while (QGuiApplication::overrideCursor())
        QGuiApplication::restoreOverrideCursor();
}

void TovikP::setControls() {
    const Settings& settings = state_.settings;
    for (Command* button : buttons_)
        button->Initialize();
    showKind();
    // The list first: the first item added to an empty combo would replace its text.
    track_->clear();
    for (const std::string& entry : trackList())
        track_->addItem(qt(entry));
    track_->setEditText(qt(trackText(settings.BgmRepeat)));
    fileName_->setText(qt(settings.BgmFile));
    fileName_->setToolTip(fileName_->text());
}

void TovikP::selectKind(int16_t kind) {
    state_.settings.BgmKind = kind;
    showKind();
}

void TovikP::showKind() {
    const KindControls controls = kindControls(state_.settings.BgmKind);
    for (std::size_t kind = 0; kind < markImages_.size(); ++kind)
        markImages_[kind]->setPixmap(marks_[controls.marked[kind] ? 1 : 0]);
    track_->setEnabled(controls.trackEnabled);
    fileButton_->SetEnabled(controls.fileEnabled);
}

void TovikP::chooseFile() {
    Settings& settings = state_.settings;
    const auto chosen = services_.chooseFile(*this, musicFileRequest(settings.BgmFolder));
    state_.LastApiResult = chosen ? 1 : 0;
    if (!chosen || chosen->empty()) return;
    settings.BgmFile = *chosen;
    fileName_->setText(qt(settings.BgmFile));
    fileName_->setToolTip(fileName_->text());
    // The next chooser opens where this file was found.
    settings.BgmFolder = Path_Folder(settings.BgmFile);
}

void TovikP::confirm() {
    Settings& settings = state_.settings;
    settings.BgmRepeat = trackFromText(track_->currentText().toStdString());
    const StoreResult stored = storeSettings(settingsFile_, settings);
    state_.LastApiResult = stored ? 1 : 0;
    // A choice that was not stored is said so, and the dialog stays for another try or Cancel.
    if (!stored) {
        services_.showMessage(*this, storeFailureMessage(stored.reason()));
        return;
    }
    close();
}

void TovikP::openLink() {
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    services_.openAddress(link_->text().toStdString());
    QGuiApplication::restoreOverrideCursor();
}

void TovikP::giveConsent() {
    const auto given = consent_->give();
    consentLine_->setText(QString::fromUtf8(given ? kConsentGivenText : kConsentFailedText));
    consentLine_->setToolTip(given ? QString() : qt(given.reason()));
    consentLine_->adjustSize();
    // Given once is enough; a failure may be tried again.
    if (given) consentButton_->SetEnabled(false);
}

ZoomRect TovikP::windowRect() const {
    const QRect outer = frameGeometry();
    return {outer.left(), outer.top(), outer.left() + outer.width(), outer.top() + outer.height()};
}

void TovikP::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    // The window first, then the panel; each picture is kept and shown by every later paint.
    background_ = qtGradientPixmap(size(), windowRowColour);
    static_cast<QtGradientPanel*>(panel_)->paintBackground();
    update();
}

void TovikP::paintEvent(QPaintEvent*) {
    QPainter(this).drawPixmap(0, 0, background_);
}

void TovikP::closeEvent(QCloseEvent* event) {
    // Back into the point the window came out of, whichever way it is closed; the close is never refused.
    if (zoomedOpen_ && isVisible()) services_.zoom(windowRect(), pointRect(zoomPointX_, zoomPointY_), {});
    event->accept();
    closed_ = true;
    emit closed();
}

bool TovikP::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    // A kind row reacts to any mouse button, on the press, on its mark and on its label alike.
    if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick) {
        for (int16_t kind = 0; kind < int16_t(markImages_.size()); ++kind)
            if (watched == markImages_[kind] || watched == kindLabels_[kind]) selectKind(kind);
    }
    if (watched == link_ && type == QEvent::MouseButtonRelease) {
        auto* mouse = static_cast<QMouseEvent*>(event);
        if (mouse->button() == Qt::LeftButton && link_->rect().contains(mouse->position().toPoint()))
            openLink();
    }
    return QWidget::eventFilter(watched, event);
}

} // namespace mirevo

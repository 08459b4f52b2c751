#pragma once
// The settings window Tovik_P on Qt: the music kind, the CD track to repeat, the music file, OK and Cancel,
// and the link. It edits the program's settings in place; only OK writes them to the settings file.
#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include <QPixmap>
#include <QWidget>

#include "saver/settings_dialog/zoom_frames.h"
#include "shared/settings/settings.h"

class QComboBox;
class QLabel;

namespace mirevo {

struct ControlEntry;
class Command;
class DesktopPictureConsent;
class DialogServices;

class TovikP : public QWidget {
    Q_OBJECT
public:
    // state, services (and consent, when given) outlive the window. settingsFile is where OK writes; homePage
    // is the link's address. consent, when given and needed, adds the line that offers to allow taking the
    // desktop's picture.
    TovikP(ProgramState& state, std::string settingsFile, const std::string& homePage,
           DialogServices& services, DesktopPictureConsent* consent = nullptr);
    ~TovikP() override;

    // Runs the load steps and shows the window.
    void open();
    // open(), then returns once the window has closed (OK, Cancel, the close box or close()).
    void showModal();

    // The point the window zooms out of and back into.
    int16_t zoomPointX() const { return zoomPointX_; }
    int16_t zoomPointY() const { return zoomPointY_; }

signals:
    void closed();

protected:
    void resizeEvent(QResizeEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void createControls();
    void load();
    // What the load shows in the controls: the buttons started, the kind, the track and the file.
    void setControls();
    void selectKind(int16_t kind);
    void showKind();
    void chooseFile();
    void confirm();
    void openLink();
    void giveConsent();
    // One control made from its entry, placed and recorded; tabOrder collects those that take the focus.
    void createControl(const ControlEntry& entry, std::map<int, QWidget*>& tabOrder);
    // The outer rectangle of the shown window, frame included.
    ZoomRect windowRect() const;

    ProgramState& state_;
    std::string settingsFile_;
    std::string homePage_;
    DialogServices& services_;
    QPixmap background_;
    std::array<QPixmap, 2> marks_; // Img_Ra(0) unselected, Img_Ra(1) selected
    QWidget* panel_ = nullptr;
    QComboBox* track_ = nullptr;
    QLabel* fileName_ = nullptr;
    QLabel* link_ = nullptr;
    DesktopPictureConsent* consent_ = nullptr; // set only while the consent line is shown
    QLabel* consentLine_ = nullptr;
    Command* consentButton_ = nullptr;
    std::vector<Command*> buttons_; // in the order they were made: Cmd_Can, Cmd_Set, Cmd_File(0)
    Command* fileButton_ = nullptr;
    std::array<QLabel*, 3> markImages_{}; // Img_BGM by kind
    std::array<QLabel*, 3> kindLabels_{}; // lbl_BGM by kind
    int16_t zoomPointX_ = 0, zoomPointY_ = 0;
    bool zoomedOpen_ = false;
    bool closed_ = false;
};

} // namespace mirevo

// The settings window as a person uses it: the real widgets on a private X server, the file chooser, the
// browser and the zoom answered by a stand-in, the settings file read back after OK, Cancel or the close box.
#include <gtest/gtest.h>

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QFontMetrics>
#include <QLabel>
#include <QLibraryInfo>
#include <QLocale>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QTranslator>
#include <filesystem>

#include <sys/stat.h>
#include <unistd.h>

#include "saver/button/command.h"
#include "saver/settings_dialog/dialog_layout.h"
#include "saver/settings_dialog/dialog_services.h"
#include "saver/settings_dialog/qt_dialog_services.h"
#include "saver/settings_dialog/qt_settings_dialog.h"
#include "shared/settings_file/tovik_b.h"
#include "tests/harness/qt_on_xvfb.h"

namespace mirevo {
namespace {

using namespace test;

QtOnXvfb* qtEnv = QtOnXvfb::install("settings_dialog", 1024, 768);

class FakeServices : public DialogServices {
public:
    std::optional<ScreenPoint> pointer = ScreenPoint{100, 50};
    FrameMargins margins{4, 24, 4, 4};
    std::optional<std::string> answer; // what the chooser returns
    std::vector<FileRequest> requests;
    std::vector<std::string> addresses;
    bool busyWhileOpening = false;
    std::vector<std::pair<ZoomRect, ZoomRect>> zooms;
    std::vector<std::string> messages;

    std::optional<ScreenPoint> pointerPosition() override { return pointer; }
    FrameMargins frameMargins(QWidget&) override { return margins; }
    std::optional<std::string> chooseFile(QWidget&, const FileRequest& request) override {
        requests.push_back(request);
        return answer;
    }
    void showMessage(QWidget&, const std::string& text) override { messages.push_back(text); }
    void openAddress(const std::string& address) override {
        addresses.push_back(address);
        busyWhileOpening =
            QGuiApplication::overrideCursor() && QGuiApplication::overrideCursor()->shape() == Qt::WaitCursor;
    }
    void zoom(const ZoomRect& from, const ZoomRect& to, const std::function<void()>& meanwhile) override {
        zooms.emplace_back(from, to);
        if (meanwhile) meanwhile();
    }
};

// The desktop's answer to whether its picture still waits for a person's yes, and what giving it did.
class FakeConsent : public DesktopPictureConsent {
public:
    bool missing = true;
    std::optional<std::string> refusal; // give() fails with this
    int asked = 0, given = 0;
    bool needed() override { return ++asked, missing; }
    Result<void, std::string> give() override {
        ++given;
        if (refusal) return Failure(*refusal);
        missing = false;
        return {};
    }
};

struct SettingsWindow : testing::Test {
    TempDir folder;
    ProgramState state;
    FakeServices services;
    std::unique_ptr<TovikP> dialog;

    void openWith(int16_t kind, int16_t repeat, const std::string& file, DesktopPictureConsent* consent = nullptr) {
        state.settings = {kind, repeat, file, folder.path()};
        dialog = std::make_unique<TovikP>(state, settingsFile(), "file:///usr/share/doc/mirevo/README.md",
                                          services, consent);
        dialog->open();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
    }
    std::string settingsFile() const { return iniElsewhere.empty() ? folder / "Mirevo.ini" : iniElsewhere; }
    std::string iniElsewhere;
    template <typename T = QWidget> T* control(const char* name) {
        T* found = dialog->findChild<T*>(QString::fromUtf8(name));
        EXPECT_TRUE(found) << name;
        return found;
    }
    // A real click of the mouse in the middle of a control, as a person makes it.
    void click(const char* name) {
        QWidget* target = control(name);
        const QPoint at = target->mapToGlobal(target->rect().center());
        qtEnv->x->click(at.x(), at.y());
    }
    // OK or Cancel by mouse: true once the window has closed.
    bool clickToClose(const char* name) {
        click(name);
        return QTest::qWaitFor([&] { return !dialog->isVisible(); }, 5000);
    }
    std::string stored(const char* key) { return Ini_Read(kIniSection, key, settingsFile()); }
    // Which rows show the selected mark, by kind.
    std::array<bool, 3> marked() {
        std::array<bool, 3> rows{};
        for (int kind = 0; kind < 3; ++kind) {
            const std::string name = "Img_BGM(" + std::to_string(kind) + ")";
            rows[kind] = control<QLabel>(name.c_str())->pixmap().toImage().pixel(5, 6) == 0xFF31B1FFu;
        }
        return rows;
    }
};

TEST_F(SettingsWindow, LoadShowsTheStoredChoiceAndZoomsOutOfThePointer) {
    struct Case {
        int16_t kind, repeat;
        std::array<bool, 3> marked;
        bool trackEnabled;
        const char* trackText;
    };
    const Case cases[] = {
        {0, 0, {true, false, false}, false, ""},
        {1, 0, {false, true, false}, true, ""},
        {2, -3, {false, false, true}, false, "-3"},
        {5, 12, {false, false, false}, false, "12"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        openWith(c.kind, c.repeat, "/music/song.mp3");
        EXPECT_EQ(marked(), c.marked);
        auto* track = control<QComboBox>("BGM_Repeat");
        EXPECT_EQ(track->isEnabled(), c.trackEnabled);
        EXPECT_EQ(track->currentText(), c.trackText);
        ASSERT_EQ(track->count(), 31); // "", then 1 to 30
        EXPECT_EQ(track->itemText(0) + track->itemText(30), "30");
        EXPECT_EQ(control<QLabel>("lbl_Fname(0)")->text(), "/music/song.mp3");
        // Centred and a third down on the 1024 x 768 screen, frame included.
        EXPECT_EQ(dialog->pos(), QPoint(260, 165));
        ASSERT_EQ(services.zooms.size(), 1u);
        EXPECT_EQ(services.zooms[0].first, pointRect(100, 50));
        EXPECT_EQ(services.zooms[0].second, (ZoomRect{260, 165, 764, 436}));
        dialog->close();
        services.zooms.clear();
    }
}

TEST_F(SettingsWindow, APressOfAnyButtonOnARowsMarkOrLabelSelectsItsKind) {
    openWith(0, 7, "/music/song.mp3");
    struct Press {
        const char* control;
        Qt::MouseButton button;
        int16_t kind;
    };
    const Press presses[] = {{"lbl_BGM(1)", Qt::LeftButton, 1},
                             {"Img_BGM(2)", Qt::RightButton, 2},
                             {"Img_BGM(0)", Qt::LeftButton, 0},
                             {"lbl_BGM(2)", Qt::MiddleButton, 2}};
    for (const Press& p : presses) {
        QTest::mousePress(control(p.control), p.button, {}, QPoint(3, 3));
        EXPECT_EQ(state.settings.BgmKind, p.kind) << p.control;
        EXPECT_EQ(marked(), kindControls(p.kind).marked) << p.control;
        EXPECT_EQ(control("BGM_Repeat")->isEnabled(), p.kind == 1) << p.control;
        QTest::mouseRelease(control(p.control), p.button, {}, QPoint(3, 3));
    }
    // The combo's text and the file stay as they were.
    EXPECT_EQ(control<QComboBox>("BGM_Repeat")->currentText(), "7");
    EXPECT_EQ(state.settings.BgmFile, "/music/song.mp3");
}

TEST_F(SettingsWindow, OkStoresAllThreeValuesWithTheTrackTakenFromTheComboText) {
    struct Case {
        int16_t kind;
        const char* typed;
        const char* repeat;
    };
    const Case cases[] = {{1, "7", "7"},   {1, "", "0"},     {1, "abc", "0"},   {1, "2.5", "2"},
                          {1, "3.5", "4"}, {1, "1e1", "10"}, {1, " -3 ", "-3"}, {1, "40000", "0"},
                          {0, "5", "5"},   {2, "", "0"}}; // the track is stored whatever the kind
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        std::filesystem::remove(settingsFile());
        openWith(c.kind, 0, "/music/song.mp3");
        control<QComboBox>("BGM_Repeat")->setEditText(QString::fromUtf8(c.typed));
        ASSERT_TRUE(clickToClose("Cmd_Set"));
        EXPECT_EQ(stored(kIniKeyBgmKind), std::to_string(c.kind));
        EXPECT_EQ(stored(kIniKeyBgmRepeat), c.repeat);
        EXPECT_EQ(stored(kIniKeyBgmFile), "/music/song.mp3"); // also with no file music chosen
    }
}

TEST_F(SettingsWindow, CancelAndTheCloseBoxWriteNothingAndZoomBackToTheLoadPoint) {
    for (bool cancel : {true, false}) {
        openWith(1, 0, "");
        QTest::mousePress(control("lbl_BGM(2)"), Qt::LeftButton);
        control<QComboBox>("BGM_Repeat")->setEditText("9");
        services.pointer = ScreenPoint{900, 700};    // moving the pointer does not move the closing point
        const QRect outer = dialog->frameGeometry(); // as it is now, not as it was planned at load
        if (cancel)
            ASSERT_TRUE(clickToClose("Cmd_Can"));
        else
            dialog->close();
        EXPECT_FALSE(std::filesystem::exists(settingsFile()));
        ASSERT_EQ(services.zooms.size(), 2u);
        EXPECT_EQ(services.zooms[1].first,
                  (ZoomRect{outer.left(), outer.top(), outer.right() + 1, outer.bottom() + 1}));
        EXPECT_EQ(services.zooms[1].second, pointRect(100, 50));
        services = FakeServices();
    }
}

TEST_F(SettingsWindow, TheChooserOpensWhereTheLastFileWasAndItsCancelChangesNothing) {
    openWith(0, 0, "");
    click("Cmd_File(0)"); // disabled until file music is chosen
    click("lbl_BGM(2)");
    ASSERT_TRUE(QTest::qWaitFor([&] { return state.settings.BgmKind == BGM_FILE; }, 5000));
    services.answer = "/home/u/Music/Song.Mp3";
    click("Cmd_File(0)");
    ASSERT_TRUE(QTest::qWaitFor([&] { return services.requests.size() == 1; }, 5000));
    EXPECT_EQ(services.requests[0].folder, folder.path());
    EXPECT_EQ(control<QLabel>("lbl_Fname(0)")->text(), "/home/u/Music/Song.Mp3");
    EXPECT_EQ(state.settings.BgmFolder, "/home/u/Music");

    services.answer.reset(); // the user cancels
    click("Cmd_File(0)");
    ASSERT_TRUE(QTest::qWaitFor([&] { return services.requests.size() == 2; }, 5000));
    EXPECT_EQ(services.requests[1].folder, "/home/u/Music");
    EXPECT_EQ(state.settings.BgmFile, "/home/u/Music/Song.Mp3");
    EXPECT_EQ(control<QLabel>("lbl_Fname(0)")->text(), "/home/u/Music/Song.Mp3");
}

// OK stores the three keys together or not at all; a choice it cannot store is said so in one message and the
// dialog stays open, the file as it was. A first save makes a file for the user alone.
TEST_F(SettingsWindow, AChoiceThatCannotBeStoredIsSaidSoAndNothingIsWritten) {
    const std::string before = "[Section]\nBGM区分=1\nBGMﾘﾋﾟｰﾄ=3\n";
    const std::tuple<const char*, unsigned, const char*, const char*> cases[] = {
        // the chosen file, the settings file's mode (0: none yet), where it is, what the message says
        {"/music/new\nsong.mp3", 0600, "", "改行"},
        {"/music/new.mp3", 0444, "", "読み取り専用"},
        {"/music/new.mp3", 0, "/proc/mirevo/Mirevo.ini", "書き込めません"}, // a folder nobody can write
        {"/music/new.mp3", 0, "", nullptr},
    };
    for (const auto& [file, fileMode, elsewhere, said] : cases) {
        SCOPED_TRACE(said ? said : "stored");
        iniElsewhere = elsewhere;
        std::filesystem::remove(settingsFile());
        if (fileMode) {
            ASSERT_TRUE(writeFile(settingsFile(), before) && !::chmod(settingsFile().c_str(), fileMode));
        }
        services.messages.clear();
        openWith(2, 0, file);
        click("Cmd_Set");
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return !services.messages.empty() || !dialog->isVisible(); }, 5000));
        if (!said) {
            EXPECT_EQ(readFile(settingsFile()), "[Section]\nBGM区分=2\nBGMﾘﾋﾟｰﾄ=0\nBGMﾌｧｲﾙ=/music/new.mp3\n");
            EXPECT_EQ(std::filesystem::status(settingsFile()).permissions(), std::filesystem::perms(0600));
            continue;
        }
        ASSERT_EQ(services.messages.size(), 1u);
        const std::string& message = services.messages[0];
        EXPECT_TRUE(message.rfind("設定を保存できません", 0) == 0 && message.find(said) != std::string::npos)
            << message;
        EXPECT_TRUE(dialog->isVisible());
        EXPECT_EQ(readFile(settingsFile()), fileMode ? before : "");
        dialog->close();
    }
}

TEST_F(SettingsWindow, ALongPathShowsTwoWholeLinesAndNothingOfAThird) {
    std::string path = "/home/u";
    while (path.size() < 400)
        path += "/とても長いフォルダの名前";
    openWith(2, 0, path + "/song.mp3");
    auto* label = control<QLabel>("lbl_Fname(0)");
    const QPoint at = label->mapTo(dialog.get(), QPoint(0, 0));
    const int lineHeight = QFontMetrics(label->font()).height();
    ASSERT_LT(2 * lineHeight, label->height()) << "a third line would not even start inside the label";
    // Black text over the panel's grey, which is no darker than 90 there: which of the label's rows hold text.
    std::vector<bool> inked(size_t(label->height()));
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            qtEnv->x->sync();
            const auto shot = qtEnv->x->screenshot(dialog->winId());
            if (!shot) return false;
            for (int y = 0; y < label->height(); ++y) {
                inked[size_t(y)] = false;
                for (int x = 0; x < label->width(); ++x)
                    inked[size_t(y)] = inked[size_t(y)] || shot->at(at.x() + x, at.y() + y)[0] < 60;
            }
            return inked[size_t(lineHeight / 2)] && inked[size_t(lineHeight + lineHeight / 2)];
        },
        5000))
        << "the two lines of the path never showed";
    for (int y = 2 * lineHeight; y < label->height(); ++y)
        EXPECT_FALSE(inked[size_t(y)]) << "text in row " << y << " below the second line";
}

TEST_F(SettingsWindow, TheLinkOpensItsOwnTextUnderTheBusyPointer) {
    openWith(0, 0, "");
    auto* link = control<QLabel>("lbl_URL");
    EXPECT_TRUE(link->font().underline());
    EXPECT_EQ(link->cursor().hotSpot(), QPoint(12, 10));
    QTest::mouseClick(link, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(services.addresses, std::vector<std::string>{link->text().toStdString()});
    EXPECT_TRUE(services.busyWhileOpening);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

// Where the desktop would ask a person before its picture is taken, a line under the rest offers the yes; a
// click of its button gives it once. Elsewhere the window is as it always was.
TEST_F(SettingsWindow, TheDesktopsPictureIsAllowedFromItsOwnLineWhereTheDesktopWouldAsk) {
    FakeConsent consent;
    openWith(0, 0, "", &consent);
    EXPECT_EQ(consent.asked, 1);
    EXPECT_EQ(dialog->size(), QSize(496, 273));
    auto* line = control<QLabel>("lbl_Shot");
    ASSERT_TRUE(line);
    EXPECT_EQ(line->text(), QString::fromUtf8(kConsentAskText));
    // Inside the window, beside the button and under the others.
    EXPECT_LE(line->geometry().right(), control("Cmd_Shot")->geometry().left());
    EXPECT_GE(line->geometry().top(), control("Cmd_Set")->geometry().bottom());
    EXPECT_LE(control("Cmd_Shot")->geometry().bottom(), dialog->height());
    EXPECT_NE(control<Command>("Cmd_Shot")->Face(), Skin::Disable);
    click("Cmd_Shot");
    ASSERT_TRUE(QTest::qWaitFor([&] { return consent.given == 1; }, 5000));
    EXPECT_EQ(line->text(), QString::fromUtf8(kConsentGivenText));
    // Given once is enough: the button is switched off.
    EXPECT_EQ(control<Command>("Cmd_Shot")->Face(), Skin::Disable);
    // Nothing of the music choice changes, and Cancel still closes the window.
    EXPECT_TRUE(clickToClose("Cmd_Can"));
    EXPECT_EQ(stored("BGM区分"), "");

    FakeConsent refused;
    refused.refusal = "no permission store answers";
    openWith(0, 0, "", &refused);
    click("Cmd_Shot");
    ASSERT_TRUE(QTest::qWaitFor([&] { return refused.given == 1; }, 5000));
    EXPECT_EQ(control<QLabel>("lbl_Shot")->text(), QString::fromUtf8(kConsentFailedText));
    EXPECT_EQ(control<QLabel>("lbl_Shot")->toolTip(), "no permission store answers");
    dialog->close();

    FakeConsent given;
    given.missing = false;
    openWith(0, 0, "", &given);
    EXPECT_EQ(dialog->size(), QSize(496, 243));
    EXPECT_FALSE(dialog->findChild<QWidget*>("lbl_Shot"));
    EXPECT_FALSE(dialog->findChild<QWidget*>("Cmd_Shot"));
}

// The buttons' texts of the real file chooser, read while it is open over owner, then cancelled.
QStringList chooserButtons(QWidget& owner) {
    QStringList texts;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* chooser = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!chooser) return;
        for (QPushButton* button : chooser->findChild<QDialogButtonBox*>()->findChildren<QPushButton*>())
            texts << button->text();
        chooser->reject();
    });
    poll.start(20);
    QtDialogServices().chooseFile(owner, musicFileRequest("/"));
    return texts;
}

TEST(QtTexts, TheFileChooserFollowsTheUsersLanguage) {
    if (!QFile::exists(QLibraryInfo::path(QLibraryInfo::TranslationsPath) + "/qtbase_ja.qm"))
        GTEST_SKIP() << "Qt's Japanese translations are not installed (Debian: qt6-translations-l10n)";
    QWidget owner;
    // The chooser's own English; its open button is "&Open" or "Open" as it sees fit.
    const auto isEnglish = [](const QStringList& texts) {
        return texts.filter("Open").size() == 1 && texts.contains("Cancel");
    };
    const QStringList english = chooserButtons(owner);
    ASSERT_TRUE(isEnglish(english)) << english.join("|").toStdString();
    {
        const auto japanese = installQtTranslations(QLocale(QLocale::Japanese, QLocale::Japan));
        ASSERT_NE(japanese, nullptr);
        const QStringList texts = chooserButtons(owner);
        EXPECT_TRUE(texts.filter("開く").size() == 1 && texts.contains("キャンセル")) << texts.join("|").toStdString();
    }
    // Gone with the translator: the rest of this program's windows see Qt's own English again.
    const QStringList after = chooserButtons(owner);
    EXPECT_TRUE(isEnglish(after)) << after.join("|").toStdString();
}

} // namespace
} // namespace mirevo

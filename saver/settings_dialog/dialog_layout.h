#pragma once
// The settings window as its definition stores it: every control with its kind, place and size in twips
// (15 to the pixel), tab position, text and colour, in the order the controls are created.
#include <cstdint>

namespace mirevo {

inline constexpr int16_t kClientWidthTwips = 7440;  // 496 pixels
inline constexpr int16_t kClientHeightTwips = 3645; // 243 pixels
inline constexpr int kTwipsPerPixel = 15;

inline constexpr const char* kVersionText = "Mirevo Project  Ver.1.0.0";

enum class ControlKind {
    Panel,  // the picture box that holds the music choice
    Label,  // transparent text
    Link,   // transparent, underlined, opens its own text
    Button, // a Command button
    Combo,  // editable drop-down list
    Mark,   // image that shows one of the two kind marks
    Outline // one-pixel black rectangle, transparent inside
};
enum class Place { Window, Panel };
enum class Align { Left, Centre };

struct ControlEntry {
    const char* name;
    ControlKind kind;
    Place place;
    int16_t left, top, width, height; // twips, relative to the window's client area or the panel
    int tab;                          // tab position, -1 for controls without one
    const char* text;                 // caption or label text; nullptr when set at run time
    uint32_t colour;                  // text colour, 0x00BBGGRR
    bool autoSize;                    // the label takes the size of its text
    Align align;
    int16_t extentX, extentY; // a Button's stored size, hundredths of a millimetre
};

inline constexpr uint32_t kWhite = 0x00FFFFFF;
inline constexpr uint32_t kBlack = 0x00000000;

// Creation order: the Command buttons come as Cmd_Can, Cmd_Set, Cmd_File(0), the order in which the
// window's load initialises them.
inline constexpr ControlEntry kDialogControls[] = {
    {"Pic_C(0)", ControlKind::Panel, Place::Window, 180, 240, 7035, 2475, 1, nullptr, kBlack, false,
     Align::Left, 0, 0},
    {"lbl(7)", ControlKind::Label, Place::Window, 180, 2880, 2475, 195, 0, kVersionText, kWhite, true,
     Align::Left, 0, 0},
    {"lbl_URL", ControlKind::Link, Place::Window, 180, 3120, 3105, 195, 13, nullptr, kWhite, true,
     Align::Left, 0, 0},
    {"Cmd_Can", ControlKind::Button, Place::Window, 6060, 3000, 1155, 375, 11, "ｷｬﾝｾﾙ", kBlack, false,
     Align::Centre, 2037, 661},
    {"Cmd_Set", ControlKind::Button, Place::Window, 4860, 3000, 1155, 375, 10, "設定", kBlack, false,
     Align::Centre, 2037, 661},
    {"Shape3(3)", ControlKind::Outline, Place::Panel, 300, 300, 1695, 315, -1, nullptr, kBlack, false,
     Align::Left, 0, 0},
    {"lbl(15)", ControlKind::Label, Place::Panel, 300, 360, 1665, 195, 8, "BGM", kBlack, false, Align::Centre,
     0, 0},
    {"Img_BGM(1)", ControlKind::Mark, Place::Panel, 420, 840, 195, 195, -1, nullptr, kBlack, false,
     Align::Left, 0, 0},
    {"lbl_BGM(1)", ControlKind::Label, Place::Panel, 660, 840, 645, 195, 6, "音楽CD", kBlack, true,
     Align::Left, 0, 0},
    {"BGM_Repeat", ControlKind::Combo, Place::Panel, 1680, 780, 615, 300, 2, nullptr, kBlack, false,
     Align::Left, 0, 0},
    {"lbl(14)", ControlKind::Label, Place::Panel, 2340, 840, 990, 195, 7, "曲目をﾘﾋﾟｰﾄ", kBlack, true,
     Align::Left, 0, 0},
    {"Img_BGM(0)", ControlKind::Mark, Place::Panel, 420, 1140, 195, 195, -1, nullptr, kBlack, false,
     Align::Left, 0, 0},
    {"lbl_BGM(0)", ControlKind::Label, Place::Panel, 660, 1140, 330, 195, 4, "なし", kBlack, true,
     Align::Left, 0, 0},
    {"Img_BGM(2)", ControlKind::Mark, Place::Panel, 420, 1440, 195, 195, -1, nullptr, kBlack, false,
     Align::Left, 0, 0},
    {"lbl_BGM(2)", ControlKind::Label, Place::Panel, 660, 1440, 900, 195, 5, "MP3、WAV", kBlack, true,
     Align::Left, 0, 0},
    {"Cmd_File(0)", ControlKind::Button, Place::Panel, 420, 1740, 615, 315, 9, "...", kBlack, false,
     Align::Centre, 1085, 556},
    {"lbl_Fname(0)", ControlKind::Label, Place::Panel, 1080, 1740, 5595, 495, 3, "", kBlack, false,
     Align::Left, 0, 0},
};

// The line that offers to allow taking the desktop's picture, under everything else, where the desktop would
// ask a person for it (DesktopPictureConsent): the window grows by its height, the gradient with it.
inline constexpr int16_t kConsentLineTwips = 450; // 30 pixels
inline constexpr const char* kConsentAskText = "ﾃﾞｽｸﾄｯﾌﾟの写真を撮る許可がありません (床にはMirevoの絵)";
inline constexpr const char* kConsentGivenText = "ﾃﾞｽｸﾄｯﾌﾟの写真を撮ることを許可しました";
inline constexpr const char* kConsentFailedText = "許可を保存できませんでした";
inline constexpr ControlEntry kConsentControls[] = {
    {"lbl_Shot", ControlKind::Label, Place::Window, 180, kClientHeightTwips + 135, 4500, 195, 15, kConsentAskText,
     kWhite, true, Align::Left, 0, 0},
    {"Cmd_Shot", ControlKind::Button, Place::Window, 6060, kClientHeightTwips + 30, 1155, 375, 14, "許可", kBlack, false,
     Align::Centre, 2037, 661},
};

// The caption font of every label and button: the platform's Japanese proportional Gothic.
inline constexpr const char* kDialogFontFace = "ＭＳ Ｐゴシック";
inline constexpr double kDialogFontPoints = 9.75;
inline constexpr int kDialogFontWeight = 400;
inline constexpr int kShiftJisCharset = 128;

} // namespace mirevo

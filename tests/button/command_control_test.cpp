// The button's properties: reads that repaint, writes that report, and the stored properties.
#include <gtest/gtest.h>

#include "saver/button/command_control.h"
#include "tests/button/fake_surface.h"

namespace mirevo {
namespace {

using test::FakeSurface;
using test::Paint;

const FontSpec kBold{"IPAPGothic", 12, 700, true, true, false, 0};

TEST(ButtonProperties, SaveWritesInOrderLeavesDefaultsOutAndLoadsBackTheSame) {
    FakeSurface surface;
    CommandControl control(surface);
    ButtonProperties stored;
    stored.set("enabled", "false");
    stored.set("caption", "ｷｬﾝｾﾙ");
    stored.setFont("font", kBold);
    stored.set("FirstRun", "0");
    stored.set("FontColour", "255");
    stored.set("Visible", "0");
    control.Load(stored);
    EXPECT_EQ(control.Caption(), "ｷｬﾝｾﾙ");
    EXPECT_EQ(control.Font(), kBold);

    ButtonProperties saved;
    control.Save(saved);
    EXPECT_EQ(saved.names(),
              (std::vector<std::string>{"Enabled", "Caption", "FirstRun", "Font", "FontColour", "Visible"}));
    FakeSurface otherSurface;
    CommandControl other(otherSurface);
    other.Load(saved);
    ButtonProperties again;
    other.Save(again);
    for (const std::string& name : saved.names()) {
        EXPECT_EQ(again.text(name), saved.text(name)) << name;
        EXPECT_EQ(again.font(name), saved.font(name)) << name;
    }

    // Back to the defaults, everything goes, also names a host spelled differently.
    control.Load(ButtonProperties{});
    control.Save(stored);
    EXPECT_TRUE(stored.names().empty());
}

TEST(ButtonProperties, EmptyStoreGivesAnEnabledOpaqueButtonWithTheDefaults) {
    FakeSurface surface;
    CommandControl control(surface);
    control.Load(ButtonProperties{});
    EXPECT_TRUE(control.enabledFlag());
    EXPECT_TRUE(control.opaque());
    EXPECT_EQ(control.caption().colour, 0u);
    EXPECT_EQ(control.Caption(), kDefaultCaption);
    EXPECT_EQ(control.Font(), ambientFont());
    EXPECT_EQ(control.FirstRun(), 1);
    EXPECT_EQ(surface.takePaints(), (std::vector<Paint>{{Skin::Normal, false}}));
    // The dialog's own layout: lower-case names, and sizes the control leaves to its host.
    ButtonProperties layout;
    layout.set("caption", "設定");
    layout.setFont("font", ambientFont());
    layout.set("_extentx", "2037");
    control.Load(layout);
    control.Save(layout);
    EXPECT_EQ(layout.names(), (std::vector<std::string>{"caption", "_extentx"}));
    EXPECT_EQ(layout.text("Caption"), "設定");
}

TEST(ButtonProperties, ValuesThatDoNotConvertLeaveThePropertyAsItWas) {
    struct Case {
        const char* name;
        const char* text;
    } cases[] = {{"Enabled", "maybe"},       {"FirstRun", "256"},  {"FirstRun", "-1"}, {"FontColour", "-1"},
                 {"FontColour", "16777216"}, {"Visible", "40000"}, {"Visible", "yes"}};
    for (const Case& c : cases) {
        FakeSurface surface;
        CommandControl control(surface);
        ButtonProperties stored;
        stored.set("FontColour", "4660");
        stored.set("Visible", "0");
        control.Load(stored);
        ButtonProperties bad;
        bad.set("FontColour", "4660");
        bad.set("Visible", "0");
        bad.set(c.name, c.text);
        bad.set("Font", "not a font");
        control.Load(bad);
        SCOPED_TRACE(std::string(c.name) + "=" + c.text);
        EXPECT_TRUE(control.enabledFlag());
        EXPECT_EQ(control.FirstRun(), 1);
        EXPECT_EQ(control.caption().colour, 4660u);
        EXPECT_FALSE(control.opaque());
        EXPECT_EQ(control.Font(), ambientFont());
    }
    // Numbers round half to even, and any non-zero number is true.
    FakeSurface surface;
    CommandControl control(surface);
    ButtonProperties stored;
    stored.set("Enabled", "0.5");
    stored.set("FirstRun", "2.5");
    stored.set("Visible", "-0.4");
    control.Load(stored);
    EXPECT_TRUE(control.enabledFlag());
    EXPECT_EQ(control.FirstRun(), 2);
    EXPECT_FALSE(control.opaque());
}

TEST(ButtonProperties, ReadsRepaintAnEnabledButtonWithNormalWhateverItsState) {
    FakeSurface surface;
    CommandControl control(surface);
    control.Load(ButtonProperties{});
    control.Initialize();
    control.pointerMoved();
    surface.takePaints();
    EXPECT_EQ(control.FontColour(), 0u);
    control.SetVisible(7);
    EXPECT_EQ(control.Visible(), 255);
    EXPECT_TRUE(control.Enabled());
    EXPECT_EQ(surface.takePaints(), (std::vector<Paint>(4, Paint{Skin::Normal, true})));
    EXPECT_EQ(control.state(), ButtonState::Hot);
    EXPECT_EQ(surface.changed, (std::vector<std::string>{"Visible"}));
    // Caption and font writes report without a face paint.
    control.SetCaption("...");
    control.SetFont(kBold);
    EXPECT_TRUE(surface.paints.empty());
    EXPECT_EQ(surface.refreshes, 2);
    // A colour with the top byte set is refused: the look is applied, nothing is reported.
    control.SetFontColour(0x01000000);
    EXPECT_EQ(control.caption().colour, 0u);
    EXPECT_EQ(surface.changed.back(), "Font");
}

TEST(ButtonProperties, DisabledButtonChangesValuesWithoutRepainting) {
    FakeSurface surface;
    CommandControl control(surface);
    ButtonProperties stored;
    stored.set("Enabled", "False");
    control.Load(stored);
    control.SetFontColour(0x0000FF);
    control.SetVisible(0);
    EXPECT_EQ(control.FontColour(), 0x0000FFu);
    EXPECT_EQ(control.Visible(), 0);
    EXPECT_TRUE(surface.paints.empty());
    EXPECT_EQ(surface.changed, (std::vector<std::string>{"FontColour", "Visible"}));
    // Reading Enabled repaints the Disable face; SetEnabled reports it.
    EXPECT_FALSE(control.Enabled());
    control.SetEnabled(true);
    EXPECT_EQ(surface.takePaints(), (std::vector<Paint>{{Skin::Disable, false}, {Skin::Normal, false}}));
    EXPECT_EQ(surface.changed.back(), "Enabled");
}

TEST(ButtonProperties, NeverLoadedButtonIsOffUntilEnabledIsRead) {
    FakeSurface surface;
    CommandControl control(surface);
    control.resized();
    EXPECT_EQ(surface.takePaints(), (std::vector<Paint>{{Skin::Disable, false}}));
    EXPECT_EQ(control.FirstRun(), 0);
    EXPECT_TRUE(control.Enabled());
    EXPECT_EQ(control.FirstRun(), 1);
    EXPECT_TRUE(control.caption().enabled);
    EXPECT_EQ(control.caption().colour, 0u);
    EXPECT_EQ(surface.takePaints(), (std::vector<Paint>{{Skin::Normal, false}}));
}

} // namespace
} // namespace mirevo

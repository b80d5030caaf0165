// The display widgets: counters, needle, coloured texts, the alarm window, number entry, the depth
// panel's orientation rules and the palette selector.

#include <gtest/gtest.h>

#include <QApplication>
#include <QLineEdit>
#include <cmath>
#include <filesystem>
#include <fstream>

#include "imaging/Palette.h"
#include "platform/Operator.h"
#include "tests/support/QtApplication.h"
#include "ui/widgets/ColorPen.h"
#include "ui/widgets/ColorStaticST.h"
#include "ui/widgets/DephtDlg.h"
#include "ui/widgets/DialogExt.h"
#include "ui/widgets/GraphicCounterCtrl.h"
#include "ui/widgets/PaletteDlg.h"
#include "ui/widgets/ToolsProbeDlg.h"

using namespace quelt::ui;

namespace {
QApplication& application() {
    return quelt::test::qtApplication();
}
}  // namespace

TEST(GraphicCounter, TextsPlacementAndBlinking) {
    application();
    CGraphicCounterCtrl c;
    c.resize(120, 24);
    c.WriteCounterDataInt(5);
    EXPECT_EQ(c.text(), "") << "a hidden counter keeps its text";
    c.show();
    c.WriteCounterDataDouble(std::nan(""), "%6.2f");
    EXPECT_EQ(c.text(), "  0.00");
    c.WriteCounterDataDouble(12.345, "%6.2f");
    EXPECT_EQ(c.text(), " 12.35");
    EXPECT_TRUE(c.redrawPending());
    c.redraw();
    EXPECT_FALSE(c.redrawPending());

    // Alignment: right, centred, left; a text that no longer fits goes to the left edge.
    struct Case {
        int width;
        std::size_t chars;
        int align, used, x;
    };
    // Height 30: font 36, characters 12 wide.
    for (const Case& k : {Case{200, 5, 5, 5, 200}, Case{200, 5, 6, 6, 130}, Case{200, 5, 7, 7, 0},
                          Case{200, 5, 9, 5, 200}, Case{65, 5, 5, 7, 0}, Case{66, 5, 6, 6, 63}}) {
        SCOPED_TRACE(k.width * 100 + k.align);
        CounterPlacement p = counterPlacement(k.width, 30, k.chars, 1.0, k.align);
        EXPECT_EQ(p.charWidth, 12);
        EXPECT_EQ(p.alignment, k.used);
        EXPECT_EQ(p.x, k.x);
    }
    EXPECT_EQ(counterPlacement(100, 30, 3, CGraphicCounterCtrl::kSmallFont, 5).fontHeight, 14);

    for (auto [speed, ms] : {std::pair{0, 2000}, {1, 1000}, {2, 500}, {750, 750}})
        EXPECT_EQ(blinkPeriodOf(speed), ms);
    c.SetColours(Qt::black, Qt::yellow, Qt::red, Qt::white);
    c.StartBlink(2);
    EXPECT_EQ(c.blinkPeriod(), 500);
    c.blinkTick();
    EXPECT_EQ(c.shownBackground(), QColor(Qt::red));
    c.blinkTick();
    EXPECT_EQ(c.shownBackground(), QColor(Qt::black));
    c.blinkTick();
    c.StopBlink();
    EXPECT_FALSE(c.blinkPhase());
    EXPECT_EQ(c.shownTextColour(), QColor(Qt::yellow));
}

TEST(ViewMeter, AnglesAndNeedle) {
    application();
    CViewMeterCtrl m;
    m.setAngle(0);
    EXPECT_EQ(m.storedAngle(), 270);
    QPointF up = m.needleEnd(40);
    EXPECT_NEAR(up.x(), 20, 1e-9);
    EXPECT_NEAR(up.y(), 0, 1e-9);
    m.setAngle(90);
    QPointF right = m.needleEnd(40);
    EXPECT_NEAR(right.x(), 40, 1e-9);
    EXPECT_NEAR(right.y(), 20, 1e-9);
    m.setAngle(361);
    m.setAngle(-1);
    EXPECT_EQ(m.storedAngle(), 0);
}

TEST(ColorStatic, BlinkPhasesAndNotification) {
    application();
    CColorStaticST s;
    s.SetTextColor(Qt::blue);
    s.SetBkColor(Qt::white);
    s.SetBlinkBkColors(Qt::red, Qt::green);
    int notified = 0;
    s.SetBlinkNotification([&] { ++notified; });
    s.blinkTick();
    EXPECT_EQ(notified, 0) << "nothing blinks";
    s.EnableBkBlink(true, 2);
    EXPECT_EQ(s.blinkPeriod(), 500);
    EXPECT_EQ(s.shownBkColour(), QColor(Qt::red));
    s.blinkTick();
    EXPECT_EQ(s.shownBkColour(), QColor(Qt::green));
    EXPECT_EQ(notified, 1);
    s.blinkTick();
    EXPECT_EQ(notified, 1);
    s.blinkTick();
    s.EnableBkBlink(false);
    EXPECT_EQ(s.shownBkColour(), QColor(Qt::white));
    EXPECT_EQ(s.shownTextColour(), QColor(Qt::blue));
}

TEST(AlertWindow, TheTwoAlarmsAndNoOther) {
    application();
    CAlertDlg alert;
    EXPECT_FALSE(alert.showAlarm(4));
    EXPECT_FALSE(alert.isVisible());
    EXPECT_TRUE(alert.showAlarm(0));
    EXPECT_EQ(alert.windowTitle(), "Invalid Depth !!!");
    EXPECT_EQ(alert.messageText(), "Encoder Error");
    EXPECT_TRUE(alert.showAlarm(1));
    EXPECT_EQ(alert.windowTitle(), "Low Battery.");
    EXPECT_EQ(alert.messageText(), "Low battery / Power Failure !!!");
    alert.hide();
}

TEST(DialogExt, NumberEntryRules) {
    application();
    quelt::ScriptedOperator op;
    CDialogExt dialog(op);
    QLineEdit edit;
    struct Case {
        const char* text;
        int kind;  // 0 real, 1 single real, 2 integer
        bool ok;
        double value;
    };
    for (const Case& k :
         {Case{"12,5", 0, true, 12}, Case{"12.5", 0, true, 12.5}, Case{"1e3", 0, false, -1},
          Case{"1e3", 1, true, 1000}, Case{"", 0, true, 0}, Case{"-42", 2, true, -42},
          Case{"4.2", 2, false, -1}, Case{"12345678901234567890", 1, true, 1234567890123456789.0}}) {
        SCOPED_TRACE(std::string(k.text) + " kind " + std::to_string(k.kind));
        op.clear();
        edit.setText(k.text);
        double value = -1;
        bool ok = false;
        if (k.kind == 0) ok = dialog.ReadReal(&edit, value);
        if (k.kind == 1) ok = dialog.ReadSingleReal(&edit, value);
        if (k.kind == 2) {
            int v = -1;
            ok = dialog.ReadInt(&edit, v);
            value = v;
        }
        EXPECT_EQ(ok, k.ok);
        EXPECT_DOUBLE_EQ(value, k.value);
        EXPECT_EQ(op.messages(), ok ? std::vector<std::string>{} : std::vector<std::string>{kEnterANumber});
    }
    // The value-returning read still gives the leading integer after the message.
    op.clear();
    edit.setText("12a");
    EXPECT_EQ(dialog.ReadInt(&edit), 12);
    EXPECT_EQ(op.messages(), std::vector<std::string>{kEnterANumber});
    op.clear();
    double v = 5;
    EXPECT_FALSE(dialog.ReadReal(nullptr, v));
    EXPECT_EQ(v, 0);
    EXPECT_EQ(op.messages(), std::vector<std::string>{kNoValueRead});

    for (auto [value, lo, hi, text] :
         {std::tuple{250, 0, 100, "100"}, {-5, 0, 100, "0"}, {-5, -1, -1, "-5"}}) {
        dialog.WriteInt(&edit, value, lo, hi);
        EXPECT_EQ(edit.text(), text);
    }
    dialog.WriteReal(&edit, 0.0, 3, true);
    EXPECT_EQ(edit.text(), "-");
    dialog.WriteReal(&edit, 0.0, 3, false);
    EXPECT_EQ(edit.text(), "0.000");
    EXPECT_EQ(CDialogExt::Round(-2.5), -3);
    EXPECT_EQ(CDialogExt::Round(2.5), 3);
}

namespace {
quelt::ui::DepthInputs liveOrientation(int picOriented, bool computed) {
    quelt::ui::DepthInputs in;
    in.linkStatus = 255;
    in.serialNumber = 7;
    in.picOriented = picOriented;
    if (computed) {
        in.values.tilt = 12.5;
        in.values.tiltText = "12.50";
        in.values.azimuthText = "181.0";
        in.values.gravityTotal = 1.0;
        in.values.magneticTotal = 0.5;
        in.values.fieldAngle = 60.0;
        in.values.highSide = 10;
        in.values.rotation = 45;
    }
    return in;
}
}  // namespace

TEST(DepthPanel, TheSpeedLimitShowsBesideTheSpeedWhichTurnsRedAboveIt) {
    application();
    quelt::Settings settings;
    quelt::ColourTable table;
    CDephtDlg panel(table, settings);
    const struct {
        int linkStatus, depthUnit;
        double speed, limit;
        const char* shown;
        bool red;
    } cases[] = {
        {255, 0, 1.5, 2.17, "max 2.17", false}, {255, 0, -2.5, 2.17, "max 2.17", true},
        {255, 1, 2.5, 2.17, "max 7.12", true},  {255, 0, 2.17, 2.17, "max 2.17", false},
        {255, 0, 9.0, 0.0, "", false},          {0, 0, 9.0, 2.17, "", false},  // no logger: nothing
    };
    for (const auto& k : cases) {
        SCOPED_TRACE(k.shown);
        quelt::ui::DepthInputs in;
        in.linkStatus = k.linkStatus;
        in.depthUnit = k.depthUnit;
        in.values.speed = k.speed;
        in.speedLimit = k.limit;
        panel.PutDataOnScreen(in);
        EXPECT_EQ(panel.speedLimitLabel()->text().toStdString(), k.shown);
        EXPECT_EQ(panel.speedField()->shownTextColour(),
                  k.red ? QColor(0xFF, 0x30, 0x30) : QColor(255, 255, 0));
    }
}

TEST(DepthPanel, OrientationFieldsByPicOrientedAndTheReferenceIcon) {
    application();
    quelt::Settings settings;
    quelt::ColourTable table;
    CDephtDlg panel(table, settings);
    panel.show();

    // PicOriented 1 and nothing computed: the five fields blink "------", the needle hidden.
    panel.PutDataOnScreen(liveOrientation(1, false));
    for (int i = 0; i < 5; ++i) {
        EXPECT_EQ(panel.orientationField(i)->text(), kOrientationWait);
        EXPECT_TRUE(panel.orientationField(i)->blinking());
        EXPECT_EQ(panel.orientationField(i)->blinkPeriod(), 500);
    }
    EXPECT_FALSE(panel.needle()->isVisible());

    // The values come: steady, yellow for magnetic north, the needle shown.
    panel.PutDataOnScreen(liveOrientation(1, true));
    EXPECT_FALSE(panel.orientationField(0)->blinking());
    EXPECT_EQ(panel.orientationField(0)->text(), "12.50");
    EXPECT_EQ(panel.orientationField(2)->text(), " 1.000");
    EXPECT_EQ(panel.orientationField(4)->text(), " 60.0");
    EXPECT_EQ(panel.orientationField(0)->shownTextColour(), QColor(255, 255, 0));
    EXPECT_TRUE(panel.needle()->isVisible());

    // PicOriented 0 without orientation: emptied instead of blinking; green.
    panel.PutDataOnScreen(liveOrientation(0, false));
    EXPECT_EQ(panel.orientationField(0)->text(), "");
    EXPECT_FALSE(panel.orientationField(0)->blinking());
    EXPECT_EQ(panel.orientationField(0)->shownTextColour(), QColor(0, 255, 0));
    EXPECT_FALSE(panel.needle()->isVisible());
    EXPECT_EQ(depthTexts(liveOrientation(2, true)).orientationColour, kHighSideColour);

    // The depth reference toggles in acquisition, not while a log is loaded for replay.
    panel.toggleReference();
    EXPECT_TRUE(panel.referenceAtTop());
    quelt::ui::DepthInputs replay;
    replay.replayLoaded = true;
    replay.paused = true;
    panel.PutDataOnScreen(replay);
    panel.toggleReference();
    EXPECT_TRUE(panel.referenceAtTop());

    // The serial label blinks for a sonde without a serial.
    quelt::ui::DepthInputs none;
    none.serialNumber = 0;
    panel.RefreshSerial(none);
    EXPECT_EQ(panel.serialLabel()->text(), "SN : -");
    EXPECT_TRUE(panel.serialLabel()->bkBlinking());
}

TEST(DepthMagnifier, EmptyWhilePausedInReplay) {
    quelt::ui::DepthInputs in;
    in.values.depth = 12.5;
    in.values.speed = 3.0;
    in.replayLoaded = true;
    in.paused = true;
    EXPECT_EQ(depthTexts(in).depth, "12.50");
    EXPECT_EQ(magnifierTexts(in).depth, "");
    EXPECT_EQ(magnifierTexts(in).speed, "");
    in.paused = false;
    in.playing = true;
    EXPECT_EQ(magnifierTexts(in).speed, "3.00");
}

TEST(PaletteSelector, ChoiceOkAndEscape) {
    application();
    quelt::Settings settings;
    quelt::PaletteSet palettes{};
    palettes[0] = quelt::defaultPalette();
    palettes[1] = quelt::defaultPalette();
    quelt::ColourTable table;
    settings.PaletteInUse = 1;
    settings.BlackAndWhite = true;
    {
        // Only palettes 0 and 1: "No palette.ini file" and the palette in use kept.
        CPaletteDlg dialog(palettes, table, settings, nullptr);
        EXPECT_FALSE(settings.BlackAndWhite) << "the colours show while choosing";
        EXPECT_FALSE(dialog.noPalette()->isHidden());
        EXPECT_TRUE(dialog.list()->isHidden());
        EXPECT_EQ(dialog.noPalette()->text(), "No palette.ini file");
        dialog.choose(0);
        dialog.accept();
        EXPECT_EQ(settings.PaletteInUse, 1);
        EXPECT_TRUE(settings.BlackAndWhite);
    }
    quelt::Palette red{};
    red.stops = {{{0, 0, 0, 0}, {80, 255, 0, 0}, {160, 255, 0, 0}, {255, 255, 0, 0}}};
    red.defined = 1;
    palettes[3] = red;
    {
        CPaletteDlg dialog(palettes, table, settings, nullptr);
        ASSERT_FALSE(dialog.list()->isHidden());
        ASSERT_EQ(dialog.list()->count(), 3);
        dialog.choose(2);  // palette 3: the table takes it at once
        EXPECT_EQ(settings.PaletteInUse, 3);
        EXPECT_EQ(table.at(200, quelt::kColourMode), 0xFFFF0000u);
        EXPECT_EQ(previewPixel(table, 50, 64, false), table.at(200, quelt::kColourMode));
        dialog.reject();  // Escape: the choice stays for this run, B/W comes back
        EXPECT_EQ(settings.PaletteInUse, 3);
        EXPECT_TRUE(settings.BlackAndWhite);
    }
}

TEST(ToolsBox, TextsAndColourModes) {
    quelt::LiveValues none;
    for (const std::string& t : toolsBoxTexts(none))
        EXPECT_EQ(t, "-");
    quelt::LiveValues v;
    v.hx = 120.7;
    v.hy = -3;
    v.hz = 5;
    v.gx = 1;
    v.gy = 2;
    v.gz = 1000;
    v.highSide = 12.345;
    v.magToolface = std::nan("");
    v.azimuth = 181.25;
    v.tilt = 3.5;
    v.gravityTotal = 1.0;
    v.magneticTotal = 0.4567;
    const auto t = toolsBoxTexts(v);
    const std::array<std::string, 12> expected = {"120",    "-3",     "5",     "1",      "2",      "1000",
                                                  " 12.35", "  0.00", "181.2", "  3.50", " 1.000", " 0.457"};
    EXPECT_EQ(t, expected);
    EXPECT_EQ(toolsColourMode(true, 255), ToolsColourMode::Replay);
    EXPECT_EQ(toolsColourMode(false, 255), ToolsColourMode::Live);
    EXPECT_EQ(toolsColourMode(false, 32), ToolsColourMode::Grey);
}

TEST(TechnicalTools, OkWritesTheFourSwitches) {
    application();
    const std::filesystem::path file =
        std::filesystem::temp_directory_path() / ("quelt-switches-" + std::to_string(::getpid()));
    std::filesystem::remove(file);
    quelt::SwitchStore store(file);
    quelt::TechnicalSwitches switches{true, true, false, true};
    {
        CTechnicalToolsDlg dialog(switches, store);
        EXPECT_TRUE(dialog.box(0)->isChecked());
        EXPECT_FALSE(dialog.box(2)->isChecked());
        dialog.reject();
        EXPECT_FALSE(std::filesystem::exists(file)) << "Annuler writes nothing";
    }
    CTechnicalToolsDlg dialog(switches, store);
    for (int i = 0; i < 4; ++i)
        dialog.box(i)->setChecked(false);
    dialog.accept();
    EXPECT_FALSE(switches.TechnicalTools || switches.DebugingTools || switches.DebugingTrace ||
                 switches.FullTracing);
    std::ifstream in(file);
    std::string all((std::istreambuf_iterator<char>(in)), {});
    for (const char* name : {"TechnicalTools", "DebugingTools", "DebugingTrace", "FullTracing"})
        EXPECT_NE(all.find(std::string(name) + "=false"), std::string::npos) << all;
    std::filesystem::remove(file);
}

TEST(ColorPen, ACellGivesItsColourAndAnnulerKeepsTheCallers) {
    application();
    struct Case {
        const char* name;
        std::uint32_t start;
        int selected;  // the table entry framed at opening
        int press;     // a cell, or -1 for "&Annuler", -2 for "&OK"
        std::uint32_t colour;
        int result;
    };
    const Case cases[] = {
        {"a cell", 0x00FF00, 3, 12, 0xFF0000, QDialog::Accepted},
        {"Annuler", 0x00FF00, 3, -1, 0x00FF00, QDialog::Rejected},
        {"a colour of no entry, OK", 0x123456, 0, -2, 0x123456, QDialog::Accepted},
        {"the last cell", 0xA0A000, 14, 19, 0x000000, QDialog::Accepted},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::uint32_t colour = c.start;
        CColorPen pen(colour);
        EXPECT_EQ(pen.selectedEntry(), c.selected);
        EXPECT_EQ(pen.cancelButton()->text(), "&Annuler");
        QAbstractButton* b = pen.cancelButton();
        if (c.press == -2) b = pen.okButton();
        if (c.press >= 0) b = pen.cell(c.press);
        b->click();
        EXPECT_EQ(colour, c.colour);
        EXPECT_EQ(pen.result(), c.result);
    }
}

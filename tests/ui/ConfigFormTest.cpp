// SPDX-License-Identifier: GPL-3.0-or-later
// The hardware configuration dialog: link values shown on activation, every
// change sent to the link and the settings store, OK and Escape storing the
// link's values, and the programmer-connection group.
#include <gtest/gtest.h>

#include <QButtonGroup>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>

#include "DialogTestSupport.h"
#include "DialogTexts.h"
#include "SettingsStore.h"
#include "THConfigForm.h"

namespace krt {
namespace {

using dialogtest::DialogFixture;
using dialogtest::FakeShell;

class ConfigFormTest : public ::testing::Test, public DialogFixture {
protected:
    ConfigFormTest() {
        shell.link.krt1Revision = 0x31;
        shell.link.krt2Revision = 7;
        shell.link.clockFrequency = 3500000;
        shell.link.portBase = 0x278;
        shell.link.powerCircuitVersion = 2;
    }
    ~ConfigFormTest() override { form.hide(); }
    FakeShell shell;
    THConfigForm form{shell};
};

// Each time the dialog is shown it selects the link's port and version
// (none for a value that no item has) and shows its revisions and clock.
TEST_F(ConfigFormTest, ShowsTheLinkValuesWhenShown) {
    struct Case {
        uint16_t port;
        uint8_t version;
        int portItem, versionItem;
    };
    for (const Case& c : {Case{0x278, 2, 1, 1}, Case{0x3BD, 3, -1, -1}, Case{0x3BC, 1, 2, 0}}) {
        shell.link.portBase = c.port;
        shell.link.powerCircuitVersion = c.version;
        form.show();
        EXPECT_EQ(form.RadioGroup1Items->checkedId(), c.portItem) << c.port;
        EXPECT_EQ(form.RadioGroup2Items->checkedId(), c.versionItem) << c.port;
        form.hide();
    }
    // Revisions as the versions the detection lines name.
    EXPECT_EQ(form.StaticText1->text(), "3.1");
    EXPECT_EQ(form.StaticText2->text(), "0.7");
    EXPECT_EQ(form.Edit1->text(), "3.500000");
}

// A first run: no clock and no version stored. The dialog starts from the
// usual crystal and the circuit that the KRT1's revision implies.
TEST_F(ConfigFormTest, FirstRunStartsFromTheUsualCrystalAndTheDetectedCircuit) {
    struct Case {
        uint8_t krt1;
        int versionItem;
        const char* shown;
    };
    for (const Case& c : {Case{0x20, 1, "2.0"}, Case{0x10, 0, "1.0"}, Case{0, -1, "-"}}) {
        shell.link.clockFrequency = 0;
        shell.link.powerCircuitVersion = 0;
        shell.link.krt1Revision = c.krt1;
        form.show();
        EXPECT_EQ(form.Edit1->text(), "3.500000");
        EXPECT_EQ(form.RadioGroup2Items->checkedId(), c.versionItem) << int(c.krt1);
        EXPECT_EQ(form.StaticText1->text(), c.shown);
        form.hide();
    }
}

TEST_F(ConfigFormTest, OkIsRefusedUntilAPowerCircuitVersionIsChosen) {
    shell.link.powerCircuitVersion = 0;  // a first run: no version yet
    form.show();
    ASSERT_EQ(form.RadioGroup2Items->checkedId(), -1);
    QTest::mouseClick(form.Button1, Qt::LeftButton);
    EXPECT_TRUE(form.isVisible());
    ASSERT_EQ(prompter.asked.size(), 1u);
    EXPECT_TRUE(prompter.asked[0].text.startsWith("Choose the power-circuit version (Ver1 or Ver2)"))
        << prompter.asked[0].text.toStdString();
    EXPECT_EQ(StoredInt(kPwrCircuitVersion), -1);
    // Escape acts as OK and is refused the same way.
    QTest::keyClick(&form, Qt::Key_Escape);
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(prompter.asked.size(), 2u);
    // Chosen with the mouse, OK closes and stores it.
    form.RadioGroup2Items->button(1)->click();
    QTest::mouseClick(form.Button1, Qt::LeftButton);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(StoredInt(kPwrCircuitVersion), 2);
    EXPECT_EQ(prompter.asked.size(), 2u);
}

TEST_F(ConfigFormTest, PortAndVersionGoToLinkAndStoreAtOnce) {
    form.show();
    form.RadioGroup1Items->button(2)->click();
    EXPECT_EQ(shell.link.portBase, 0x3BC);
    EXPECT_EQ(StoredInt(kLprPort), 956);
    form.RadioGroup1Items->button(0)->click();
    EXPECT_EQ(shell.link.portBase, 0x378);
    EXPECT_EQ(StoredInt(kLprPort), 888);
    form.RadioGroup2Items->button(0)->click();
    EXPECT_EQ(shell.link.powerCircuitVersion, 1);
    EXPECT_EQ(StoredInt(kPwrCircuitVersion), 1);
    EXPECT_EQ(StoredInt(kClockFreq), -1);  // the clock is stored by OK only
}

TEST_F(ConfigFormTest, FrequencyInMegahertzBecomesWholeHertz) {
    form.show();
    form.Edit1->setText("3.276799");
    form.Edit1Exit();
    EXPECT_EQ(static_cast<uint32_t>(shell.link.clockFrequency), 3276799u);
    EXPECT_EQ(StoredInt(kClockFreq), -1);
    form.Edit1->setText("2.5000009");  // truncated, not rounded
    form.Edit1Exit();
    EXPECT_EQ(static_cast<uint32_t>(shell.link.clockFrequency), 2500000u);
    // No number is no clock the start-up accepts: refused, the clock stays.
    form.Edit1->setText("MHz");
    form.Edit1Exit();
    EXPECT_EQ(static_cast<uint32_t>(shell.link.clockFrequency), 2500000u);
    ASSERT_EQ(prompter.asked.size(), 1u);
    EXPECT_EQ(prompter.asked[0].text, "The KRT clock must be from 0.450001 to 3.500000 MHz.");
}

// OK, Escape (on the dialog or in the clock field) and Return in the clock
// field all send a typed clock and store the link's values; reopening shows
// the clock with six decimals.
TEST_F(ConfigFormTest, OkEscapeAndReturnStoreTheLinkValues) {
    struct Case {
        const char* typed;  // into the clock field, when given
        void (*confirm)(THConfigForm&);
        uint32_t clock;
        const char* shown;
    };
    const auto ok = [](THConfigForm& f) { f.Button1->click(); };
    const auto escape = [](THConfigForm& f) { QTest::keyClick(&f, Qt::Key_Escape); };
    const auto escapeInField = [](THConfigForm& f) { QTest::keyClick(f.Edit1, Qt::Key_Escape); };
    const auto returnInField = [](THConfigForm& f) { QTest::keyClick(f.Edit1, Qt::Key_Return); };
    const Case cases[] = {
        {nullptr, escape, 3500000, "3.500000"},
        {"3.2768", ok, 3276800, "3.276800"},
        {"2", escapeInField, 2000000, "2.000000"},
        {"1.8432", returnInField, 1843200, "1.843200"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.shown);
        form.show();
        if (c.typed) {
            form.Edit1->selectAll();
            QTest::keyClicks(form.Edit1, c.typed);
        }
        c.confirm(form);
        EXPECT_FALSE(form.isVisible());
        EXPECT_EQ(static_cast<uint32_t>(shell.link.clockFrequency), c.clock);
        EXPECT_EQ(StoredInt(kClockFreq), static_cast<int>(c.clock));
        EXPECT_EQ(StoredInt(kLprPort), 632);
        EXPECT_EQ(StoredInt(kPwrCircuitVersion), 2);
        form.show();
        EXPECT_EQ(form.Edit1->text().toStdString(), c.shown);
        form.hide();
    }
    EXPECT_TRUE(prompter.asked.empty());
}

// Any card's base in the field beside the presets; a base no port can have
// is refused with a message that names no option of the command line.
TEST_F(ConfigFormTest, AnyPrinterPortBaseCanBeTypedBesideThePresets) {
    form.show();
    EXPECT_EQ(form.EditPortBase->text(), "0x278");
    form.EditPortBase->clear();
    QTest::keyClicks(form.EditPortBase, "d010");
    form.Button1->click();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(shell.link.portBase, 0xD010);
    EXPECT_EQ(StoredInt(kLprPort), 0xD010);
    form.show();
    EXPECT_EQ(form.RadioGroup1Items->checkedId(), -1);
    EXPECT_EQ(form.EditPortBase->text(), "0xd010");
    form.RadioGroup1Items->button(2)->click();
    EXPECT_EQ(form.EditPortBase->text(), "0x3bc");
    for (const char* wrong : {"3bd", "fffc", "zz", "ff"}) {
        form.EditPortBase->clear();
        QTest::keyClicks(form.EditPortBase, wrong);
        form.Button1->click();
        EXPECT_TRUE(form.isVisible()) << wrong;
    }
    ASSERT_EQ(prompter.asked.size(), 4u);
    EXPECT_TRUE(prompter.asked[0].text.contains(QStringLiteral("FFF8")));
    EXPECT_FALSE(prompter.asked[0].text.contains(QStringLiteral("--")));
    EXPECT_EQ(shell.link.portBase, 0x3BC);
    EXPECT_EQ(THConfigForm::PortOfText(QStringLiteral("0xD010")), 0xD010u);
    EXPECT_EQ(THConfigForm::PortOfText(QStringLiteral("378h")), 0x378u);
}

// The clock the start-up would refuse is refused here,
// typed by the user or kept from the start, with the range in the message;
// the range stands beside the field.
TEST_F(ConfigFormTest, AClockTheStartUpRefusesIsRefusedWithItsRange) {
    shell.link.clockFrequency = 4000000;  // the dialog's own initial 4.0000
    form.show();
    EXPECT_EQ(form.LabelClockRange->text(), "0.450001 to 3.500000 MHz");
    const QString refused = "The KRT clock must be from 0.450001 to 3.500000 MHz.";
    // OK on the clock it was opened with.
    QTest::mouseClick(form.Button1, Qt::LeftButton);
    EXPECT_TRUE(form.isVisible());
    ASSERT_EQ(prompter.asked.size(), 1u);
    EXPECT_EQ(prompter.asked[0].text, refused);
    EXPECT_EQ(StoredInt(kClockFreq), -1);
    // A crystal of 4.9152 MHz typed and confirmed with Return: one message.
    form.Edit1->selectAll();
    QTest::keyClicks(form.Edit1, "4.9152");
    QTest::keyClick(form.Edit1, Qt::Key_Return);
    EXPECT_TRUE(form.isVisible());
    EXPECT_EQ(prompter.asked.size(), 2u);
    EXPECT_EQ(test::Last(prompter.asked).text, refused);
    EXPECT_EQ(static_cast<uint32_t>(shell.link.clockFrequency), 4000000u);
    EXPECT_EQ(StoredInt(kClockFreq), -1);
    // Within the range, and the dialog closes.
    form.Edit1->selectAll();
    QTest::keyClicks(form.Edit1, "3.2768");
    QTest::keyClick(form.Edit1, Qt::Key_Return);
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(prompter.asked.size(), 2u);
    EXPECT_EQ(static_cast<uint32_t>(shell.link.clockFrequency), 3276800u);
    EXPECT_EQ(StoredInt(kClockFreq), 3276800);
    // The lowest and the highest accepted.
    form.show();
    for (const char* text : {"0.450001", "3.5"}) {
        form.Edit1->selectAll();
        QTest::keyClicks(form.Edit1, text);
        EXPECT_TRUE(form.Edit1Exit()) << text;
    }
    form.Edit1->selectAll();
    QTest::keyClicks(form.Edit1, "0.45");
    EXPECT_FALSE(form.Edit1Exit());
}

TEST(ConfigFormClock, TextAndValue) {
    EXPECT_EQ(THConfigForm::ClockOfText("4"), 4000000u);
    EXPECT_EQ(THConfigForm::ClockOfText(" 4.0000 "), 4000000u);
    EXPECT_EQ(THConfigForm::ClockOfText("3.5MHz"), 3500000u);
    EXPECT_EQ(THConfigForm::ClockOfText(".45"), 450000u);
    EXPECT_EQ(THConfigForm::ClockOfText(""), 0u);
    EXPECT_EQ(THConfigForm::ClockOfText("-1"), 0u);      // no negative counts
    EXPECT_EQ(THConfigForm::ClockOfText("5000"), 0u);    // beyond 32 bits of Hz
    EXPECT_EQ(THConfigForm::ClockOfText("4294.967295"), 4294967295u);
    EXPECT_EQ(THConfigForm::TextOfClock(4000000), "4.000000");
    EXPECT_EQ(THConfigForm::TextOfClock(0), "0.000000");
    EXPECT_EQ(THConfigForm::TextOfClock(12000000), "12.000000");
    for (uint32_t hz : {450001u, 1843200u, 3579545u, 3500000u, 2457600u, 999999u}) {
        EXPECT_EQ(THConfigForm::ClockOfText(THConfigForm::TextOfClock(hz)), hz) << hz;
    }
}

TEST(ConfigFormItems, PortAndVersionMapping) {
    EXPECT_EQ(THConfigForm::PortItem(0x378), 0);
    EXPECT_EQ(THConfigForm::PortItem(0x278), 1);
    EXPECT_EQ(THConfigForm::PortItem(0x3BC), 2);
    EXPECT_EQ(THConfigForm::PortItem(0), -1);
    EXPECT_EQ(THConfigForm::PortOfItem(-1), 0u);
    EXPECT_EQ(THConfigForm::VersionItem(0), -1);
    EXPECT_EQ(THConfigForm::VersionOfItem(-1), 0u);
}

TEST_F(ConfigFormTest, FixedTextsAndNames) {
    // In English the whole dialog is English.
    EXPECT_EQ(form.windowTitle(), "Hardware configuration");
    EXPECT_EQ(form.RadioGroup2->title(), "Power circuit version");
    EXPECT_EQ(form.Label1->text(), "KRT1 version");
    form.SetLanguage(0);
    EXPECT_EQ(form.windowTitle(), QString::fromUtf8("ハードウェアの設定"));
    EXPECT_EQ(form.RadioGroup1->title(), QString::fromUtf8("プリンタポポートのアドレス"));
    EXPECT_EQ(form.RadioGroup1Items->button(2)->text(), "0x3bc");
    EXPECT_EQ(form.RadioGroup2->title(), QString::fromUtf8("電源回路のバージョン"));
    EXPECT_EQ(form.RadioGroup2Items->button(0)->text(), QString::fromUtf8("Ver1仕様"));
    EXPECT_EQ(form.GroupBox1->title(), QString::fromUtf8("KRTのクロック周波数"));
    EXPECT_EQ(form.Edit1->text(), "4.0000");
    EXPECT_EQ(form.Edit1->maxLength(), 6);
    EXPECT_EQ(form.Label2->text(), "MHz");
    EXPECT_EQ(form.Label1->text(), QString::fromUtf8("KRT1のバージョン"));
    EXPECT_EQ(form.Label3->text(), QString::fromUtf8("KRT2のバージョン"));
    EXPECT_EQ(form.Button1->text(), "OK");
    for (const char* name : {"RadioGroup1", "RadioGroup2", "GroupBox1", "Edit1", "Label1", "Label2", "Label3",
                             "StaticText1", "StaticText2", "Button1", "GroupConnection", "RadioSimulator",
                             "RadioPrinterPort", "ButtonBlankChip"}) {
        EXPECT_NE(form.findChild<QWidget*>(QString::fromLatin1(name)), nullptr) << name;
    }
}

TEST_F(ConfigFormTest, ConnectionGroupFollowsTheLanguage) {
    form.show();
    EXPECT_EQ(form.RadioSimulator->text(), "Simulated programmer");
    EXPECT_EQ(form.RadioPrinterPort->text(), "Printer port");
    form.hide();
    shell.link.language = 0;  // the main window switched
    form.show();
    EXPECT_EQ(form.RadioSimulator->text(), QString::fromUtf8("シミュレータ"));
    EXPECT_EQ(form.RadioPrinterPort->text(), QString::fromUtf8("プリンタポート"));
    EXPECT_EQ(form.GroupConnection->title(), QString::fromUtf8("プログラマの接続"));
}

TEST_F(ConfigFormTest, ConnectionChoiceIsStoredAndSignalled) {
    QSignalSpy spy(&form, &THConfigForm::PortChoiceChanged);
    form.show();
    EXPECT_TRUE(form.RadioSimulator->isChecked());  // no setting: the simulator
    form.RadioPrinterPort->click();
    EXPECT_EQ(StoredInt(kUseSimulator), 0);
    ASSERT_EQ(spy.count(), 1);
    EXPECT_FALSE(spy.at(0).at(0).toBool());
    form.RadioSimulator->click();
    EXPECT_EQ(StoredInt(kUseSimulator), 1);
    form.hide();
    Store(kUseSimulator, 0);
    form.show();
    EXPECT_TRUE(form.RadioPrinterPort->isChecked());
}

TEST_F(ConfigFormTest, BlankButtonAsksThenBlanksTheSocket) {
    QSignalSpy spy(&form, &THConfigForm::SocketChipBlanked);
    form.show();
    ASSERT_TRUE(form.ButtonBlankChip->isEnabled());
    prompter.answers = {QMessageBox::No};
    form.ButtonBlankChip->click();
    EXPECT_EQ(shell.blanked, 0);
    ASSERT_EQ(prompter.asked.size(), 1u);
    EXPECT_EQ(prompter.asked[0].caption, "qv17win");
    prompter.answers = {QMessageBox::Yes};
    form.ButtonBlankChip->click();
    EXPECT_EQ(shell.blanked, 1);
    EXPECT_EQ(form.LabelBlankChip->text(), "blanked");
    EXPECT_EQ(spy.count(), 1);
    shell.blankResult = false;
    prompter.answers = {QMessageBox::Yes};
    form.ButtonBlankChip->click();
    EXPECT_EQ(form.LabelBlankChip->text(), "empty socket");
    EXPECT_EQ(spy.count(), 1);
    // Closed and opened again (the chip may have been written since): the
    // old message is gone.
    form.hide();
    form.show();
    EXPECT_EQ(form.LabelBlankChip->text(), QString());
}

TEST_F(ConfigFormTest, BlankButtonNeedsTheSimulator) {
    shell.simulator = false;
    form.show();
    EXPECT_FALSE(form.ButtonBlankChip->isEnabled());
    EXPECT_EQ(form.LabelBlankChip->text(), "The simulated programmer is not in use.");
    form.ButtonBlankChipClick();
    EXPECT_EQ(shell.blanked, 0);
    EXPECT_TRUE(prompter.asked.empty());
}

TEST_F(ConfigFormTest, SettingsRoundTripThroughTheStartUpReader) {
    form.show();
    form.RadioGroup1Items->button(0)->click();
    form.RadioGroup2Items->button(1)->click();
    form.Edit1->setText("2.000000");
    form.Edit1Exit();
    form.Button1->click();
    SettingsStore store;
    ASSERT_TRUE(store.Open(QString::fromLatin1(kSettingsKey), false));
    EXPECT_EQ(store.ReadInt(kClockFreq, 0), 2000000);
    EXPECT_EQ(store.ReadInt(kPwrCircuitVersion, 0), 2);
    EXPECT_EQ(store.ReadInt(kLprPort, 0), 0x378);
}

}  // namespace
}  // namespace krt

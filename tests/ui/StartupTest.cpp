// SPDX-License-Identifier: GPL-3.0-or-later
// Start-up: settings, first-run windows, the device list, the port choice.
#include <QAction>
#include <QDir>
#include <QFile>
#include <QFontInfo>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QToolBar>

#include "UiTestSupport.h"
#include "SettingsStore.h"
#include "session/Session.h"
#include "WindowTexts.h"
#include "base/StatusMessages.h"

namespace krt::test {
namespace {

using StartupTest = WindowTest;

TEST_F(StartupTest, FirstRunShowsWelcomeThenConfigurationOnceInEnglish) {
    Start();
    EXPECT_FALSE(form->SettingsOk());
    EXPECT_EQ(form->Language(), 1u);
    EXPECT_EQ(form->GroupBox1->title(), QStringLiteral("Device selecting"));
    ShowAndSettle();
    const auto execs = prompter.Execs();
    ASSERT_EQ(execs.size(), 2u);
    EXPECT_EQ(execs[0], QStringLiteral("krt::TWelcomeForm"));
    EXPECT_EQ(execs[1], QStringLiteral("krt::THConfigForm"));
    EXPECT_TRUE(form->SettingsOk());
    // Shown once per run: hiding and showing again asks nothing more.
    form->hide();
    ShowAndSettle();
    EXPECT_EQ(prompter.Execs().size(), 2u);
}

TEST_F(StartupTest, ValidSettingsShowNoFirstRunWindows) {
    WriteValidSettings();
    Start();
    EXPECT_TRUE(form->SettingsOk());
    ShowAndSettle();
    EXPECT_TRUE(prompter.Execs().empty());
    EXPECT_EQ(form->Link().clockFrequency, 2000000.0);
    EXPECT_EQ(form->Link().powerCircuitVersion, 2);
    EXPECT_EQ(form->Link().portBase, 0x378);
}

TEST_F(StartupTest, OutOfRangeSettingsShowTheFirstRunWindows) {
    struct Case {
        int clock, power, port;
        bool ok;
    };
    const Case cases[] = {
        {450000, 2, 0x378, false}, {3500001, 2, 0x378, false}, {450001, 1, 0x3BC, true},
        {3500000, 2, 0x278, true}, {2000000, 3, 0x378, false}, {2000000, 2, 0x3BD, false},
        // Only the low 16 bits of the port count.
        {2000000, 2, 0x10378, true},
        // A PCI or PCIe card's base, written by hand; not one between ports.
        {2000000, 2, 0xD010, true}, {2000000, 2, 0xD012, false}, {2000000, 2, 0xFC, false},
    };
    for (const auto& c : cases) {
        WriteSettings({{"ClockFreq", c.clock}, {"PwrCircuitVersion", c.power}, {"LprPort", c.port}});
        Start();
        EXPECT_EQ(form->SettingsOk(), c.ok) << c.clock << " " << c.power << " " << std::hex << c.port;
        if (c.ok) {
            EXPECT_EQ(form->Link().portBase, c.port & 0xFFFF) << std::hex << c.port;
        }
        form.reset();
    }
}

TEST_F(StartupTest, StartUpLogsTheSimulatorTheListAndTheDetection) {
    WriteValidSettings();
    Start();
    EXPECT_TRUE(form->windowTitle() == QStringLiteral("KRTwin ver0.8.7 [simulator]"));
    const QStringList lines = LogLines();
    ASSERT_GE(lines.size(), 3);
    EXPECT_EQ(lines[0], SimulatorInUseText(1));
    EXPECT_EQ(lines[1], QString::asprintf("%d devices are registrered.", form->Devices().count));
    EXPECT_TRUE(lines.contains(QStringLiteral("KRT is initialized successfully.")));
    EXPECT_EQ(form->StatusText(), QStringLiteral("Please select a device"));
    EXPECT_TRUE(form->Link().programmerFound);
    // The family factory is installed.
    EXPECT_NE(form->Link().createFamily, nullptr);
}

TEST_F(StartupTest, ThreeDeviceListLogsThreeDevices) {
    QDir().mkpath(Path("cat"));
    QFile list(Path("cat/DEVICE.LST"));
    ASSERT_TRUE(list.open(QIODevice::WriteOnly));
    list.write("# comment\n\n# another\nEPROM,Intel,27C256,0,eprom-intel.prm\n"
               "EPROM,AMD,27C256,0,eprom-amd.prm\nPIC,Microchip,PIC16F84,4,pic.prm\n");
    list.close();
    options.catalogueDir = Path("cat");
    WriteValidSettings();
    Start();
    EXPECT_TRUE(LogHas(QStringLiteral("3 devices are registrered.")));
}

TEST_F(StartupTest, MissingDeviceListLeavesOnlyLanguageAndExit) {
    QDir().mkpath(Path("empty"));
    options.catalogueDir = Path("empty");
    WriteValidSettings();
    Start();
    ASSERT_EQ(prompter.Count("box"), 1);
    EXPECT_EQ(prompter.asked[0].text, QStringLiteral("ファイルDEVICE.LSTのオープンに失敗しました"));
    EXPECT_EQ(prompter.asked[0].caption, QStringLiteral("qv17win"));
    for (QAction* a : {form->FileNewItem, form->FileOpenItem, form->FileSaveItem,
                       form->FileSaveAsItem, form->OpRead, form->HardReset})
        EXPECT_FALSE(a->isEnabled()) << a->objectName().toStdString();
    for (QMenu* m : {form->pu1, form->N2, form->O1, form->B1, form->N3, form->Help1})
        EXPECT_FALSE(m->menuAction()->isEnabled()) << m->objectName().toStdString();
    for (QWidget* w : std::initializer_list<QWidget*>{form->ToolBar1, form->ComboBox1, form->Edit1,
                                                      form->Memo1, form->GroupBox1, form->Button1})
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    EXPECT_TRUE(form->L1->menuAction()->isEnabled());
    EXPECT_TRUE(form->J1->isEnabled());
    EXPECT_TRUE(form->FileExitItem->isEnabled());
    // No link request was sent: no detection, no reset.
    EXPECT_FALSE(form->Link().programmerFound);
    // No first-run windows either.
    ShowAndSettle();
    EXPECT_TRUE(prompter.Execs().empty());
    // The language still switches.
    form->J1Click();
    EXPECT_EQ(form->Language(), 0u);
}

TEST_F(StartupTest, UnopenablePrinterPortNamesThePortAndStaysUsable) {
    WriteValidSettings();
    options.port = QStringLiteral("ppdev:") + Path("no-such-parport");
    Start();
    EXPECT_FALSE(form->SimulatorInUse());
    EXPECT_EQ(form->windowTitle(), QStringLiteral("KRTwin ver0.8.7"));
    const QStringList lines = LogLines();
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_TRUE(lines[0].contains(QStringLiteral("0x378"))) << lines[0].toStdString();
    EXPECT_TRUE(lines.contains(QStringLiteral("KRT initialization is failed.")));
    ShowAndSettle();
    ASSERT_GE(prompter.Count("box"), 1);
    EXPECT_TRUE(prompter.asked[0].text.contains(QStringLiteral("0x378")));
    EXPECT_TRUE(prompter.asked[0].text.contains(QStringLiteral("simulated programmer")));
    // File work and selection stay available.
    Select(QStringLiteral("EPROM"), QStringLiteral("Intel"), QStringLiteral("27C256"));
    EXPECT_TRUE(form->DeviceSelected());
}

TEST_F(StartupTest, UseSimulatorSettingChoosesThePort) {
    WriteValidSettings();
    WriteSettings({{"UseSimulator", 0}});
    options.port.clear();
    Start();
    // The printer port is wanted; on this machine it cannot be opened, and
    // the program says so instead of switching to the simulator.
    EXPECT_FALSE(form->SimulatorInUse());
    form.reset();
    WriteSettings({{"UseSimulator", 1}});
    Start();
    EXPECT_TRUE(form->SimulatorInUse());
}

TEST_F(StartupTest, JapaneseFontRendersJapanese) {
    WriteValidSettings(0);
    Start();
    EXPECT_EQ(form->font().family(), QStringLiteral("ＭＳ ゴシック"));
    const QFontMetrics metrics(form->Label8->font());
    for (QChar c : QStringLiteral("許容するエラーの数デバイス選択"))
        EXPECT_TRUE(metrics.inFont(c)) << QString(c).toStdString();
    EXPECT_FALSE(InstallJapaneseFont().isEmpty());
}

TEST_F(StartupTest, CloseResetsTheLinkAndSavesTheSocket) {
    WriteValidSettings();
    Start();
    Select(QStringLiteral("EPROM"), QStringLiteral("Intel"), QStringLiteral("27C256"));
    ASSERT_TRUE(form->DeviceSelected());
    form->close();
    EXPECT_FALSE(QDir(Path("chips")).entryList({QStringLiteral("*.chip")}).isEmpty());
}

TEST(SettingsStore, OpenWithoutCreateFailsOnFirstRun) {
    App();
    QTemporaryDir dir;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, dir.path());
    SettingsStore store;
    EXPECT_FALSE(store.Open(QString::fromLatin1(kSettingsKey), false));
    EXPECT_EQ(store.ReadInt(QStringLiteral("Language"), 1), 1);
    ASSERT_TRUE(store.Open(QString::fromLatin1(kSettingsKey), true));
    EXPECT_TRUE(store.WriteInt(QStringLiteral("LprPort"), 0x3BC));
    store.Close();
    ASSERT_TRUE(store.Open(QString::fromLatin1(kSettingsKey), false));
    EXPECT_EQ(store.ReadInt(QStringLiteral("LprPort"), 0), 0x3BC);
    EXPECT_EQ(store.ReadInt(QStringLiteral("Missing"), 7), 7);
    // The file the command line reads: plain integers under [General].
    QFile ini(dir.filePath("Kavimeru/KRTwin.conf"));
    ASSERT_TRUE(ini.open(QIODevice::ReadOnly));
    EXPECT_TRUE(ini.readAll().contains("LprPort=956"));
}

}  // namespace
}  // namespace krt::test

// SPDX-License-Identifier: GPL-3.0-or-later
// The texts of both languages and the language switch.
#include <QAbstractButton>
#include <QFileInfo>
#include <QLibraryInfo>
#include <QMessageBox>
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QToolBar>
#include <QToolButton>

#include "UiTestSupport.h"
#include "WindowTexts.h"
#include "ui/TWConfigForm.h"
#include "link/Link.h"

namespace krt::test {
namespace {

using LanguageTest = WindowTest;

QString ToolHint(TQV17MainForm& f, int number) {
    auto* b = f.ToolBar1->findChild<QToolButton*>(QStringLiteral("ToolButton%1").arg(number));
    return b ? b->toolTip() : QStringLiteral("<missing>");
}

TEST_F(LanguageTest, EnglishTexts) {
    WriteValidSettings(1);
    Start();
    EXPECT_EQ(form->Label8->text(), QStringLiteral("Permissible errors"));
    EXPECT_EQ(form->GroupBox1->title(), QStringLiteral("Device selecting"));
    EXPECT_EQ(form->Label5->text(), QStringLiteral("&Type"));
    EXPECT_EQ(form->Label6->text(), QStringLiteral("&Manufacture"));
    EXPECT_EQ(form->Label7->text(), QStringLiteral("&Number"));
    EXPECT_EQ(form->Button1->text(), QStringLiteral("&Select"));
    EXPECT_EQ(form->GroupBox2->title(), QStringLiteral("Operation config"));
    EXPECT_EQ(form->Label1->text(), QStringLiteral("Start ADDR"));
    EXPECT_EQ(form->Label4->text(), QStringLiteral("CheckSum"));
    EXPECT_EQ(form->File1->title(), QStringLiteral("&File"));
    EXPECT_EQ(form->File1->menuAction()->toolTip(), QStringLiteral("functions related to file"));
    EXPECT_EQ(form->O1->title(), QStringLiteral("&Opeation"));
    EXPECT_EQ(form->N8->text(), QStringLiteral("&Security option"));
    EXPECT_EQ(form->SaveAs1->text(), QStringLiteral("Save &as"));
    EXPECT_EQ(form->HelpAboutItem->text(), QStringLiteral("&About..."));
    EXPECT_EQ(ToolHint(*form, 9), QStringLiteral("READ"));
    EXPECT_EQ(ToolHint(*form, 15), QStringLiteral("AUTO WRITE"));
    EXPECT_EQ(ToolHint(*form, 17), QStringLiteral("Buffer DUMP"));
    EXPECT_EQ(ToolHint(*form, 19), QStringLiteral("Hardware RESET"));
    EXPECT_EQ(ToolHint(*form, 20), QStringLiteral("Hardware Configuration"));
    EXPECT_EQ(form->font().family(), QStringLiteral("Arial"));
    EXPECT_FALSE(form->J1->isChecked());
    EXPECT_TRUE(form->E1->isChecked());
    // The system's seven after the placeholder, then ours.
    ASSERT_EQ(form->ComboBox1->count(), 10);
    EXPECT_EQ(form->ComboBox1->itemText(0), QStringLiteral("(Select device's TYPE)"));
    EXPECT_EQ(form->ComboBox1->itemText(3), QStringLiteral("Serial EEPROM"));
    EXPECT_EQ(form->ComboBox1->itemText(7), QStringLiteral("One Time PROM"));
    EXPECT_EQ(form->ComboBox1->itemText(8), QStringLiteral("5V FLASHROM"));
    EXPECT_EQ(form->ComboBox1->itemText(9), QStringLiteral("Static RAM"));
    EXPECT_EQ(form->Identify1->text(), QStringLiteral("&Identify (read the chip's product ID)"));
    EXPECT_EQ(form->ComboBox2->itemText(0), QStringLiteral("(Select device's Manufacture)"));
    EXPECT_EQ(form->ComboBox3->itemText(0), QStringLiteral("(Select device's number)"));
}

TEST_F(LanguageTest, JapaneseTexts) {
    WriteValidSettings(0);
    Start();
    EXPECT_EQ(form->Label8->text(), QStringLiteral("許容するエラーの数"));
    EXPECT_EQ(form->GroupBox1->title(), QStringLiteral("デバイス選択"));
    EXPECT_EQ(form->Label5->text(), QStringLiteral("種類(&T)"));
    EXPECT_EQ(form->Button1->text(), QStringLiteral("決定(&S)"));
    EXPECT_EQ(form->GroupBox2->title(), QStringLiteral("操作設定"));
    EXPECT_EQ(form->Label3->text(), QStringLiteral("操作長"));
    EXPECT_EQ(form->N3->title(), QStringLiteral("ハードウェア(&W)"));
    EXPECT_EQ(form->N16->text(), QStringLiteral("デバイスオプション(&O)"));
    EXPECT_EQ(form->N15->text(), QStringLiteral("一時プロジェクト(&T)"));
    EXPECT_EQ(ToolHint(*form, 10), QStringLiteral("デバイス書きこみ"));
    EXPECT_EQ(ToolHint(*form, 14), QStringLiteral("セキュリティー"));
    EXPECT_TRUE(form->J1->isChecked());
    EXPECT_FALSE(form->E1->isChecked());
    ASSERT_EQ(form->ComboBox1->count(), 10);
    EXPECT_EQ(form->ComboBox1->itemText(0), QStringLiteral("(種類を選択してください)"));
    EXPECT_EQ(form->ComboBox1->itemText(7), QStringLiteral("ワンタイムPROM"));
    EXPECT_EQ(form->ComboBox1->itemText(8), QStringLiteral("5VフラッシュROM"));
    EXPECT_EQ(form->ComboBox1->itemText(9), QStringLiteral("スタティックRAM"));
    EXPECT_EQ(form->Identify1->text(), QStringLiteral("チップの識別(&I)"));
    EXPECT_EQ(form->ComboBox3->itemText(0), QStringLiteral("(型番を選択してください。)"));
    EXPECT_TRUE(LogHas(QString::asprintf("%d個のデバイスが登録されました。", form->Devices().count)));
}

TEST_F(LanguageTest, QtsOwnTextsFollowTheLanguage) {
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    if (!QFileInfo::exists(folder + QStringLiteral("/qtbase_ja.qm"))) GTEST_SKIP() << "no qtbase_ja";
    auto cancel = [] {
        QMessageBox box;
        box.setStandardButtons(QMessageBox::Cancel);
        return box.button(QMessageBox::Cancel)->text();
    };
    WriteValidSettings(0);
    Start();
    EXPECT_EQ(cancel(), QStringLiteral("キャンセル"));
    form->E1Click();
    EXPECT_EQ(cancel(), QStringLiteral("Cancel"));
    form->J1Click();
    EXPECT_EQ(cancel(), QStringLiteral("キャンセル"));
}

TEST_F(LanguageTest, ParameterEditorFollowsTheWindowsLanguage) {
    WriteValidSettings(1);
    Start();
    ASSERT_NE(form->ParamEditor(), nullptr);
    EXPECT_EQ(form->ParamEditor()->windowTitle(), QStringLiteral("Programming method"));
    form->J1Click();
    EXPECT_EQ(form->ParamEditor()->windowTitle(), QString::fromUtf8("書きこみ方法の確認"));
    EXPECT_EQ(form->ParamEditor()->Button1->text(), QString::fromUtf8("閉じる(&C)"));
    form->E1Click();
    EXPECT_EQ(form->ParamEditor()->Button1->text(), QStringLiteral("&Close"));
}

TEST_F(LanguageTest, ProgressDialogSpeaksTheLanguage) {
    // Japanese keeps its own lines exactly; English has ours.
    struct Case {
        uint32_t language;
        const char* start;
        const char* cancel;
    } cases[] = {{0, "0/256 (0%)終了しました", "キャンセル"}, {1, "0/256 (0%) done", "Cancel"}};
    for (const Case& c : cases) {
        LinkContext link;
        link.language = c.language;
        TProgressForm progress(link);
        progress.PrepareProgress(256, QStringLiteral("x"));
        EXPECT_EQ(progress.StaticText1->text(), QString::fromUtf8(c.start));
        EXPECT_EQ(progress.Button1->text(), QString::fromUtf8(c.cancel));
    }
    EXPECT_EQ(ProgressCountText(0, 128, 256), QStringLiteral("128/256 ( 50%)終了しました"));
    EXPECT_EQ(ProgressCountText(1, 128, 256), QStringLiteral("128/256 ( 50%) done"));
    EXPECT_EQ(ProgressFinishedText(0), QStringLiteral("終了"));
}

TEST_F(LanguageTest, SwitchStoresTheLanguageAndKeepsTheSelection) {
    WriteValidSettings(1);
    Start();
    Select(QStringLiteral("EPROM"), QStringLiteral("Intel"), QStringLiteral("27C256"));
    ASSERT_TRUE(form->DeviceSelected());
    form->J1Click();
    EXPECT_EQ(form->Language(), 0u);
    EXPECT_EQ(ReadSetting(QStringLiteral("Language")), 0);
    EXPECT_EQ(form->Link().language, 0u);
    EXPECT_TRUE(form->DeviceSelected());
    EXPECT_EQ(form->ComboBox1->currentText(), QStringLiteral("EPROM"));
    EXPECT_EQ(form->ComboBox3->currentText(), QStringLiteral("27C256"));
    EXPECT_EQ(form->Label8->text(), QStringLiteral("許容するエラーの数"));
    form->E1Click();
    EXPECT_EQ(ReadSetting(QStringLiteral("Language")), 1);
    EXPECT_EQ(form->GroupBox2->title(), QStringLiteral("Operation config"));
}

TEST_F(LanguageTest, ControlsCarryTheirDesignNamesAndShortcuts) {
    WriteValidSettings();
    Start();
    for (const char* name : {"MainMenu1", "ToolBar1", "GroupBox1", "GroupBox2", "ComboBox1",
                             "ComboBox6", "Edit1", "Memo1", "StatusBar1", "Label8", "Button1"})
        EXPECT_NE(form->findChild<QObject*>(QString::fromLatin1(name)), nullptr) << name;
    for (const char* name : {"OpRead", "OpAuto", "HardReset", "HardConfig", "FileNew1", "N4", "K1",
                             "N16", "J1", "E1", "FileExitItem", "HelpAboutItem"})
        EXPECT_NE(form->findChild<QAction*>(QString::fromLatin1(name)), nullptr) << name;
    EXPECT_EQ(form->FileNew1->shortcut(), QKeySequence(QStringLiteral("Ctrl+N")));
    EXPECT_EQ(form->FileOpen1->shortcut(), QKeySequence(QStringLiteral("Ctrl+O")));
    EXPECT_EQ(form->FileSave1->shortcut(), QKeySequence(QStringLiteral("Ctrl+S")));
    EXPECT_EQ(form->Edit1->text(), QStringLiteral("100"));
    EXPECT_EQ(form->Edit1->maxLength(), 6);
    EXPECT_TRUE(form->pu1->menuAction()->isEnabled());  // the Project menu saves and opens jobs
    // Within each menu, in both languages, each item has a letter of its own.
    for (QAction* language : {form->J1, form->E1}) {
        language->trigger();
        for (QMenu* menu : form->menuBar()->findChildren<QMenu*>()) {
            QStringList letters;
            for (QAction* item : menu->actions()) {
                const int at = item->text().indexOf(QLatin1Char('&'));
                if (at < 0 || at + 1 >= item->text().size()) continue;
                const QString letter = item->text().mid(at + 1, 1).toUpper();
                EXPECT_FALSE(letters.contains(letter)) << menu->objectName().toStdString() << " &" << letter.toStdString();
                letters << letter;
            }
        }
    }
    for (QAction* a : form->ToolBar1->actions())
        if (!a->isSeparator()) {
            EXPECT_FALSE(a->icon().isNull()) << a->objectName().toStdString();
        }
}

TEST(WindowTexts, TypeKeys) {
    EXPECT_EQ(TypeKeyOf(QStringLiteral("Serial EEPROM")), QStringLiteral("SEEPROM"));
    EXPECT_EQ(TypeKeyOf(QStringLiteral("シリアルEEPROM")), QStringLiteral("SEEPROM"));
    EXPECT_EQ(TypeKeyOf(QStringLiteral("PLD")), QStringLiteral("GAL"));
    EXPECT_EQ(TypeKeyOf(QStringLiteral("MicroControler")), QStringLiteral("PIC"));
    EXPECT_EQ(TypeKeyOf(QStringLiteral("FLASHROM")), QStringLiteral("FLASH"));
    EXPECT_EQ(TypeKeyOf(QStringLiteral("ワンタイムPROM")), QStringLiteral("OTPROM"));
    EXPECT_EQ(TypeKeyOf(QStringLiteral("5V FLASHROM")), QStringLiteral("FLASH5V"));
    EXPECT_EQ(TypeKeyOf(QStringLiteral("5VフラッシュROM")), QStringLiteral("FLASH5V"));
    EXPECT_EQ(TypeKeyOf(QStringLiteral("eprom")), QString());  // whole and case-sensitive
    EXPECT_EQ(TypeKeyOf(QStringLiteral("(Select device's TYPE)")), QString());
    EXPECT_EQ(TypeItemOf(1, QStringLiteral("FLASH5V")), QStringLiteral("5V FLASHROM"));
    EXPECT_EQ(TypeItemOf(0, QStringLiteral("flash5v")), QStringLiteral("5VフラッシュROM"));
    EXPECT_EQ(TypeItemOf(1, QStringLiteral("NOSUCH")), QStringLiteral("NOSUCH"));
}

}  // namespace
}  // namespace krt::test

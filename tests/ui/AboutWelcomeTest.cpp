// SPDX-License-Identifier: GPL-3.0-or-later
// The about box and the welcome window in both languages.
#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTextEdit>

#include "DialogTestSupport.h"
#include "DialogTexts.h"
#include "TAboutBox.h"
#include "TWelcomeForm.h"

namespace krt {
namespace {

TEST(WelcomeForm, JapaneseTextLineByLine) {
    dialogtest::EnsureApplication();
    TWelcomeForm form;
    form.SetLanguage(0);
    const QStringList lines = form.RichEdit1->toPlainText().split(u'\n');
    ASSERT_EQ(lines.size(), 10);
    EXPECT_EQ(lines[0], QString::fromUtf8("　　　　　　　　　ＫＲＴへようこそ"));
    EXPECT_EQ(lines[1], "");
    EXPECT_EQ(lines[2], QString::fromUtf8("これはユニバーサルプログラマＫＲＴ用のコントロールソフトです。"));
    EXPECT_EQ(lines[3], QString::fromUtf8("最初にこのプログラムを起動したときには、各種の設定を行わな"));
    EXPECT_EQ(lines[4], QString::fromUtf8("ければなりません。"));
    EXPECT_EQ(lines[5], QString::fromUtf8("閉じるを押して設定を完了させてください。"));
    EXPECT_EQ(lines[6], QString::fromUtf8("設定の内容は、使った水晶発信器の周波数や参考にした回路図"));
    EXPECT_EQ(lines[7], QString::fromUtf8("のバージョンなどです。"));
    EXPECT_EQ(lines[8], QString::fromUtf8("ＫＲＴの水晶は普通3.5MHzです（設定はこの値で始まります）。"));
    EXPECT_EQ(lines[9], "");
    EXPECT_EQ(form.windowTitle(), "Welcome");
    EXPECT_EQ(form.Button1->text(), QString::fromUtf8("閉じる"));
    EXPECT_TRUE(form.RichEdit1->isReadOnly());
}

TEST(WelcomeForm, EnglishTextAndWindowKind) {
    dialogtest::EnsureApplication();
    TWelcomeForm form;
    form.SetLanguage(1);
    const QString text = form.RichEdit1->toPlainText();
    EXPECT_TRUE(text.contains("Welcome to the KRT"));
    EXPECT_TRUE(text.contains("crystal oscillator"));
    // The typical value, which the configuration dialog starts from.
    EXPECT_TRUE(text.contains("usual crystal is 3.5 MHz"));
    EXPECT_EQ(text.split(u'\n').size(), 10);
    EXPECT_EQ(form.windowTitle(), "Welcome");
    EXPECT_EQ(form.Button1->text(), "Close");
    EXPECT_TRUE(form.windowFlags() & Qt::WindowStaysOnTopHint);
    EXPECT_FALSE(form.windowFlags() & Qt::WindowCloseButtonHint);
    form.show();
    form.Button1->click();
    EXPECT_FALSE(form.isVisible());
    EXPECT_EQ(form.result(), QDialog::Accepted);
}

TEST(AboutBox, TextsInBothLanguages) {
    dialogtest::EnsureApplication();
    TAboutBox box;
    box.SetLanguage(0);
    EXPECT_EQ(box.windowTitle(), QString::fromUtf8("バージョン情報"));
    EXPECT_EQ(box.ProductName->text(), "QV17win");
    EXPECT_EQ(box.Button1->text(), QString::fromUtf8("閉じる"));
    EXPECT_FALSE(box.Copyright->text().isEmpty());
    EXPECT_FALSE(box.Comments->text().isEmpty());
    box.SetLanguage(1);
    EXPECT_EQ(box.windowTitle(), "About");
    EXPECT_EQ(box.ProductName->text(), "QV17win");
    EXPECT_EQ(box.Button1->text(), "Close");
    EXPECT_NE(box.Copyright->text(), DialogTextOf(0, DialogText::AboutLine1));
    EXPECT_FALSE(box.windowFlags() & Qt::WindowCloseButtonHint);
    box.Version->setText(DialogTextOf(1, DialogText::VersionPrefix) + "0.8.7");
    EXPECT_EQ(box.Version->text(), "Version 0.8.7");
    box.show();
    box.Button1->click();
    EXPECT_FALSE(box.isVisible());
}

// A main window stand-in: a widget that offers the shell services.
class ShellWidget : public QWidget, public dialogtest::FakeShell {};

TEST(AboutBox, TakesTheMainWindowsLanguageWhenShown) {
    dialogtest::EnsureApplication();
    ShellWidget main;
    TAboutBox box(&main);
    TWelcomeForm welcome(&main);
    EXPECT_EQ(box.Version->text(), "Version 0.8.7");
    main.link.language = 0;
    box.show();
    welcome.show();
    EXPECT_EQ(box.windowTitle(), QString::fromUtf8("バージョン情報"));
    EXPECT_EQ(welcome.Button1->text(), QString::fromUtf8("閉じる"));
    box.hide();
    welcome.hide();
    main.link.language = 1;
    box.show();
    welcome.show();
    EXPECT_EQ(box.Button1->text(), "Close");
    EXPECT_EQ(welcome.Button1->text(), "Close");
    box.hide();
    welcome.hide();
}

// The configuration dialog keeps its Japanese texts in Japanese and is
// wholly English in English (a first run in one language).
TEST(DialogTexts, ConfigurationTextsInOneLanguageEach) {
    for (DialogText t : {DialogText::HConfigCaption, DialogText::RadioGroup1, DialogText::RadioGroup2,
                         DialogText::Ver1, DialogText::GroupBox1, DialogText::Label1}) {
        EXPECT_NE(DialogTextOf(0, t), DialogTextOf(1, t));
        for (QChar c : DialogTextOf(1, t)) EXPECT_LT(c.unicode(), 0x80) << DialogTextOf(1, t).toStdString();
    }
    EXPECT_EQ(DialogTextOf(0, DialogText::RadioGroup2), QString::fromUtf8("電源回路のバージョン"));
    EXPECT_EQ(DialogTextOf(1, DialogText::Button1), "OK");
    EXPECT_EQ(DialogTextOf(7, DialogText::AboutClose), "Close");  // other values read as English
    EXPECT_TRUE(DialogTextOf(1, DialogText::Count).isEmpty());
}

}  // namespace
}  // namespace krt

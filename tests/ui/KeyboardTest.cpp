// SPDX-License-Identifier: GPL-3.0-or-later
// The window from the keyboard: access keys and Enter in the Number box.
#include <QLabel>
#include <QMenuBar>
#include <QPushButton>
#include <QTest>
#include <set>

#include "UiTestSupport.h"

namespace krt::test {
namespace {

class KeyboardTest : public StartedWindowTest {};

QChar AccessKey(const QString& text) {
    const int at = text.indexOf(QLatin1Char('&'));
    return at >= 0 && at + 1 < text.size() ? text[at + 1].toUpper() : QChar();
}

TEST_F(KeyboardTest, EveryMenuAndTheSelectionHaveTheirOwnAccessKeyInBothLanguages) {
    for (void (TQV17MainForm::*language)() : {&TQV17MainForm::J1Click, &TQV17MainForm::E1Click}) {
        (form.get()->*language)();
        SCOPED_TRACE(form->File1->title().toStdString());
        std::set<QChar> keys;
        QStringList texts;
        for (QAction* a : form->menuBar()->actions()) texts << a->text();
        texts << form->Label5->text() << form->Label6->text() << form->Label7->text() << form->Button1->text();
        for (const QString& text : texts) {
            const QChar key = AccessKey(text);
            EXPECT_FALSE(key.isNull()) << text.toStdString();
            EXPECT_TRUE(keys.insert(key).second) << "shared access key in " << text.toStdString();
        }
    }
}

TEST_F(KeyboardTest, EnterInTheNumberBoxPressesSelect) {
    ShowAndSettle();
    Choose(QStringLiteral("EPROM"), QStringLiteral("Intel"), QStringLiteral("27C256"));
    ASSERT_TRUE(form->ComboBox3->isEditable());
    form->ComboBox3->setFocus();
    QTest::keyClick(form->ComboBox3->lineEdit(), Qt::Key_Return);
    EXPECT_TRUE(form->DeviceSelected());
    EXPECT_EQ(form->Record().name, "27C256");
}

}  // namespace
}  // namespace krt::test

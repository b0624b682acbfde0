// SPDX-License-Identifier: GPL-3.0-or-later
// The main window's size, its log pane and what it remembers between runs.
#include <QAbstractButton>
#include <QFile>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>

#include "UiTestSupport.h"

namespace krt::test {
namespace {

class WindowSizeTest : public StartedWindowTest {};

TEST_F(WindowSizeTest, DesignSizeIsTheSmallestAndTheLogTakesTheRoom) {
    const QSize least = form->minimumSize();
    EXPECT_EQ(least.width(), 532);
    EXPECT_EQ(least.height(), 314 + form->menuBar()->sizeHint().height());
    ShowAndSettle();
    // A first start: two thirds of the screen, never below the design size.
    ASSERT_NE(form->screen(), nullptr);
    EXPECT_EQ(form->size(), (form->screen()->availableSize() * 2 / 3).expandedTo(least));
    form->resize(least);
    Settle();
    const int logHeight = form->Memo1->height();
    const int logWidth = form->Memo1->width();

    form->resize(900, 700);
    Settle();
    EXPECT_EQ(form->size(), QSize(900, 700));
    EXPECT_GE(form->Memo1->height(), logHeight + 300);
    EXPECT_GE(form->Memo1->width(), logWidth + 300);
    // Smaller than the design size is refused.
    form->resize(300, 200);
    Settle();
    EXPECT_EQ(form->size(), least);
    EXPECT_EQ(form->Memo1->lineWrapMode(), QPlainTextEdit::WidgetWidth);
}

// Every label and button of the main window shows its whole text at the
// smallest size, in both languages, with a device selected.
class WindowTextsFit : public WindowTest {
protected:
    void Check(int language) {
        SCOPED_TRACE(language);
        WriteValidSettings(language);
        Start();
        Select(QStringLiteral("EPROM"), QStringLiteral("Intel"), QStringLiteral("27C512"));
        ASSERT_TRUE(form->DeviceSelected());
        ShowAndSettle();
        form->resize(form->minimumSize());
        Settle();
        ASSERT_EQ(form->size(), form->minimumSize());
        int checked = 0;
        for (QLabel* label : form->findChildren<QLabel*>()) {
            if (!label->isVisibleTo(form.get()) || label->text().isEmpty() || label->wordWrap()) continue;
            const QSize need = label->sizeHint();
            EXPECT_LE(need.width(), label->width()) << label->objectName().toStdString() << " "
                                                    << label->text().toStdString();
            EXPECT_LE(need.height(), label->height()) << label->objectName().toStdString();
            ++checked;
        }
        for (QAbstractButton* button : form->findChildren<QAbstractButton*>()) {
            if (!button->isVisibleTo(form.get()) || button->text().isEmpty()) continue;
            EXPECT_LE(button->sizeHint().width(), button->width())
                << button->objectName().toStdString() << " " << button->text().toStdString();
            ++checked;
        }
        for (QGroupBox* group : form->findChildren<QGroupBox*>()) {
            if (!group->isVisibleTo(form.get())) continue;
            EXPECT_LE(group->fontMetrics().horizontalAdvance(group->title()), group->width())
                << group->objectName().toStdString();
        }
        EXPECT_GT(checked, 5);
        form.reset();
    }
};

TEST_F(WindowTextsFit, AtTheSmallestSizeInBothLanguages) {
    Check(0);
    Check(1);
}

TEST_F(WindowSizeTest, LogIsSavedFromItsContextMenu) {
    const QString line = QStringLiteral("A long line that tells the user what to do next, ") + QString(200, QLatin1Char('x'));
    form->Log(line);
    std::unique_ptr<QMenu> menu(form->LogContextMenu());
    auto* save = menu->findChild<QAction*>(QStringLiteral("SaveLog"));
    ASSERT_NE(save, nullptr);
    EXPECT_EQ(save->text(), QStringLiteral("Save &log..."));
    prompter.fileNames.push_back(Path("saved.log"));
    save->trigger();
    QFile file(Path("saved.log"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    EXPECT_TRUE(text.contains(line));
    EXPECT_TRUE(text.startsWith(LogLines().value(0)));
    // A file that cannot be written says so.
    prompter.fileNames.push_back(Path("no-such-dir/saved.log"));
    const int boxes = prompter.Count("box");
    save->trigger();
    EXPECT_EQ(prompter.Count("box"), boxes + 1);
}

TEST_F(WindowSizeTest, SizeAndLastDeviceComeBackAtTheNextStart) {
    Select(QStringLiteral("EPROM"), QStringLiteral("Intel"), QStringLiteral("27C512"));
    ASSERT_TRUE(form->DeviceSelected());
    ShowAndSettle();
    form->resize(800, 600);
    Settle();
    form->close();
    form.reset();

    Start();
    EXPECT_EQ(form->size(), QSize(800, 600));
    EXPECT_EQ(form->ComboBox1->currentText(), QStringLiteral("EPROM"));
    EXPECT_EQ(form->ComboBox2->currentText(), QStringLiteral("Intel"));
    EXPECT_EQ(form->ComboBox3->currentText(), QStringLiteral("27C512"));
    // Chosen, not loaded: Select loads it.
    EXPECT_FALSE(form->DeviceSelected());
    form->Button1Click();
    EXPECT_TRUE(form->DeviceSelected());
}

}  // namespace
}  // namespace krt::test

// SPDX-License-Identifier: GPL-3.0-or-later
// Edits are never lost without a question: the questions that would lose
// data default to No, and the unsaved mark stays after every command that
// leaves the buffer as it was. The edit is typed into the dump window.
#include <QFileInfo>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>
#include <functional>

#include "FileFolders.h"
#include "TBatchForm.h"
#include "TForm3.h"
#include "TQV17MainForm.h"
#include "UiTestSupport.h"
#include "session/Session.h"

namespace krt::test {
namespace {

class EditsKept : public StartedWindowTest {
protected:
    void SetUp() override {
        StartedWindowTest::SetUp();
        ShowAndSettle();
        SelectEprom("27C64");
    }
    // Bin > Dump, "12" typed over the first byte, Close.
    void TypeInDump() {
        prompter.onExec = [](QDialog& d) {
            auto& dump = static_cast<TForm3&>(d);
            dump.show();
            dump.StringGrid1->setFocus();
            dump.StringGrid1->setCurrentCell(1, 1);
            QTest::keyClicks(dump.StringGrid1, QStringLiteral("12"));
            dump.hide();
            return int(QDialog::Accepted);
        };
        form->D1->trigger();
        prompter.onExec = nullptr;
        Settle();
        ASSERT_EQ(form->Buffer()[0], 0x12);
    }
    bool Marked() {
        Settle();
        return form->windowTitle().endsWith(QString::fromLatin1(kUnsavedMark));
    }
};

TEST_F(EditsKept, QuestionsThatLoseDataDefaultToNo) {
    const struct {
        const char* what;
        bool edit;  // the edit typed first (else an unsaved read)
        std::function<void()> ask;
    } cases[] = {
        {"File > Open over edits", true, [this] { form->FileOpen1->trigger(); }},
        {"File > Exit over edits", true, [this] { form->FileExit1->trigger(); }},
        {"Operation > Read over edits", true, [this] { form->N4->trigger(); }},
        {"Project > New over edits", true, [this] { form->ProjectNew1->trigger(); }},
        {"File > New over a read", false, [this] { form->FileNew1->trigger(); }},
        {"Hardware > Configure, erase the socket's chip", false,
         [this] {
             prompter.onExec = [](QDialog& d) {
                 d.show();
                 d.findChild<QPushButton*>(QStringLiteral("ButtonBlankChip"))->click();
                 d.hide();
                 return int(QDialog::Accepted);
             };
             form->S1->trigger();
             prompter.onExec = nullptr;
         }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.edit) TypeInDump();
        else form->N4->trigger();  // Operation > Read
        const uint8_t before = form->Buffer()[0];
        prompter.defaults.clear();
        prompter.answers = {QMessageBox::No};
        c.ask();
        ASSERT_EQ(prompter.defaults, std::vector<QMessageBox::StandardButton>{QMessageBox::No});
        EXPECT_TRUE(form->isVisible());
        EXPECT_EQ(form->Buffer()[0], before);
        prompter.answers.clear();
    }
}

TEST_F(EditsKept, TheMarkStaysAfterCommandsThatKeepTheBuffer) {
    const struct {
        const char* what;
        std::function<void()> run;
        bool marked;
    } cases[] = {
        {"Write", [this] { form->K1->trigger(); }, true},
        {"Verify", [this] { form->N5->trigger(); }, true},
        {"Blank", [this] { form->N6->trigger(); }, true},
        {"Compare", [this] { form->Compare1->trigger(); }, true},
        {"Reset", [this] { form->N14->trigger(); }, true},
        {"Batch",
         [this] {
             prompter.onExec = [this](QDialog& d) {
                 auto& batch = static_cast<TBatchForm&>(d);
                 batch.CountSpin->setValue(1);
                 batch.ChipDirEdit->setText(Path("batch"));
                 batch.LogEdit->setText(Path("batch.log"));
                 QTest::mouseClick(batch.StartButton, Qt::LeftButton);
                 return int(QDialog::Accepted);
             };
             form->Batch1->trigger();
             prompter.onExec = nullptr;
             EXPECT_TRUE(LogHas(QStringLiteral("Batch: 1 chips done, 0 failed"))) << LogLines().join('\n').toStdString();
         },
         true},
        {"Read (the chip replaces the buffer)", [this] { form->N4->trigger(); }, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        TypeInDump();
        ASSERT_TRUE(Marked());
        c.run();
        EXPECT_EQ(Marked(), c.marked) << form->windowTitle().toStdString();
        prompter.answers = {QMessageBox::Yes};
        form->FileNew1->trigger();  // a fresh blank buffer for the next case
    }
}

// A save that fails leaves the folder of the last one that worked.
TEST_F(EditsKept, OnlyASuccessfulSaveChoosesTheNextFolder) {
    prompter.asked.clear();
    prompter.fileNames = {QStringLiteral("/proc/no-such/w.bin")};
    form->FileSave1->trigger();
    ASSERT_EQ(prompter.asked.front().kind, QStringLiteral("save"));
    const QString filter = prompter.asked.front().text;
    EXPECT_TRUE(FolderFor(filter).isEmpty());
    prompter.fileNames = {Path("w.bin")};
    form->FileSave1->trigger();
    EXPECT_EQ(FolderFor(filter), QFileInfo(Path("w.bin")).absolutePath());
    EXPECT_EQ(form->StatusText(), QStringLiteral("File: %1 written").arg(Path("w.bin")));
    form->J1->trigger();  // the status line follows the language
    EXPECT_EQ(form->StatusText(), QStringLiteral("File:%1書きこみました").arg(Path("w.bin")));
}

}  // namespace
}  // namespace krt::test

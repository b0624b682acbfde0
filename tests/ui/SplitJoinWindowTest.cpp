// SPDX-License-Identifier: GPL-3.0-or-later
// File > Split and File > Join in the main window, and the question before
// unsaved edits of the buffer are lost.
#include <QFile>
#include <QTest>

#include "TQV17MainForm.h"
#include "UiTestSupport.h"
#include "session/Session.h"

namespace krt::test {
namespace {

class SplitJoinWindow : public StartedWindowTest {
protected:
    QByteArray Read(const char* name) {
        QFile f(Path(name));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void Write(const char* name, const QByteArray& bytes) {
        QFile f(Path(name));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
};

TEST_F(SplitJoinWindow, SplitsIntoEvenAndOddBytesAndJoinsThemBack) {
    Write("image.bin", QByteArray("0123456789ABCDEF"));
    prompter.fileNames = {Path("image.bin"), Path("even.hex"), Path("odd.bin")};
    form->FileSplit1->trigger();
    EXPECT_EQ(Read("odd.bin"), QByteArray("13579BDF"));
    prompter.fileNames = {Path("even.hex"), Path("odd.bin"), Path("joined.bin")};
    form->FileJoin1->trigger();
    EXPECT_EQ(Read("joined.bin"), QByteArray("0123456789ABCDEF"));
    EXPECT_TRUE(LogHas(Path("joined.bin") + QStringLiteral(": 16 bytes")));
    EXPECT_EQ(prompter.Count("box"), 0);
}

TEST_F(SplitJoinWindow, AJoinOfDifferentSizesSaysBothAndWritesNothing) {
    Write("a.bin", QByteArray(8, 'a'));
    Write("b.bin", QByteArray(6, 'b'));
    prompter.fileNames = {Path("a.bin"), Path("b.bin"), Path("out.bin")};
    form->FileJoin1->trigger();
    ASSERT_EQ(prompter.Count("box"), 1);
    EXPECT_TRUE(Last(prompter.asked).text.contains(QStringLiteral("a.bin has 8 bytes")));
    EXPECT_TRUE(Last(prompter.asked).text.contains(QStringLiteral("b.bin has 6")));
    EXPECT_FALSE(QFile::exists(Path("out.bin")));
}

TEST_F(SplitJoinWindow, UnsavedEditsAreNotLostWithoutAsking) {
    ShowAndSettle();
    SelectEprom();
    std::string error;
    ASSERT_TRUE(form->Programmer().edits.Write(form->Programmer().buffer, 0, {0x12}, error, 1));
    form->Programmer().BufferChanged();
    Settle();
    EXPECT_TRUE(form->windowTitle().endsWith(QStringLiteral(" *")));
    prompter.answers = {QMessageBox::No};
    form->FileOpen1Execute();
    EXPECT_EQ(Last(prompter.asked).text, QStringLiteral("The buffer has edits that are not saved. Discard them?"));
    EXPECT_EQ(prompter.Count("open"), 0);
    EXPECT_EQ(form->Programmer().buffer[0], 0x12);
    prompter.answers = {QMessageBox::Yes};
    form->FileNew1Execute();
    EXPECT_EQ(form->Programmer().buffer[0], 0xFF);
    Settle();
    EXPECT_FALSE(form->windowTitle().endsWith(QStringLiteral(" *")));
}

}  // namespace
}  // namespace krt::test

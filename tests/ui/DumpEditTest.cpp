// SPDX-License-Identifier: GPL-3.0-or-later
// The dump window as an editor: keys typed over the grid's cells, the edit
// row's buttons, undo and redo, the changed bytes' colour, the title and the
// status line, each read back from what the window shows.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QApplication>

#include "TForm3.h"
#include "ViewTestSupport.h"
#include "session/BufferDigests.h"

namespace krt::test {
namespace {

class DumpEdit : public ::testing::Test {
protected:
    void SetUp() override { App(); }
    void TearDown() override { dump.reset(); }
    TForm3& Open(const char* type, const char* maker, const char* name) {
        EXPECT_TRUE(LoadIntoSession(session, type, maker, name));
        session.edits.Reset(session.buffer);
        dump = std::make_unique<TForm3>(session);
        dump->Prepare();
        dump->show();
        dump->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(dump.get()));
        Pump();
        return *dump;
    }
    // Clicks a cell of the grid and types there.
    void TypeAt(int row, int column, const char* keys) {
        dump->StringGrid1->setFocus();
        dump->StringGrid1->setCurrentCell(row, column);
        QTest::keyClicks(dump->StringGrid1, QString::fromLatin1(keys));
        Pump();
    }
    void Type(QLineEdit* edit, const char* text) {
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, QString::fromUtf8(text));
    }
    QString At(int row, int column) const { return Cell(dump->StringGrid1, row, column); }
    bool Red(int row, int column) const {
        return dump->StringGrid1->item(row, column)->foreground().color() == QColor(0xC0, 0x00, 0x00);
    }
    std::string Crc() const {
        return Crc32Line(DigestsOf(session.record, session.buffer, session.range));
    }

    Session session;
    std::unique_ptr<TForm3> dump;
};

TEST_F(DumpEdit, TypedDigitsChangeTheBufferAndUndoAndRedoThem) {
    Open("EPROM", "Intel", "27C256");
    EXPECT_EQ(dump->windowTitle(), QStringLiteral("Buffer dump"));
    const QString blankStatus = dump->Label6->text();
    EXPECT_TRUE(blankStatus.startsWith(QStringLiteral("CheckSum: 8000  CRC-32: ")));

    TypeAt(1, 1, "a5");
    TypeAt(1, 16, "0");  // half a byte: the high digit
    EXPECT_EQ(At(1, 1), QStringLiteral("A5"));
    EXPECT_EQ(At(1, 16), QStringLiteral("0F"));
    EXPECT_EQ(session.buffer[0], 0xA5);
    EXPECT_EQ(session.buffer[15], 0x0F);
    EXPECT_TRUE(Red(1, 1));
    EXPECT_FALSE(Red(1, 2));
    EXPECT_EQ(dump->windowTitle(), QStringLiteral("Buffer dump *"));
    EXPECT_NE(dump->Label6->text(), blankStatus);
    EXPECT_TRUE(dump->Label6->text().contains(QString::fromStdString(Crc())));
    // The second digit completes the byte and moves on to the next row.
    QTest::keyClicks(dump->StringGrid1, QStringLiteral("E"));
    EXPECT_EQ(At(1, 16), QStringLiteral("0E"));
    EXPECT_EQ(dump->StringGrid1->currentRow(), 2);
    EXPECT_EQ(dump->StringGrid1->currentColumn(), 1);

    // Two steps: the 0E, then the A5.
    QTest::mouseClick(dump->Button9, Qt::LeftButton);
    EXPECT_EQ(At(1, 16), QStringLiteral("FF"));
    EXPECT_EQ(At(1, 1), QStringLiteral("A5"));
    dump->StringGrid1->setFocus();
    QTest::keyClick(dump->StringGrid1, Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(At(1, 1), QStringLiteral("FF"));
    EXPECT_FALSE(Red(1, 1));
    EXPECT_FALSE(dump->Button9->isEnabled());
    EXPECT_EQ(dump->Label6->text(), blankStatus);
    QTest::mouseClick(dump->Button10, Qt::LeftButton);
    EXPECT_EQ(At(1, 1), QStringLiteral("A5"));
    EXPECT_TRUE(Red(1, 1));
    // Both usual redo keys redo.
    dump->StringGrid1->setFocus();
    for (const auto modifiers : {Qt::KeyboardModifiers(Qt::ControlModifier), Qt::ControlModifier | Qt::ShiftModifier}) {
        const Qt::Key key = modifiers & Qt::ShiftModifier ? Qt::Key_Z : Qt::Key_Y;
        QTest::keyClick(dump->StringGrid1, Qt::Key_Z, Qt::ControlModifier);
        EXPECT_EQ(At(1, 1), QStringLiteral("FF"));
        QTest::keyClick(dump->StringGrid1, key, modifiers);
        EXPECT_EQ(At(1, 1), QStringLiteral("A5")) << "redo with " << int(key);
    }
}

TEST_F(DumpEdit, CharactersGoIntoTheTextColumnAndWordsTakeFourDigits) {
    Open("EPROM", "Intel", "27C256");
    TypeAt(2, 17, "Hi!");
    EXPECT_EQ(session.buffer[0x10], 'H');
    EXPECT_EQ(session.buffer[0x12], '!');
    EXPECT_EQ(At(2, 1), QStringLiteral("48"));
    EXPECT_TRUE(At(2, 17).startsWith(QStringLiteral("Hi!")));
    // Byte 5C is a backslash in English: the cells are in a Latin font then.
    TypeAt(3, 17, "\\");
    EXPECT_TRUE(At(3, 17).startsWith(QStringLiteral("\\")));
    EXPECT_NE(dump->StringGrid1->font().family(), QStringLiteral("ＭＳ ゴシック"));
    dump->SetLanguage(0);
    EXPECT_EQ(dump->StringGrid1->font().family(), QStringLiteral("ＭＳ ゴシック"));

    Open("EPROM", "Intel", "27C1024");
    TypeAt(1, 2, "12");
    EXPECT_EQ(At(1, 2), QStringLiteral("12-FF"));
    QTest::keyClicks(dump->StringGrid1, QStringLiteral("34"));
    EXPECT_EQ(At(1, 2), QStringLiteral("12-34"));
    EXPECT_EQ(session.buffer[2], 0x12);
    EXPECT_EQ(session.buffer[3], 0x34);
    EXPECT_EQ(dump->StringGrid1->currentColumn(), 3);
}

TEST_F(DumpEdit, FillCopySwapAndReplaceOverTheRange) {
    Open("EPROM", "Intel", "27C256");
    Type(dump->Edit3, "10");
    Type(dump->Edit4, "6");
    Type(dump->Edit5, "DE AD BE");
    QTest::mouseClick(dump->Button5, Qt::LeftButton);
    EXPECT_EQ(At(2, 1), QStringLiteral("DE"));
    EXPECT_EQ(At(2, 6), QStringLiteral("BE"));
    EXPECT_EQ(At(2, 7), QStringLiteral("FF"));

    Type(dump->Edit5, "40");  // copy the six bytes to 40
    QTest::mouseClick(dump->Button6, Qt::LeftButton);
    EXPECT_EQ(At(5, 1), QStringLiteral("DE"));
    EXPECT_EQ(At(5, 4), QStringLiteral("DE"));

    Type(dump->Edit3, "40");
    Type(dump->Edit4, "2");
    QTest::mouseClick(dump->Button7, Qt::LeftButton);
    EXPECT_EQ(At(5, 1), QStringLiteral("AD"));
    EXPECT_EQ(At(5, 2), QStringLiteral("DE"));

    Type(dump->Edit3, "0");
    Type(dump->Edit4, "8000");
    Type(dump->Edit2, "DE AD");
    Type(dump->Edit5, "\"ok\"");
    QTest::mouseClick(dump->Button8, Qt::LeftButton);
    // At 10 and 13, and at 43 behind the swapped pair, which no longer matches.
    EXPECT_EQ(dump->Label5->text(), QStringLiteral("Replaced 3"));
    EXPECT_EQ(At(2, 1), QStringLiteral("6F"));
    EXPECT_EQ(At(2, 5), QStringLiteral("6B"));
    EXPECT_EQ(At(5, 4), QStringLiteral("6F"));
    EXPECT_EQ(At(5, 1), QStringLiteral("AD"));
}

TEST_F(DumpEdit, RefusedEditsSayWhyAndLeaveTheBuffer) {
    Open("EPROM", "Intel", "27C1024");  // 16-bit
    Type(dump->Edit3, "0");
    Type(dump->Edit4, "4");
    Type(dump->Edit5, "AB CD EF");
    QTest::mouseClick(dump->Button5, Qt::LeftButton);
    EXPECT_EQ(dump->Label5->text(),
              QStringLiteral("on a 16-bit device the pattern must have an even number of bytes (it had 3); nothing was "
                             "changed"));
    EXPECT_EQ(At(1, 1), QStringLiteral("FF-FF"));

    // Beyond the buffer: the last word and one more.
    Type(dump->Edit3, "FFFF");
    Type(dump->Edit4, "2");
    Type(dump->Edit5, "1234");
    QTest::mouseClick(dump->Button5, Qt::LeftButton);
    EXPECT_EQ(dump->Label5->text(),
              QStringLiteral("4 bytes from 01FFFE reach beyond the buffer (20000 bytes); nothing was changed"));
    // The long message is shown whole, wrapped.
    EXPECT_LE(dump->Label5->heightForWidth(dump->Label5->width()), dump->Label5->height());
    EXPECT_EQ(session.buffer[0x1FFFE], 0xFF);
    EXPECT_FALSE(session.edits.CanUndo());
    EXPECT_EQ(dump->windowTitle(), QStringLiteral("Buffer dump"));
}

// A word part's Fill value starts as its blank word, which Fill takes.
TEST_F(DumpEdit, AWordPartsFillValueIsAWord) {
    Open("PIC", "Microchip", "PIC16F84A");
    EXPECT_EQ(dump->Edit5->text(), QStringLiteral("3FFF"));
    Type(dump->Edit4, "2");
    QTest::mouseClick(dump->Button5, Qt::LeftButton);
    EXPECT_EQ(dump->Label5->text(), QString());
    EXPECT_TRUE(session.edits.CanUndo());
}

}  // namespace
}  // namespace krt::test

// SPDX-License-Identifier: GPL-3.0-or-later
// The buffer dump window over a session, driven with keys and
// clicks; what the grid shows is checked.
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>
#include <QApplication>
#include <fstream>
#include <iterator>
#include <thread>

#include "TForm3.h"
#include "ViewTestSupport.h"
#include "base/Hex.h"
#include "data/DataTransfer.h"

namespace krt::test {
namespace {

class DumpWindow : public ::testing::Test {
protected:
    void SetUp() override { App(); }
    void TearDown() override { dump.reset(); }
    // BinDump's part, then the window shown.
    TForm3& Open() {
        if (!dump) dump = std::make_unique<TForm3>(session);
        dump->Prepare();
        dump->show();
        dump->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(dump.get()));
        Pump();
        return *dump;
    }
    void Jump(const char* address) {
        dump->Edit1->setFocus();
        dump->Edit1->selectAll();
        QTest::keyClicks(dump->Edit1, QString::fromLatin1(address));
        QTest::keyClick(dump->Edit1, Qt::Key_Return);
    }
    QString At(int row, int column) const { return Cell(dump->StringGrid1, row, column); }

    Session session;
    std::unique_ptr<TForm3> dump;
};

TEST_F(DumpWindow, ByteDeviceScrollsToItsEndJumpsAndTakesTheWheel) {
    ASSERT_TRUE(LoadIntoSession(session, "EPROM", "Intel", "27C256"));
    Open();
    EXPECT_EQ(dump->windowTitle(), QStringLiteral("Buffer dump"));
    EXPECT_EQ(dump->CheckBox1->text(), QStringLiteral("Show as 16-bit words"));
    EXPECT_EQ(dump->Button1->text(), QStringLiteral("Close"));
    dump->SetLanguage(0);
    EXPECT_EQ(dump->windowTitle(), QStringLiteral("バッファーのダンプ"));
    EXPECT_EQ(dump->CheckBox1->text(), QStringLiteral("16bitとして扱う"));
    EXPECT_EQ(dump->Button1->text(), QStringLiteral("閉じる"));
    EXPECT_EQ(dump->size(), QSize(612, 359 + 32 + 32 + 30 + 22));  // and the find and edit rows, the status line
    EXPECT_FALSE(dump->CheckBox1->isChecked());
    EXPECT_FALSE(dump->CheckBox1->isEnabled());
    EXPECT_FALSE(dump->Button2->isEnabled());
    EXPECT_EQ(dump->ScrollBar1->maximum(), 0x7F0);  // the last page ends at the last byte
    EXPECT_EQ(dump->StringGrid1->columnCount(), 18);
    EXPECT_EQ(At(0, 0), QStringLiteral("ADDR"));
    EXPECT_EQ(At(0, 1), QStringLiteral("+0"));
    EXPECT_EQ(At(0, 16), QStringLiteral("+15"));
    EXPECT_EQ(dump->StringGrid1->columnWidth(0), 50);
    EXPECT_EQ(dump->StringGrid1->columnWidth(1), 24);
    EXPECT_EQ(dump->StringGrid1->columnWidth(17), 120);
    EXPECT_EQ(At(1, 0), QStringLiteral("000000"));
    EXPECT_EQ(At(1, 1), QStringLiteral("FF"));
    EXPECT_EQ(At(16, 0), QStringLiteral("0000F0"));

    Jump("1234");
    EXPECT_EQ(dump->Edit1->text(), QStringLiteral("1234"));  // Enter added nothing
    EXPECT_EQ(At(1, 0), QStringLiteral("001230"));
    EXPECT_EQ(At(2, 0), QStringLiteral("001240"));
    EXPECT_TRUE(dump->isVisible());  // Enter did not close the window

    // Leaving the field jumps too; the last row of the device is the
    // grid's last: no page of rows past the buffer.
    dump->Edit1->setFocus();
    dump->Edit1->selectAll();
    QTest::keyClicks(dump->Edit1, QStringLiteral("7FF0"));
    QTest::keyClick(dump->Edit1, Qt::Key_Tab);
    Pump();
    EXPECT_FALSE(dump->Edit1->hasFocus());
    EXPECT_EQ(At(1, 0), QStringLiteral("007F00"));
    EXPECT_EQ(At(16, 0), QStringLiteral("007FF0"));
    EXPECT_EQ(At(16, 16), QStringLiteral("FF"));
    dump->ScrollBar1->setFocus();
    QTest::keyClick(dump->ScrollBar1, Qt::Key_End);
    EXPECT_EQ(At(16, 0), QStringLiteral("007FF0"));

    // The wheel over the grid scrolls.
    dump->ScrollBar1->setValue(0);
    QWidget* grid = dump->StringGrid1->viewport();
    auto wheel = [grid](int delta) {
        const QPointF at(grid->width() / 2.0, grid->height() / 2.0);
        QWheelEvent event(at, grid->mapToGlobal(at), QPoint(), QPoint(0, delta), Qt::NoButton, Qt::NoModifier,
                          Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(grid, &event);
        Pump();
    };
    wheel(-120);  // one notch down
    const int lines = QApplication::wheelScrollLines();
    EXPECT_EQ(dump->ScrollBar1->value(), lines);
    EXPECT_EQ(At(1, 0), QString::fromStdString(FormatHex6(static_cast<uint32_t>(16 * lines))));
    wheel(120);
    EXPECT_EQ(At(1, 0), QStringLiteral("000000"));

    QTest::mouseClick(dump->Button1, Qt::LeftButton);
    EXPECT_FALSE(dump->isVisible());
}

TEST_F(DumpWindow, BytesShowAsHexAndCharacters) {
    ASSERT_TRUE(LoadIntoSession(session, "EPROM", "Intel", "27C256"));
    const uint8_t row[16] = {'A', 'B', 0x0A, 'c', 'd', '~', 0x7F, 0x00, '1', '2', '3', '4', '5', '6', '7', '8'};
    for (uint32_t i = 0; i < 16; ++i) session.buffer[i] = row[i];
    session.buffer[16] = 0xB1;  // the half-width katakana ｱ
    session.buffer[17] = 0x80;
    Open();
    EXPECT_EQ(At(1, 1), QStringLiteral("41"));
    EXPECT_EQ(At(1, 3), QStringLiteral("0A"));
    EXPECT_EQ(At(1, 17), QStringLiteral("AB.cd~..   12345678"));
    // Half-width katakana in Japanese only: an English window shows a byte
    // that is no ASCII character as ".".
    EXPECT_EQ(At(2, 17).left(2), QStringLiteral(".."));
    dump->hide();  // the dump is modal: the language changes while it is closed
    dump->SetLanguage(0);
    Open();
    EXPECT_EQ(At(2, 17).left(2), QStringLiteral("ｱ."));
}

TEST_F(DumpWindow, WordDeviceOpensInTheWordViewAndSwapsTheLiveBuffer) {
    ASSERT_TRUE(LoadIntoSession(session, "EPROM", "Intel", "27C1024"));
    ASSERT_TRUE(session.record.wordaccess);
    session.buffer[0] = 0x12;
    session.buffer[1] = 0x34;
    session.buffer[2] = 0xAB;
    session.buffer[3] = 0xCD;
    Open();
    EXPECT_TRUE(dump->CheckBox1->isChecked());
    EXPECT_TRUE(dump->CheckBox1->isEnabled());
    EXPECT_TRUE(dump->Button2->isEnabled());
    EXPECT_EQ(dump->StringGrid1->columnCount(), 10);
    EXPECT_EQ(At(0, 8), QStringLiteral("+7"));
    EXPECT_EQ(dump->StringGrid1->columnWidth(1), 36);
    const int words = static_cast<int>(session.record.bufsize / 2);
    EXPECT_EQ(dump->ScrollBar1->maximum(), (words - 128) / 8);  // one row a step
    EXPECT_EQ(At(1, 1), QStringLiteral("12-34"));
    EXPECT_EQ(At(1, 2), QStringLiteral("AB-CD"));
    EXPECT_EQ(At(2, 0), QStringLiteral("000008"));

    // The swap is in the buffer: a save after it writes the swapped words.
    auto save = [this](const char* name) {
        const std::string path = std::string(::testing::TempDir()) + "/" + name;
        OperationRange two;
        two.start = "000000";
        two.length = "000002";
        EXPECT_TRUE(WriteDataFile(path, session.record, session.buffer, two, 1, nullptr).success);
        std::ifstream in(path, std::ios::binary);
        return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    };
    const std::string before = save("before-swap.bin");
    QTest::mouseClick(dump->Button2, Qt::LeftButton);
    EXPECT_EQ(At(1, 1), QStringLiteral("34-12"));
    EXPECT_EQ(At(1, 2), QStringLiteral("CD-AB"));
    const std::string after = save("after-swap.bin");
    ASSERT_EQ(before.size(), 4u);
    ASSERT_EQ(after.size(), 4u);
    for (size_t i = 0; i < 4; ++i) EXPECT_EQ(after[i], before[i ^ 1]) << i;
    QTest::mouseClick(dump->Button2, Qt::LeftButton);
    EXPECT_EQ(At(1, 1), QStringLiteral("12-34"));
    EXPECT_EQ(At(1, 2), QStringLiteral("AB-CD"));

    // Unticked: the bytes of the 16-bit device, twice as many units.
    QTest::mouseClick(dump->CheckBox1, Qt::LeftButton);
    EXPECT_FALSE(dump->CheckBox1->isChecked());
    EXPECT_FALSE(dump->Button2->isEnabled());
    EXPECT_EQ(dump->StringGrid1->columnCount(), 18);
    EXPECT_EQ(dump->ScrollBar1->maximum(), (words * 2 - 256) / 16);
    EXPECT_EQ(At(1, 1), QStringLiteral("12"));
    EXPECT_EQ(At(1, 4), QStringLiteral("CD"));
    QTest::mouseClick(dump->Button2, Qt::LeftButton);  // disabled: nothing
    EXPECT_EQ(At(1, 1), QStringLiteral("12"));
}

TEST_F(DumpWindow, PldRowsShowTheirFusesInGroupsOfEightAndJumpByLabel) {
    ASSERT_TRUE(LoadIntoSession(session, "GAL", "Lattice", "GAL16V8"));
    ASSERT_EQ(session.record.LineNumber, 32);
    session.buffer[1] = 1;
    session.buffer[32] = 1;
    session.buffer[33] = 7;  // neither 0 nor 1: nothing
    Open();
    EXPECT_EQ(dump->StringGrid1->columnCount(), 2);
    EXPECT_EQ(dump->StringGrid1->columnWidth(0), 40);
    EXPECT_EQ(dump->StringGrid1->columnWidth(1), 500);
    const int fuses = static_cast<int>(session.record.bufsize);
    EXPECT_EQ(dump->ScrollBar1->maximum(), (fuses - 16 * 32 + 31) / 32);
    EXPECT_EQ(At(1, 0), QStringLiteral("0"));
    EXPECT_EQ(At(2, 0), QStringLiteral("32"));
    EXPECT_EQ(At(3, 0), QStringLiteral("64"));
    EXPECT_EQ(At(1, 1), QStringLiteral("01000000 00000000 00000000 00000000 "));
    // Fuse 33 holds 7: neither 0 nor 1 shows nothing.
    EXPECT_EQ(At(2, 1), QStringLiteral("1000000 00000000 00000000 00000000 "));
    // At the end the last fuse's row is the grid's last: no blank rows.
    dump->ScrollBar1->setValue(dump->ScrollBar1->maximum());
    for (int r = 1; r <= 16; ++r) EXPECT_FALSE(At(r, 0).isEmpty()) << r;
    EXPECT_EQ(At(16, 0).toInt(), (fuses - 1) / 32 * 32);

    // Jump takes the row label as shown (decimal).
    dump->ScrollBar1->setValue(24);
    const QString label = At(1, 0);
    EXPECT_EQ(label, QStringLiteral("768"));
    dump->ScrollBar1->setValue(0);
    Jump("768");
    EXPECT_EQ(At(1, 0), QStringLiteral("768"));
    Jump("800");  // inside the row of 800: that row first
    EXPECT_EQ(At(1, 0), QStringLiteral("800"));
    Jump("801");
    EXPECT_EQ(At(1, 0), QStringLiteral("800"));
}

TEST_F(DumpWindow, FindsHexBytesAndTextNextAndPrevious) {
    ASSERT_TRUE(LoadIntoSession(session, "EPROM", "Intel", "27C256"));
    const uint8_t marks[] = {0xDE, 0xAD};
    for (uint32_t at : {0x0123u, 0x4560u, 0x7FFEu})
        for (uint32_t i = 0; i < 2; ++i) session.buffer[at + i] = marks[i];
    const char word[] = "KRT";
    for (uint32_t i = 0; i < 3; ++i) session.buffer[0x2000 + i] = static_cast<uint8_t>(word[i]);
    Open();
    auto find = [this](const QString& text) {
        dump->Edit2->setFocus();
        dump->Edit2->selectAll();
        QTest::keyClicks(dump->Edit2, text);
        QTest::keyClick(dump->Edit2, Qt::Key_Return);  // Enter finds the next
    };
    find(QStringLiteral("DE AD"));
    EXPECT_EQ(dump->Label3->text(), QStringLiteral("At 000123"));
    EXPECT_EQ(At(1, 0), QStringLiteral("000120"));
    EXPECT_EQ(dump->StringGrid1->currentRow(), 1);
    EXPECT_EQ(dump->StringGrid1->currentColumn(), 4);
    EXPECT_TRUE(dump->isVisible());  // Enter did not close the window
    QTest::mouseClick(dump->Button3, Qt::LeftButton);
    EXPECT_EQ(dump->Label3->text(), QStringLiteral("At 004560"));
    EXPECT_EQ(At(1, 0), QStringLiteral("004560"));
    QTest::mouseClick(dump->Button3, Qt::LeftButton);
    // The last bytes of the buffer: shown on the last page's last row.
    EXPECT_EQ(dump->Label3->text(), QStringLiteral("At 007FFE"));
    EXPECT_EQ(At(16, 0), QStringLiteral("007FF0"));
    EXPECT_EQ(dump->StringGrid1->currentRow(), 16);
    EXPECT_EQ(dump->StringGrid1->currentColumn(), 15);
    QTest::mouseClick(dump->Button3, Qt::LeftButton);
    EXPECT_EQ(dump->Label3->text(), QStringLiteral("At 000123 (wrapped)"));
    QTest::mouseClick(dump->Button4, Qt::LeftButton);  // previous, round the start
    EXPECT_EQ(dump->Label3->text(), QStringLiteral("At 007FFE (wrapped)"));
    QTest::mouseClick(dump->Button4, Qt::LeftButton);
    EXPECT_EQ(dump->Label3->text(), QStringLiteral("At 004560"));

    find(QStringLiteral("KRT"));
    // A new text is searched from the top row shown (004560), round the end.
    EXPECT_EQ(dump->Label3->text(), QStringLiteral("At 002000 (wrapped)"));
    EXPECT_EQ(At(1, 17).left(3), QStringLiteral("KRT"));
    find(QStringLiteral("\"DEAD\""));  // quoted: the characters, not the bytes
    EXPECT_EQ(dump->Label3->text(), QStringLiteral("Not found"));
    // Full-width letters (typed through an input method): no byte shows these.
    dump->Edit2->setText(QStringLiteral("ＫＲＴ"));
    QTest::keyClick(dump->Edit2, Qt::Key_Return);
    EXPECT_EQ(dump->Label3->text(), QStringLiteral("Type hex or text"));
}

TEST_F(DumpWindow, EveryTextShowsWholeInBothLanguages) {
    ASSERT_TRUE(LoadIntoSession(session, "EPROM", "Intel", "27C256"));
    Open();
    for (uint32_t language : {0u, 1u}) {
        dump->SetLanguage(language);
        for (QWidget* w : std::initializer_list<QWidget*>{dump->Label1, dump->Label2, dump->CheckBox1, dump->Button1,
                                                          dump->Button2, dump->Button3, dump->Button4})
            EXPECT_LE(w->sizeHint().width(), w->width()) << language << " " << w->objectName().toStdString();
    }
    // The longest status line.
    dump->SetLanguage(0);
    dump->Label3->setText(QStringLiteral("FFFFFF で一致（折り返し）"));
    EXPECT_LE(dump->Label3->sizeHint().width(), dump->Label3->width());
}

TEST_F(DumpWindow, RefreshesWhenTheSessionSaysTheBufferChanged) {
    ASSERT_TRUE(LoadIntoSession(session, "EPROM", "Intel", "27C256"));
    Open();
    EXPECT_EQ(At(1, 1), QStringLiteral("FF"));
    QObject context;
    session.SetBufferListener([this, &context] {
        QMetaObject::invokeMethod(&context, [this] { dump->BufferChanged(); }, Qt::QueuedConnection);
    });
    // As an operation's worker does: change the buffer, then say so, on its thread.
    std::thread worker([this] {
        session.buffer[0] = 0x5A;
        session.BufferChanged();
    });
    worker.join();
    Pump();
    EXPECT_EQ(At(1, 1), QStringLiteral("5A"));
    session.SetBufferListener(nullptr);
}

TEST_F(DumpWindow, JumpsToTheEndOfASixteenMegabyteBuffer) {
    // A 16 MiB image of the largest size a record may give (its speed is measured in bench/).
    session.record.name = "16M";
    session.record.maxsize = session.record.bufsize = 16u << 20;
    session.record.bytesPerWord = 1;
    ASSERT_TRUE(session.buffer.Allocate(session.record.bufsize));
    ClearBuffer(session.buffer, session.record, session.range);
    Open();
    EXPECT_EQ(dump->ScrollBar1->maximum(), 0xFFFF0);
    Jump("FFFF00");
    EXPECT_EQ(At(1, 0), QStringLiteral("FFFF00"));
    EXPECT_EQ(At(16, 0), QStringLiteral("FFFFF0"));
}

// A PIC16F84A's dump ends its program memory at 3FFh words, then shows the
// ID/configuration words and the data EEPROM; no row outside the chip and
// no blank row on the last page, in either view.
TEST_F(DumpWindow, PicShowsItsProgramMemoryThenItsConfigurationAndEeprom) {
    ASSERT_TRUE(LoadIntoSession(session, "PIC", "Microchip", "PIC16F84A"));
    session.buffer[0x7FE] = 0x3F;  // the last program word, 3FFh
    session.buffer[0x7FF] = 0x12;
    session.buffer[0x4200] = 0x00;  // the first data EEPROM byte
    session.buffer[0x4201] = 0x5A;
    Open();
    struct View {
        bool words;
        const char* lastProgram;
        const char* lastWord;
        int lastColumn;
        const char* config;
        const char* eeprom;
        const char* firstEeprom;
    } views[] = {
        {true, "0003F8", "3F-12", 8, "002000", "002100", "00-5A"},
        {false, "0007F0", "12", 16, "004000", "004200", "00"},
    };
    for (const View& v : views) {
        SCOPED_TRACE(v.words ? "words" : "bytes");
        if (dump->CheckBox1->isChecked() != v.words) QTest::mouseClick(dump->CheckBox1, Qt::LeftButton);
        ASSERT_EQ(dump->CheckBox1->isChecked(), v.words);
        dump->ScrollBar1->setValue(dump->ScrollBar1->maximum());
        Pump();
        // The last page: 6 program rows, the configuration row, 8 EEPROM rows... all labelled.
        int program = -1;
        for (int r = 1; r <= 16; ++r) {
            EXPECT_FALSE(At(r, 0).isEmpty()) << r;
            if (At(r, 0) == QLatin1String(v.lastProgram)) program = r;
        }
        ASSERT_GE(program, 1);
        ASSERT_LE(program, 14);
        EXPECT_EQ(At(program, v.lastColumn), QLatin1String(v.lastWord));
        EXPECT_EQ(At(program + 1, 0), QLatin1String(v.config));
        EXPECT_EQ(At(program + 2, 0), QLatin1String(v.eeprom));
        EXPECT_EQ(At(program + 2, 1), QLatin1String(v.firstEeprom));
        // The old end of program memory is no row: the jump shows the configuration words.
        Jump(v.words ? "1FF8" : "3FF0");
        EXPECT_EQ(At(program + 1, 0), QLatin1String(v.config));
        for (int r = 1; r <= 16; ++r) EXPECT_NE(At(r, 0), QLatin1String(v.words ? "001FF8" : "003FF0")) << r;
    }
    // An edit outside the rows is refused, and nothing changes; the
    // range that the window offers is program memory, and it is taken.
    ASSERT_FALSE(dump->CheckBox1->isChecked());
    EXPECT_EQ(dump->Edit4->text(), QStringLiteral("000800"));
    const uint8_t before = session.buffer[0x800];
    dump->Edit3->setText(QStringLiteral("000800"));  // the word after program memory
    dump->Edit4->setText(QStringLiteral("2"));
    dump->Edit5->setText(QStringLiteral("0000"));  // a 16-bit part fills whole words
    QTest::mouseClick(dump->Button5, Qt::LeftButton);
    EXPECT_EQ(dump->Label5->text(), QStringLiteral("The range lies outside the device's memory; nothing was changed"));
    EXPECT_EQ(session.buffer[0x800], before);
    dump->Edit3->setText(QStringLiteral("0007FE"));  // the last word of program memory
    QTest::mouseClick(dump->Button5, Qt::LeftButton);
    EXPECT_EQ(session.buffer[0x7FE], 0x00);
    EXPECT_EQ(session.buffer[0x7FF], 0x00) << dump->Label5->text().toStdString();
}

}  // namespace
}  // namespace krt::test

// SPDX-License-Identifier: GPL-3.0-or-later
// The hardware debug window against the simulated programmer,
// driven with keys and clicks. Where the wire matters, the accesses of the
// window's action are compared with those of the same request sent
// directly to a second, identical session.
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>

#include "THDebugForm.h"
#include "ViewTestSupport.h"
#include "link/Protocol.h"

namespace krt::test {
namespace {

class DebugWindow : public ::testing::Test {
protected:
    void SetUp() override { App(); }
    void Open(TracedSession& traced) {
        form = std::make_unique<THDebugForm>(traced.session);
        form->show();
        form->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
        Pump();
    }
    void TypeCommand(const char* name) {
        QLineEdit* edit = form->ComboBox3->lineEdit();
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, QString::fromLatin1(name));
    }
    void TypeInto(QLineEdit* edit, const char* text) {
        edit->setFocus();
        edit->selectAll();
        QTest::keyClicks(edit, QString::fromLatin1(text));
    }
    void Click(QWidget* w) { QTest::mouseClick(w, Qt::LeftButton); }
    // Home, then whole pages with the page key that moves the bar up.
    static void PageTo(QScrollBar* bar, int target) {
        bar->setFocus();
        QTest::keyClick(bar, Qt::Key_Home);
        QTest::keyClick(bar, Qt::Key_PageUp);
        const Qt::Key up = bar->value() > 0 ? Qt::Key_PageUp : Qt::Key_PageDown;
        QTest::keyClick(bar, Qt::Key_Home);
        while (bar->value() < target) QTest::keyClick(bar, up);
    }

    std::unique_ptr<THDebugForm> form;
};

TEST_F(DebugWindow, CommandListIsTheMnemonicTable) {
    TracedSession traced;
    Open(traced);
    EXPECT_EQ(form->windowTitle().isEmpty(), false);
    ASSERT_EQ(form->ComboBox3->count(), 18);
    int i = 0;
    for (const CommandMnemonic& c : kCommandMnemonics)
        EXPECT_EQ(form->ComboBox3->itemText(i++), QString::fromLatin1(c.name));
    // Right after creation the operand field is enabled although NOP is chosen.
    EXPECT_EQ(form->ComboBox3->currentText(), QStringLiteral("NOP"));
    EXPECT_TRUE(form->Edit2->isEnabled());
    EXPECT_EQ(form->Edit2->text(), QStringLiteral("00"));
    EXPECT_EQ(form->Edit1->text(), QStringLiteral("00"));
    EXPECT_TRUE(form->CheckBox1->isChecked());
    EXPECT_FALSE(form->CheckBox1->isEnabled());
    for (QWidget* w : std::initializer_list<QWidget*>{form->RadioGroup1, form->RadioGroup2, form->Button1,
                                                      form->Button2})
        EXPECT_FALSE(w->isEnabled());
    EXPECT_EQ(form->GroupBox5->title(), QStringLiteral("KRT command (&M)"));
    EXPECT_EQ(form->Button5->text(), QStringLiteral("送信"));
    // Each name enables or disables the operand as the table says.
    for (const CommandMnemonic& c : kCommandMnemonics) {
        TypeCommand(c.name);
        EXPECT_EQ(form->Edit2->isEnabled(), c.operand) << c.name;
    }
    // A name that matches nothing leaves the field as it was.
    TypeCommand("WAITTIM");
    EXPECT_FALSE(form->Edit2->isEnabled());
    TypeCommand("alset");  // names are compared case-sensitively
    EXPECT_FALSE(form->Edit2->isEnabled());
}

TEST_F(DebugWindow, EnglishModeHasEnglishCaptionsAndStatusLines) {
    TracedSession traced(2, true, 1);
    Open(traced);
    EXPECT_EQ(form->windowTitle(), QStringLiteral("Hardware debug"));
    EXPECT_EQ(form->Button5->text(), QStringLiteral("Send"));
    EXPECT_EQ(form->GroupBox1->title(), QStringLiteral("&Adjust Vpp"));
    EXPECT_EQ(form->Button6->text(), QStringLiteral("&Reset"));
    TypeCommand("ALSET");
    TypeInto(form->Edit2, "5A");
    Click(form->Button5);
    EXPECT_EQ(form->StatusText(), QStringLiteral("Sent command ALSET (0x0A), 5A. The result is \"Operation is successful\"."));
    Click(form->Button4);
    EXPECT_TRUE(form->StatusText().startsWith(QStringLiteral("Read one byte from the KRT."))) << form->StatusText().toStdString();
}

TEST_F(DebugWindow, AlsetWithOperandSendsRequest23AndSaysSo) {
    TracedSession traced, twin;
    Open(traced);
    TypeCommand("ALSET");
    TypeInto(form->Edit2, "5A");
    const long mark = traced.Mark(), twinMark = twin.Mark();
    Click(form->Button5);
    EXPECT_EQ(form->StatusText(), QStringLiteral("コマンドALSET(0x0A),5Aを送信しました。 結果は「成功」です。"));
    EXPECT_EQ(twin.session.Request(REQ_ALSET, 0x5A), RESULT_OK);
    const std::string wire = traced.Since(mark);
    EXPECT_EQ(wire, twin.Since(twinMark));
    const size_t opcode = wire.find("W 0378 0A\n");
    ASSERT_NE(opcode, std::string::npos) << wire;
    EXPECT_NE(wire.find("W 0378 5A\n", opcode), std::string::npos) << wire;

    // A command without an operand says so without one.
    TypeCommand("INC");
    Click(form->Button5);
    EXPECT_EQ(form->StatusText(), QStringLiteral("コマンドINC(0x01)を送信しました。 結果は「成功」です。"));
}

TEST_F(DebugWindow, UnknownNameResetsTheLink) {
    TracedSession traced, twin;
    Open(traced);
    TypeCommand("FOO");
    EXPECT_TRUE(form->Edit2->isEnabled());
    const long mark = traced.Mark(), twinMark = twin.Mark();
    Click(form->Button5);
    EXPECT_EQ(form->StatusText(), QStringLiteral("コマンドFOO(0x00),00を送信しました。 結果は「成功」です。"));
    EXPECT_EQ(twin.session.Request(REQ_RESET), RESULT_OK);
    const std::string wire = traced.Since(mark);
    EXPECT_FALSE(wire.empty());
    EXPECT_EQ(wire, twin.Since(twinMark));

    // リセット sends the same request.
    const long again = traced.Mark(), twinAgain = twin.Mark();
    Click(form->Button6);
    EXPECT_EQ(twin.session.Request(REQ_RESET), RESULT_OK);
    EXPECT_EQ(traced.Since(again), twin.Since(twinAgain));
}

TEST_F(DebugWindow, PinCheckWithAllBoxesClearWritesZeroAndReadsTheStatusOnce) {
    TracedSession traced;
    Open(traced);
    const long mark = traced.Mark();
    Click(form->Label9);
    const std::string wire = traced.Since(mark);
    ASSERT_EQ(wire.size(), std::string("W 0378 00\nR 0379 XX\n").size()) << wire;
    EXPECT_EQ(wire.substr(0, 17), "W 0378 00\nR 0379 ");
    const unsigned status = std::stoul(wire.substr(17, 2), nullptr, 16);
    EXPECT_EQ(form->StatusText(),
              QString::asprintf("データポートに00を出力して、ステータス%02Xが返りました", status));
    auto bit = [status](int n) { return QString::number((status >> n) & 1); };
    EXPECT_EQ(form->StaticText2->text(), bit(6));
    EXPECT_EQ(form->StaticText3->text(), (status >> 7) & 1 ? QStringLiteral("0") : QStringLiteral("1"));
    EXPECT_EQ(form->StaticText4->text(), bit(5));
    EXPECT_EQ(form->StaticText5->text(), bit(4));
    EXPECT_EQ(form->StaticText6->text(), bit(3));

    // Ticking TDI (bit 0) and the key bit (bit 6) writes 41.
    Click(form->CheckBox2);
    const long second = traced.Mark();
    Click(form->CheckBox8);
    EXPECT_EQ(traced.Since(second).substr(0, 10), "W 0378 41\n");
    EXPECT_TRUE(form->StatusText().startsWith(QStringLiteral("データポートに41を出力して")));
}

TEST_F(DebugWindow, RawByteOutAndOneByteIn) {
    TracedSession traced;
    Open(traced);
    TypeInto(form->Edit1, "A5");
    const long mark = traced.Mark();
    Click(form->Button3);
    EXPECT_EQ(traced.Since(mark), "W 0378 A5\n");
    EXPECT_EQ(form->StatusText(), QStringLiteral("パラレルポート(378)に'A5'を送信しました。 結果は「成功」です。"));

    // One byte in: the same slots as request 15 on an identical session.
    TracedSession twin;
    twin.session.Request(REQ_PORT_WRITE_DATA, 0xA5);
    const long in = traced.Mark(), twinIn = twin.Mark();
    Click(form->Button4);
    uint32_t expected = 0;
    twin.session.Request(REQ_READ_REPLY, 0, &expected);
    const std::string wire = traced.Since(in);
    EXPECT_FALSE(wire.empty());
    EXPECT_EQ(wire, twin.Since(twinIn));
    EXPECT_EQ(form->StaticText1->text(), QString::asprintf("%02X", expected));
    EXPECT_EQ(form->StatusText(), QStringLiteral("KRTから1バイト読みました。 結果は「成功」です。"));
}

TEST_F(DebugWindow, VoltageScrollBarsAndCombos) {
    TracedSession traced;
    Open(traced);
    EXPECT_TRUE(form->ScrollBar1->isEnabled());  // power circuit version 2
    EXPECT_EQ(form->ComboBox1->currentText(), QStringLiteral("5"));
    EXPECT_EQ(form->ComboBox2->currentText(), QStringLiteral("0"));
    // ScrollBar1 to 128 with the keyboard: eight pages of 16.
    const long mark = traced.Mark();
    PageTo(form->ScrollBar1, 128);
    EXPECT_EQ(form->ScrollBar1->value(), 128);
    EXPECT_EQ(form->ComboBox1->currentText(), QStringLiteral("9.5"));
    // The simulated KRT1 is of revision 20: the supply DAC is written at once.
    EXPECT_FALSE(traced.Since(mark).empty());

    form->ScrollBar2->setFocus();
    QTest::keyClick(form->ScrollBar2, Qt::Key_End);
    EXPECT_EQ(form->ScrollBar2->value(), 255);
    EXPECT_EQ(form->ComboBox2->currentText(), QStringLiteral("7.470703125"));

    // Choosing in a combo only moves its scroll bar; the text stays.
    form->ComboBox1->setFocus();
    QTest::keyClick(form->ComboBox1, Qt::Key_Down);
    EXPECT_EQ(form->ComboBox1->currentText(), QStringLiteral("12.5"));
    EXPECT_EQ(form->ScrollBar1->value(), 148);  // 12.5 / 21.5 * 255
    TypeInto(form->ComboBox2->lineEdit(), "5");
    EXPECT_EQ(form->ComboBox2->currentText(), QStringLiteral("5"));
    EXPECT_EQ(form->ScrollBar2->value(), 59);  // 5 / 21.5 * 255: the same factor for both combos
    // At most four characters from the keyboard.
    TypeInto(form->ComboBox1->lineEdit(), "12.345");
    EXPECT_EQ(form->ComboBox1->currentText(), QStringLiteral("12.3"));
}

TEST_F(DebugWindow, PowerCircuitVersionOneDisablesTheScrollBars) {
    TracedSession traced(1);
    Open(traced);
    EXPECT_FALSE(form->ScrollBar1->isEnabled());
    EXPECT_FALSE(form->ScrollBar2->isEnabled());
}

TEST_F(DebugWindow, BeforeADetectionEveryResultSaysTheProgrammerIsNotFound) {
    TracedSession traced(2, false);
    Open(traced);
    TypeCommand("ALSET");
    TypeInto(form->Edit2, "5A");
    const long mark = traced.Mark();
    Click(form->Button5);
    EXPECT_EQ(form->StatusText(), QStringLiteral("コマンドALSET(0x0A),5Aを送信しました。 結果は「KRTがみつからない」です。"));
    EXPECT_FALSE(traced.Since(mark).empty());  // carried out all the same
}

TEST_F(DebugWindow, DoesNotOpenWhileAnOperationRuns) {
    TracedSession traced;
    THDebugForm busy(traced.session);
    busy.SetBusyCheck([] { return true; });
    EXPECT_FALSE(busy.CanOpen());
    EXPECT_EQ(busy.exec(), QDialog::Rejected);
    EXPECT_FALSE(busy.isVisible());
}

}  // namespace
}  // namespace krt::test

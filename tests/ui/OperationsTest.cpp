// SPDX-License-Identifier: GPL-3.0-or-later
// The operation commands on the simulated programmer.
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QProgressBar>
#include <QLabel>
#include <QButtonGroup>
#include <QRadioButton>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <thread>

#include "DevOpThread.h"
#include "THConfigForm.h"
#include "UiTestSupport.h"
#include "base/StatusMessages.h"
#include "session/Session.h"
#include <string>

#include "sim/VirtualKrt.h"

namespace krt::test {
namespace {

class OperationsTest : public StartedWindowTest {
protected:
    // The user presses Cancel once the operation has moved.
    void CancelAtFirstProgress(bool& cancelled) {
        AtFirstProgress(cancelled, [](TProgressForm& p) { p.Button1->click(); });
    }
    void SetLength(uint32_t n) {
        form->ComboBox6->setEditText(QString::asprintf("%06X", n));
        form->CommitLength();
    }
    void Pattern(uint32_t n) {
        for (uint32_t i = 0; i < n; ++i) form->Buffer()[i] = static_cast<uint8_t>(i * 13 + 1);
    }
};

TEST_F(OperationsTest, WithoutADeviceNothingHappens) {
    form->Log(QStringLiteral("before"));
    form->OpReadExecute();
    ASSERT_EQ(prompter.Count("message"), 1);
    EXPECT_EQ(test::Last(prompter.asked).text, QStringLiteral("Device is not selected."));
    EXPECT_EQ(test::Last(prompter.asked).caption, QStringLiteral("QV17win"));
    EXPECT_TRUE(LogHas(QStringLiteral("before")));  // the log is untouched
    form->OpEraseExecute();
    EXPECT_EQ(test::Last(prompter.asked).kind, QStringLiteral("box"));
    EXPECT_EQ(test::Last(prompter.asked).caption, QStringLiteral("qv17win"));
    form->N16Click();
    EXPECT_EQ(test::Last(prompter.asked).kind, QStringLiteral("box"));
    EXPECT_EQ(form->WorkersStarted(), 0);
}

TEST_F(OperationsTest, CancelledConfirmationLogsAndStartsNothing) {
    SelectEprom();
    prompter.answers.push_back(QMessageBox::Cancel);
    form->OpWriteExecute();
    EXPECT_EQ(test::Last(prompter.asked).text,
              QStringLiteral("Set device on the socket\n\nDevice in use: EPROM / Intel / 27C256"));
    EXPECT_EQ(test::Last(prompter.asked).caption, QStringLiteral("WRITE operation start"));
    EXPECT_TRUE(LogHas(QStringLiteral("operation is canceled")));
    EXPECT_EQ(form->WorkersStarted(), 0);
}

TEST_F(OperationsTest, WriteReadVerifyOnTheSimulatedChip) {
    SelectEprom();
    SetLength(0x200);
    Pattern(0x200);
    form->OpBlankExecute();
    EXPECT_TRUE(LogHas(QStringLiteral("This device is BLANK")));
    EXPECT_EQ(form->LastIndicator(), 2u);

    form->OpWriteExecute();
    EXPECT_TRUE(LogHas(QStringLiteral("WRITE operation is successful"))) << LogLines().join('\n').toStdString();
    EXPECT_EQ(form->ProgressForm()->windowTitle(), QStringLiteral("Now writing.."));
    EXPECT_EQ(form->ProgressForm()->ProgressBar1->maximum(), 0x200);
    EXPECT_EQ(form->ProgressForm()->StaticText1->text(), QStringLiteral("512/512 (100%) done"));
    EXPECT_EQ(form->ProgressForm()->Button1->text(), QStringLiteral("Finished"));

    form->FileNew1Execute();
    SetLength(0x200);
    form->OpReadExecute();
    EXPECT_TRUE(LogHas(QStringLiteral("READ operation is successful")));
    EXPECT_EQ(form->StatusText(), QStringLiteral("Reading from device to buffer has finished."));
    for (uint32_t i = 0; i < 0x200; ++i)
        ASSERT_EQ(form->Buffer()[i], static_cast<uint8_t>(i * 13 + 1)) << i;
    EXPECT_EQ(form->Buffer()[0x200], 0xFF);

    form->OpVerifyExecute();
    EXPECT_TRUE(LogHas(QStringLiteral("VERIFY operation is successful.")));
    form->Buffer()[7] ^= 0xFF;
    form->OpVerifyExecute();
    EXPECT_TRUE(LogHas(QStringLiteral("Errors were found through VERIFY operation")));
    EXPECT_EQ(form->LastIndicator(), 1u);

    // Compare lists the word that differs, keeps the buffer and its edits, and saves the list as krt writes it.
    form->Buffer()[7] ^= 0xFF;
    const uint8_t typed = static_cast<uint8_t>(form->Buffer()[7] ^ 0xFF);
    std::string error;
    ASSERT_TRUE(form->Programmer().edits.Write(form->Programmer().buffer, 7, {typed}, error, 1, false)) << error;
    prompter.fileNames = {Path("differences.txt")};
    form->Compare1->trigger();
    const QString line = QStringLiteral("000007 %1 %2")
                             .arg(static_cast<uint8_t>(typed ^ 0xFF), 2, 16, QLatin1Char('0'))
                             .arg(typed, 2, 16, QLatin1Char('0'))
                             .toUpper();
    EXPECT_TRUE(LogHas(line)) << LogLines().join('\n').toStdString();
    EXPECT_TRUE(LogHas(QStringLiteral("1 difference.")));
    EXPECT_EQ(form->Buffer()[7], typed);
    EXPECT_TRUE(form->Programmer().edits.Unsaved());
    EXPECT_TRUE(form->Programmer().edits.CanUndo());
    QFile list(Path("differences.txt"));
    ASSERT_TRUE(list.open(QIODevice::ReadOnly));
    EXPECT_EQ(QString::fromUtf8(list.readAll()), line + QLatin1Char('\n'));
    EXPECT_EQ(form->WorkersStarted(), 6);
    EXPECT_FALSE(form->OperationRunning());
}

// Every family through the window's Operation menu on its simulated chip:
// a write, then a verify of the same buffer.
TEST_F(OperationsTest, EveryFamilyWritesAndVerifiesOnItsSimulatedChip) {
    struct Part {
        const char* type;  // as the Type box shows it
        const char* maker;
        const char* name;
    };
    for (const Part& part : {Part{"EEPROM", "Atmel", "AT28C256"}, Part{"FLASHROM", "Intel", "P28F010"},
                             Part{"Serial EEPROM", "Atmel", "AT24C02"}, Part{"MicroControler", "Microchip", "PIC16F84"},
                             Part{"PLD", "Lattice", "GAL16V8"}}) {
        SCOPED_TRACE(part.name);
        Select(QString::fromLatin1(part.type), QString::fromLatin1(part.maker), QString::fromLatin1(part.name));
        ASSERT_TRUE(form->DeviceSelected());
        const DeviceRecord& record = form->Record();
        uint8_t* buffer = form->Buffer().data();
        if (std::string(part.type) == "PLD") {
            for (uint32_t i = 0; i < record.bufsize; ++i) buffer[i] = (i % 3) == 0;
        } else if (std::string(part.type) == "MicroControler") {
            // 14-bit words, high byte first; the configuration words blank;
            // a data-EEPROM word (from byte 4200h) holds one byte.
            for (uint32_t i = 0; i + 1 < record.bufsize; i += 2) {
                buffer[i] = i < 0x4000 ? static_cast<uint8_t>((i / 2) & 0x3F) : i >= 0x4200 ? 0x00 : 0x3F;
                buffer[i + 1] = i < 0x4000 ? static_cast<uint8_t>(i * 7) : 0xFF;
            }
            SetLength(0x20);
        } else {
            SetLength(0x100);
            Pattern(0x100);
        }
        form->OpWriteExecute();
        EXPECT_TRUE(LogHas(QStringLiteral("WRITE operation is successful"))) << LogLines().join('\n').toStdString();
        form->OpVerifyExecute();
        EXPECT_TRUE(LogHas(QStringLiteral("VERIFY operation is successful."))) << LogLines().join('\n').toStdString();
        form->Memo1->clear();
    }
}

TEST_F(OperationsTest, TheChipIsKeptAcrossRuns) {
    SelectEprom();
    SetLength(0x40);
    Pattern(0x40);
    form->OpWriteExecute();
    ASSERT_TRUE(LogHas(QStringLiteral("WRITE operation is successful")));
    form.reset();
    Start();
    SelectEprom();
    SetLength(0x40);
    form->OpReadExecute();
    ASSERT_TRUE(LogHas(QStringLiteral("READ operation is successful")));
    EXPECT_EQ(form->Buffer()[0x3F], static_cast<uint8_t>(0x3F * 13 + 1));
    // The configuration dialog's button blanks it.
    QString message;
    ASSERT_TRUE(form->BlankSocketChip(message)) << message.toStdString();
    form->OpBlankExecute();
    EXPECT_TRUE(LogHas(QStringLiteral("This device is BLANK")));
}

TEST_F(OperationsTest, AutomaticWriteRunsThreeSteps) {
    SelectEprom();
    SetLength(0x100);
    Pattern(0x100);
    form->OpAutoExecute();
    EXPECT_EQ(test::Last(prompter.asked).kind, QStringLiteral("exec"));
    const QStringList lines = LogLines();
    EXPECT_TRUE(lines.contains(QStringLiteral("This device is BLANK")));
    EXPECT_TRUE(lines.contains(QStringLiteral("WRITE operation is successful")));
    EXPECT_TRUE(lines.contains(QStringLiteral("VERIFY operation is successful.")));
    EXPECT_EQ(lines.last(), QStringLiteral("AUTO WRITE operation is successful"));
    EXPECT_EQ(form->WorkersStarted(), 3);
    int progressShown = 0;
    for (const auto& e : prompter.Execs()) progressShown += e == QStringLiteral("krt::TProgressForm");
    EXPECT_EQ(progressShown, 3);

    // Now the chip is not blank: the sequence stops after the blank check.
    prompter.asked.clear();
    form->OpAutoExecute();
    const QStringList again = LogLines();
    EXPECT_TRUE(again.contains(QStringLiteral("This device is NOT BLANK")));
    EXPECT_FALSE(again.contains(QStringLiteral("WRITE operation is successful")));
    EXPECT_FALSE(again.contains(QStringLiteral("AUTO WRITE operation is successful")));
    EXPECT_EQ(again.last(), QStringLiteral("The automatic write stopped at the blank check: nothing was written."));
    EXPECT_EQ(form->WorkersStarted(), 4);
    EXPECT_EQ(form->LastIndicator(), 1u);
}

TEST_F(OperationsTest, AutomaticWriteStopsAtAVerifyError) {
    SelectEprom();
    SetLength(0x80);
    Pattern(0x80);
    // A cell that never programs: the write reports it, and the sequence ends
    // without the verify and without message 48.
    CellFaults faults;
    faults.dead = {0x10};
    form->Simulator()->SetCellFaults(faults);
    form->OpAutoExecute();
    const QStringList lines = LogLines();
    EXPECT_FALSE(lines.contains(QStringLiteral("AUTO WRITE operation is successful")))
        << lines.join('\n').toStdString();
    EXPECT_TRUE(lines.contains(QStringLiteral("Errors were detected on WRITE operation")) ||
                lines.contains(QStringLiteral("Errors were found through VERIFY operation")))
        << lines.join('\n').toStdString();
}

TEST_F(OperationsTest, CancelInTheMiddleOfARead) {
    SelectEprom("27C040");
    bool cancelled = false;
    CancelAtFirstProgress(cancelled);
    form->OpReadExecute();
    EXPECT_TRUE(cancelled);
    EXPECT_TRUE(LogHas(QStringLiteral("READ operation is failed. Because \"Operation is canceled\".")))
        << LogLines().join('\n').toStdString();
    EXPECT_EQ(form->StatusText(), QStringLiteral("Reading from device to buffer has finished."));
    EXPECT_EQ(form->LastIndicator(), 1u);
    EXPECT_FALSE(form->OperationRunning());
}

TEST_F(OperationsTest, CancelledWriteSaysHowFarItGot) {
    SelectEprom("27C256");
    SetLength(0x8000);
    Pattern(0x8000);
    bool cancelled = false;
    CancelAtFirstProgress(cancelled);
    form->OpWriteExecute();
    ASSERT_TRUE(cancelled);
    const QStringList lines = LogLines();
    EXPECT_FALSE(lines.contains(QStringLiteral("Written without errors."))) << lines.join('\n').toStdString();
    int at = -1;
    for (int i = 0; i < lines.size(); ++i)
        if (lines[i].startsWith(QStringLiteral("Write cancelled at "))) at = i;
    ASSERT_GE(at, 0) << lines.join('\n').toStdString();
    EXPECT_TRUE(lines[at].endsWith(QStringLiteral(" words from 000000 were written"))) << lines[at].toStdString();
    EXPECT_FALSE(LogHas(QStringLiteral("WRITE operation is successful")));
}

TEST_F(OperationsTest, LongOperationShowsTheTimeLeft) {
    SelectEprom("27C040");
    form->Simulator()->SetPacedToRealTime(true);
    prompter.fastProgress = false;
    QString seen;
    form->ProgressForm()->SetTimeLeftAfter(200);
    prompter.duringProgress = [&](TProgressForm& p) {
        if (!seen.isEmpty()) return;
        // The estimate comes after the first seconds; take it from the
        // dialog, then cancel.
        if (!p.TimeLeft->text().isEmpty()) {
            seen = p.TimeLeft->text();
            p.Button1->click();
        }
    };
    form->OpReadExecute();
    EXPECT_TRUE(seen.startsWith(QStringLiteral("about "))) << seen.toStdString();
    EXPECT_TRUE(seen.endsWith(QStringLiteral(" left"))) << seen.toStdString();
}

TEST_F(OperationsTest, UndefinedDeviceFailsAndTheDialogClosesAtOnce) {
    // A catalogue whose device names a type no family handles.
    QDir().mkpath(Path("cat"));
    QFile list(Path("cat/DEVICE.LST"));
    ASSERT_TRUE(list.open(QIODevice::WriteOnly));
    list.write("EPROM,Nobody,X1,0,odd.prm\n");
    list.close();
    QFile prm(Path("cat/odd.prm"));
    ASSERT_TRUE(prm.open(QIODevice::WriteOnly));
    prm.write("device\tX1\ntype\tWIDGET\nmaxsize\t100\n");
    prm.close();
    options.catalogueDir = Path("cat");
    form.reset();
    Start();
    Select(QStringLiteral("EPROM"), QStringLiteral("Nobody"), QStringLiteral("X1"));
    ASSERT_TRUE(form->DeviceSelected()) << LogLines().join('\n').toStdString();
    prompter.fastProgress = false;  // the real 500 ms and 1000 ms ticks
    QElapsedTimer t;
    t.start();
    form->OpReadExecute();
    const qint64 ms = t.elapsed();
    EXPECT_TRUE(LogHas(QStringLiteral("READ operation is failed. Because \"Undefined device\".")));
    EXPECT_EQ(form->ProgressForm()->Button1->text(), QStringLiteral("Finished"));
    EXPECT_EQ(form->ProgressForm()->ProgressBar1->value(), form->ProgressForm()->ProgressBar1->maximum());
    // The dialog closes when the operation ends, without a tick's pause.
    EXPECT_LT(ms, 900);
    EXPECT_FALSE(form->ProgressForm()->isVisible());
}

// Commands that cannot run on the device say why before asking for the
// chip, and start nothing.
TEST_F(OperationsTest, CommandsThatCannotRunSayWhyBeforeAskingForTheChip) {
    struct Case {
        const char* type;
        const char* maker;
        const char* name;
        void (TQV17MainForm::*command)();
        const char* text;
    };
    const Case cases[] = {
        {"EPROM", "Intel", "27C256", &TQV17MainForm::OpEraseExecute,
         "27C256 cannot be erased by the programmer: an EPROM is erased with ultraviolet light, a one-time PROM not at all."},
        {"EPROM", "Winbond", "W27C512", &TQV17MainForm::OpEraseExecute,
         "W27C512 cannot be erased by this KRT: its erase needs 14.0 V on A9 as well as on its Vpp pin, and this KRT "
         "cannot put a high voltage on A9 (nothing was applied). Erase it in a programmer that drives A9 to 14.0 V; a "
         "chip that passes the blank check can be written as it is. It has no window: UV light does not erase it."},
        {"EPROM", "Intel", "27C256", &TQV17MainForm::OpSecureExecute,
         "27C256 has no security operation (only GAL16V8 and GAL20V8 have one)."},
        {"One Time PROM", "Atmel", "AT27C256R", &TQV17MainForm::OpEraseExecute,
         "AT27C256R cannot be erased by the programmer: an EPROM is erased with ultraviolet light, a one-time PROM not at all."},
        {"PLD", "Lattice", "GAL22V10", &TQV17MainForm::OpSecureExecute,
         "The security operation of GAL22V10 is not supported yet."},
        {"MicroControler", "Microchip", "PIC16F84", &TQV17MainForm::N16Click,
         "The device option (an ID read) exists only for GALs: PIC16F84 has none."},
        {"Serial EEPROM", "Atmel", "AT24C02", &TQV17MainForm::N16Click,
         "The device option (an ID read) exists only for GALs: AT24C02 has none."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + " " + c.text);
        Select(QString::fromLatin1(c.type), QString::fromLatin1(c.maker), QString::fromLatin1(c.name));
        ASSERT_TRUE(form->DeviceSelected());
        prompter.asked.clear();
        (form.get()->*c.command)();
        ASSERT_EQ(prompter.asked.size(), 1u);  // the reason only: no confirmation
        EXPECT_EQ(prompter.asked[0].text, QString::fromUtf8(c.text));
        EXPECT_TRUE(LogHas(QString::fromUtf8(c.text)));
        EXPECT_EQ(form->WorkersStarted(), 0);
    }
    // A GAL16V8 has a security operation: it is asked for.
    Select(QStringLiteral("PLD"), QStringLiteral("Lattice"), QStringLiteral("GAL16V8"));
    prompter.asked.clear();
    prompter.answers.push_back(QMessageBox::Cancel);
    form->OpSecureExecute();
    ASSERT_EQ(prompter.asked.size(), 1u);
    EXPECT_EQ(prompter.asked[0].text, QStringLiteral("Set device on the socket\n\nDevice in use: PLD / Lattice / GAL16V8"));
}

TEST_F(OperationsTest, HardwareResetWithoutAProgrammer) {
    form->Simulator()->SetPresence(VirtualKrt::Presence::AckFloatsHigh);
    form->HardResetExecute();
    EXPECT_EQ(LogLines().last(), QStringLiteral("KRT initialization is failed."));
    form->Simulator()->SetPresence(VirtualKrt::Presence::Present);
    form->HardResetExecute();
    EXPECT_EQ(LogLines().last(), QStringLiteral("KRT is initialized successfully."));
}

// The window works on the session's device, buffer and range, so that the
// views over the session see them live; the session says when an operation
// or a data file changed the buffer.
TEST_F(OperationsTest, TheSessionHoldsTheStateAndSaysWhenTheBufferChanged) {
    SelectEprom();
    Session& session = form->Programmer();
    EXPECT_EQ(&form->Record(), &session.record);
    EXPECT_EQ(&form->Buffer(), &session.buffer);
    EXPECT_EQ(&form->Range(), &session.range);
    EXPECT_EQ(&form->Devices(), &session.devices);
    EXPECT_EQ(session.record.name, "27C256");
    EXPECT_EQ(session.range.length, "008000");
    std::atomic<int> changes{0};
    session.SetBufferListener([&changes] { ++changes; });
    SetLength(0x40);
    EXPECT_EQ(session.range.length, "000040");
    form->OpBlankExecute();
    EXPECT_EQ(changes.load(), 0);
    form->OpReadExecute();
    EXPECT_EQ(changes.load(), 1);
    QFile hex(Path("four.hex"));
    ASSERT_TRUE(hex.open(QIODevice::WriteOnly));
    hex.write(":0400000001020304F2\n:00000001FF\n");
    hex.close();
    prompter.fileNames.push_back(hex.fileName());
    form->FileOpen1Execute();
    ASSERT_TRUE(form->DataLoaded());
    EXPECT_EQ(changes.load(), 2);
    EXPECT_EQ(session.buffer[3], 0x04);
    session.SetBufferListener(nullptr);
}

// The port-base mend as the user meets it: the configuration dialog, from
// its menu item, set to 0x278 with the mouse and closed with OK; the next
// hardware reset finds the simulated programmer at the new base.
TEST_F(OperationsTest, APortBaseChosenInTheDialogReachesTheProgrammer) {
    ASSERT_EQ(form->Simulator()->PortBase(), 0x378);
    form->show();
    prompter.onExec = [](QDialog& dialog) {
        auto* config = qobject_cast<THConfigForm*>(&dialog);
        if (!config) return static_cast<int>(QDialog::Accepted);
        dialog.show();
        // On the button's mark, which a wide button leaves at its left.
        QAbstractButton* port278 = config->RadioGroup1Items->button(1);
        QTest::mouseClick(port278, Qt::LeftButton, {}, QPoint(8, port278->height() / 2));
        EXPECT_EQ(config->RadioGroup1Items->checkedId(), 1);
        QTest::mouseClick(config->Button1, Qt::LeftButton);
        EXPECT_FALSE(dialog.isVisible());
        return dialog.result();
    };
    form->S1->trigger();
    ASSERT_EQ(prompter.Execs(), std::vector<QString>{QStringLiteral("krt::THConfigForm")});
    EXPECT_EQ(form->Link().portBase, 0x278);
    EXPECT_EQ(ReadSetting(QStringLiteral("LprPort")), 0x278);

    form->N14->trigger();
    const QStringList lines = LogLines();
    EXPECT_TRUE(lines.contains(QStringLiteral("The simulated KRT is now connected at the base 278")))
        << lines.join('\n').toStdString();
    EXPECT_EQ(lines.last(), QStringLiteral("KRT is initialized successfully."));
    EXPECT_EQ(form->Simulator()->PortBase(), 0x278);
    EXPECT_TRUE(form->Link().programmerFound);
}

TEST_F(OperationsTest, RangeBeyondTheDeviceIsCut) {
    SelectEprom();
    // Operations take the committed range: a start typed
    // with a length beyond the device is cut at the device end.
    form->ComboBox4->setEditText(QStringLiteral("7F00"));
    form->ComboBox6->setEditText(QStringLiteral("FFFF"));
    form->CommitStart();
    const LinkRequest r = form->BuildRequest(4);
    EXPECT_EQ(r.startAddress, 0x7F00u);
    EXPECT_EQ(r.length, 0x100u);
    form->ComboBox4->setEditText(QStringLiteral("9000"));
    form->CommitStart();
    EXPECT_EQ(form->BuildRequest(4).startAddress, 0x7FFFu);
    EXPECT_EQ(form->BuildRequest(4).length, 1u);
    form->Edit1->setText(QStringLiteral("12"));
    EXPECT_EQ(form->BuildRequest(5).permittedErrorCount, 12u);
    form->Edit1->setText(QStringLiteral("x"));
    EXPECT_EQ(form->BuildRequest(5).permittedErrorCount, 100u);
}

TEST_F(OperationsTest, CommandsAreInertWhileAWorkerExists) {
    SelectEprom("27C040");
    DeviceRecord* recordBefore = &form->Record();
    const uint8_t* bufferBefore = form->Buffer().data();
    bool tried = false;
    AtFirstProgress(tried, [&](TProgressForm& p) {
        const size_t asked = prompter.asked.size();
        form->Button1Click();
        form->FileNew1Execute();
        form->J1Click();
        form->OpWriteExecute();
        form->HardResetExecute();
        EXPECT_EQ(prompter.asked.size(), asked);
        EXPECT_EQ(&form->Record(), recordBefore);
        EXPECT_EQ(form->Buffer().data(), bufferBefore);
        EXPECT_EQ(form->Language(), 1u);
        p.Button1->click();
    });
    form->OpReadExecute();
    EXPECT_TRUE(tried);
    EXPECT_EQ(form->WorkersStarted(), 1);
}

TEST_F(OperationsTest, ClosingDuringAnOperationCancelsWaitsAndResets) {
    SelectEprom("27C040");
    bool closed = false;
    AtFirstProgress(closed, [&](TProgressForm&) { form->close(); });
    form->OpAutoExecute();
    EXPECT_TRUE(closed);
    // The user was asked first; the prompter's yes let the close go on.
    ASSERT_GE(prompter.Count("box"), 2);
    EXPECT_EQ(prompter.asked.back().text.section(QLatin1Char('\n'), 0, 0),
              QStringLiteral("An operation is running: cancel it and quit?"));
    // Enter answers No: a running write is not abandoned by a key press.
    EXPECT_EQ(prompter.defaults, std::vector<QMessageBox::StandardButton>{QMessageBox::No});
    EXPECT_FALSE(form->OperationRunning());
    // Only the blank check ran: the sequence stopped at the close.
    EXPECT_EQ(form->WorkersStarted(), 1);
    ASSERT_NE(form->Simulator(), nullptr);
    EXPECT_DOUBLE_EQ(form->Simulator()->Vpp(), 0.0);
    EXPECT_FALSE(form->Simulator()->ResultOkIndicator());
}

TEST_F(OperationsTest, ClosingDuringAWriteAndAnsweringNoLetsItFinish) {
    SelectEprom("27C256");
    SetLength(0x200);
    Pattern(0x200);
    form->show();
    bool asked = false;
    AtFirstProgress(asked, [&](TProgressForm&) {
        prompter.answers.push_back(QMessageBox::No);
        EXPECT_FALSE(form->close());
    });
    form->OpWriteExecute();
    EXPECT_TRUE(asked);
    EXPECT_TRUE(form->isVisible());
    EXPECT_TRUE(LogHas(QStringLiteral("WRITE operation is successful"))) << LogLines().join('\n').toStdString();
    EXPECT_EQ(form->LastIndicator(), 2u);
    // With no operation running, a close asks nothing.
    const int boxes = prompter.Count("box");
    EXPECT_TRUE(form->close());
    EXPECT_EQ(prompter.Count("box"), boxes);
}

}  // namespace
}  // namespace krt::test

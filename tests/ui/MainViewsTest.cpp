// SPDX-License-Identifier: GPL-3.0-or-later
// The views as the main window opens them: the dump and debug windows from
// their menu items, the checksum box, and the manual in both languages.
#include <QAction>
#include <QComboBox>
#include <QLineEdit>
#include <QLabel>
#include <QPushButton>
#include <QTextBrowser>
#include <QTest>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>

#include "TForm3.h"
#include "THDebugForm.h"
#include "TManualForm.h"
#include "UiTestSupport.h"
#include "ViewTestSupport.h"

namespace krt::test {
namespace {

class MainViews : public StartedWindowTest {
protected:
    std::string Run(const std::string& command) {
        const std::string out = Path("run.txt").toStdString();
        EXPECT_EQ(std::system((command + " >" + out + " 2>/dev/null").c_str()), 0) << command;
        std::ifstream in(out);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    // The figure outside the program.
    std::string PythonSum(const QString& file, size_t first, size_t count) {
        return Run("python3 -c \"import sys; d = open(sys.argv[1], 'rb').read()[" + std::to_string(first) + ":" +
                   std::to_string(first + count) + "]; print('%04X' % (sum(d) & 0xFFFF))\" '" +
                   file.toStdString() + "'")
            .substr(0, 4);
    }
    QString Checksum() {
        Settle();
        return form->StaticText1->text();
    }
};

TEST_F(MainViews, DumpWithoutADeviceShowsTheNotSelectedBoxAndNoWindow) {
    EXPECT_TRUE(form->BinDump->isEnabled());
    EXPECT_TRUE(form->D1->isEnabled());
    form->D1->trigger();
    ASSERT_EQ(prompter.Count("box"), 1);
    EXPECT_EQ(test::Last(prompter.asked).text, QStringLiteral("Device is not selected."));
    EXPECT_EQ(test::Last(prompter.asked).caption, QStringLiteral("qv17win"));
    EXPECT_EQ(prompter.Count("exec"), 0);

    Select(QStringLiteral("EPROM"), QStringLiteral("Intel"), QStringLiteral("27C256"));
    prompter.asked.clear();
    form->BinDump->trigger();
    EXPECT_EQ(prompter.Execs(), std::vector<QString>{QStringLiteral("krt::TForm3")});
    EXPECT_EQ(test::Last(prompter.asked).caption, QStringLiteral("Buffer dump"));  // in English
}

TEST_F(MainViews, DebugOpensFromTheHardwareMenu) {
    EXPECT_TRUE(form->N13->isEnabled());
    EXPECT_EQ(form->N13->text(), QStringLiteral("&Debug"));
    form->N13->trigger();
    EXPECT_EQ(prompter.Execs(), std::vector<QString>{QStringLiteral("krt::THDebugForm")});
}

TEST_F(MainViews, ChecksumBoxFollowsTheDeviceTheFileAndTheRange) {
    EXPECT_EQ(Checksum(), QString());  // no device, no figure
    Select(QStringLiteral("EPROM"), QStringLiteral("Intel"), QStringLiteral("27C256"));
    EXPECT_EQ(Checksum(), QStringLiteral("8000"));  // 0x8000 bytes of FF

    // A known image through File > Open.
    std::mt19937 random(42);
    std::string bytes(0x8000, '\0');
    for (char& b : bytes) b = static_cast<char>(random());
    std::ofstream(Path("image.bin").toStdString(), std::ios::binary) << bytes;
    prompter.fileNames.push_back(Path("image.bin"));
    form->FileOpen1Execute();
    const std::string whole = PythonSum(Path("image.bin"), 0, 0x8000);
    EXPECT_EQ(Checksum().toStdString(), whole);
    // The same figure as krt sum for the same file.
    const std::string krt = Run("'" KRT_BINARY_DIR "/bin/krt' sum EPROM Intel 27C256 '" +
                                Path("image.bin").toStdString() + "'");
    EXPECT_NE(krt.find("CheckSum: " + whole), std::string::npos) << krt;

    // A shorter range, typed and committed with Enter.
    form->ComboBox6->lineEdit()->setFocus();
    form->ComboBox6->lineEdit()->selectAll();
    QTest::keyClicks(form->ComboBox6->lineEdit(), QStringLiteral("100"));
    QTest::keyClick(form->ComboBox6->lineEdit(), Qt::Key_Return);
    EXPECT_EQ(Checksum().toStdString(), PythonSum(Path("image.bin"), 0, 0x100));

    form->FileNew1Execute();  // cleared, the range back to the whole device
    EXPECT_EQ(Checksum(), QStringLiteral("8000"));
}

// A fuse map loaded for a GAL does not fit a PIC: after the device change
// the buffer is blank and the log says why; a PIC file opened next gives the
// figure krt sum gives for it, and only its own words.
TEST_F(MainViews, DeviceChangeStartsBlankAndTheChecksumIsKrtSums) {
    Select(QStringLiteral("PLD"), QStringLiteral("Lattice"), QStringLiteral("GAL22V10"));
    prompter.fileNames.push_back(QStringLiteral(KRT_SOURCE_DIR "/tests/data/jedec/GAL22V10_reg.jed"));
    form->FileOpen1Execute();
    ASSERT_TRUE(form->DataLoaded());

    prompter.asked.clear();
    Select(QStringLiteral("MicroControler"), QStringLiteral("Microchip"), QStringLiteral("PIC16F84"));
    ASSERT_TRUE(form->DeviceSelected());
    EXPECT_FALSE(form->DataLoaded());
    ASSERT_EQ(prompter.Count("box"), 1);
    EXPECT_TRUE(prompter.asked.back().text.startsWith(QStringLiteral("File format is incorrect.")));
    EXPECT_TRUE(prompter.asked.back().text.contains(QStringLiteral("QF5892"))) << prompter.asked.back().text.toStdString();
    bool said = false;
    for (const QString& line : LogLines())
        said = said || (line.startsWith(QStringLiteral("The last data file")) && line.endsWith(QStringLiteral("the buffer is blank.")));
    EXPECT_TRUE(said);
    // 400h words of 3FFF, the configuration word 3FFF and 64 blank data EEPROM bytes.
    EXPECT_EQ(Checksum(), QStringLiteral("38FE +CFG +EE"));

    // gpasm's INHX8M output for a few words and the configuration word.
    std::ofstream(Path("pic.hex").toStdString(), std::ios::binary)
        << ":020000000428D2\n:06000800123086000428FE\n:02400E00F13F80\n:00000001FF\n";
    prompter.fileNames.push_back(Path("pic.hex"));
    form->FileOpen1Execute();
    ASSERT_TRUE(form->DataLoaded());
    const std::string krt = Run("'" KRT_BINARY_DIR "/bin/krt' sum PIC Microchip PIC16F84 '" +
                                Path("pic.hex").toStdString() + "'");
    EXPECT_NE(krt.find("CheckSum: " + Checksum().toStdString()), std::string::npos) << krt << Checksum().toStdString();
    const DataBuffer& buffer = form->Buffer();
    EXPECT_EQ(buffer[0], 0x28);
    EXPECT_EQ(buffer[1], 0x04);
    EXPECT_EQ(buffer[0x20], 0x3F);  // word 10h: not in the file, blank
    EXPECT_EQ(buffer[0x21], 0xFF);
}

TEST_F(MainViews, ChecksumBoxOfAGalIsItsJedecFuseChecksum) {
    Select(QStringLiteral("PLD"), QStringLiteral("Lattice"), QStringLiteral("GAL16V8"));
    ASSERT_TRUE(form->DeviceSelected());
    prompter.fileNames.push_back(QStringLiteral(KRT_SOURCE_DIR "/tests/data/jedec/GAL16V8_reg.jed"));
    form->FileOpen1Execute();
    // Saved again, the file's C field carries the fuse checksum the box shows.
    prompter.fileNames.push_back(Path("copy.jed"));
    form->FileSave1Execute();
    std::ifstream in(Path("copy.jed").toStdString(), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    const std::string jed = s.str();
    const size_t c = jed.find("\nC");
    ASSERT_NE(c, std::string::npos);
    EXPECT_EQ(Checksum().toStdString(), jed.substr(c + 2, 4));
    EXPECT_NE(Checksum(), QStringLiteral("0000"));
}

// The end: on the simulator, Binary > Dump shows the buffer after a
// read, and its H/L SWAP changes what a following save writes; Hardware >
// Debug sends ALSET 5A and shows its status line.
TEST_F(MainViews, DumpAfterAReadAndASwapBeforeASave) {
    Select(QStringLiteral("EPROM"), QStringLiteral("Intel"), QStringLiteral("27C1024"));
    ASSERT_TRUE(form->DeviceSelected());
    // Two words in the chip: write them from a binary file, then clear and read back.
    std::ofstream(Path("words.bin").toStdString(), std::ios::binary) << std::string("\x12\x34\xAB\xCD", 4);
    prompter.fileNames.push_back(Path("words.bin"));
    form->FileOpen1Execute();
    form->ComboBox6->lineEdit()->selectAll();
    form->ComboBox6->lineEdit()->setFocus();
    QTest::keyClicks(form->ComboBox6->lineEdit(), QStringLiteral("2"));
    QTest::keyClick(form->ComboBox6->lineEdit(), Qt::Key_Return);
    form->OpWriteExecute();
    ASSERT_TRUE(LogHas(QStringLiteral("WRITE operation is successful"))) << LogLines().join('\n').toStdString();
    form->FileNew1Execute();
    form->ComboBox6->lineEdit()->selectAll();
    QTest::keyClicks(form->ComboBox6->lineEdit(), QStringLiteral("2"));
    QTest::keyClick(form->ComboBox6->lineEdit(), Qt::Key_Return);
    form->OpReadExecute();
    ASSERT_TRUE(LogHas(QStringLiteral("READ operation is successful")));

    QString first, second, swapped;
    prompter.onExec = [&](QDialog& dialog) {
        if (auto* progress = qobject_cast<TProgressForm*>(&dialog)) return prompter.RunProgress(*progress);
        auto* dump = qobject_cast<TForm3*>(&dialog);
        if (!dump) return int(QDialog::Accepted);
        dump->show();
        Settle();
        first = Cell(dump->StringGrid1, 1, 1);
        second = Cell(dump->StringGrid1, 1, 2);
        QTest::mouseClick(dump->Button2, Qt::LeftButton);
        swapped = Cell(dump->StringGrid1, 1, 1);
        QTest::mouseClick(dump->Button1, Qt::LeftButton);
        return int(QDialog::Rejected);
    };
    form->D1->trigger();
    EXPECT_EQ(first, QStringLiteral("12-34"));
    EXPECT_EQ(second, QStringLiteral("AB-CD"));
    EXPECT_EQ(swapped, QStringLiteral("34-12"));
    // The save after the swap writes the swapped words (a binary file holds
    // the buffer's bytes in order).
    prompter.fileNames.push_back(Path("saved.bin"));
    form->FileSave1Execute();
    std::ifstream in(Path("saved.bin").toStdString(), std::ios::binary);
    std::stringstream saved;
    saved << in.rdbuf();
    EXPECT_EQ(saved.str(), std::string("\x34\x12\xCD\xAB", 4));

    // Hardware > Debug: ALSET 5A.
    QString status;
    prompter.onExec = [&](QDialog& dialog) {
        auto* debug = qobject_cast<THDebugForm*>(&dialog);
        if (!debug) return int(QDialog::Accepted);
        debug->show();
        Settle();
        debug->ComboBox3->lineEdit()->selectAll();
        QTest::keyClicks(debug->ComboBox3->lineEdit(), QStringLiteral("ALSET"));
        debug->Edit2->selectAll();
        QTest::keyClicks(debug->Edit2, QStringLiteral("5A"));
        QTest::mouseClick(debug->Button5, Qt::LeftButton);
        status = debug->StatusText();
        debug->close();
        return int(QDialog::Rejected);
    };
    form->N13->trigger();
    // The window is in English: the debug window's line is too.
    EXPECT_EQ(status, QStringLiteral("Sent command ALSET (0x0A), 5A. The result is \"Operation is successful\"."));
}

TEST_F(MainViews, ManualOpensInBothLanguages) {
    EXPECT_TRUE(form->HelpContents1->isEnabled());
    EXPECT_EQ(form->HelpContentsItem->text(), QStringLiteral("&Contents"));
    form->HelpContentsItem->trigger();
    TManualForm* manual = form->ManualForm();
    ASSERT_NE(manual, nullptr);
    EXPECT_TRUE(manual->isVisible());
    EXPECT_EQ(manual->Browser->documentTitle(), QStringLiteral("KRTwin manual"));
    EXPECT_TRUE(manual->Browser->toPlainText().contains(QStringLiteral("Troubleshooting")));
    // A link of the contents moves within the page.
    manual->Browser->setSource(QUrl(QStringLiteral("#trouble")));
    EXPECT_TRUE(manual->ButtonBack->isEnabled());
    manual->close();

    form->J1Click();
    EXPECT_EQ(form->HelpContentsItem->text(), QStringLiteral("目次(&C)"));
    form->HelpContents1->trigger();
    EXPECT_TRUE(manual->isVisible());
    EXPECT_EQ(manual->windowTitle(), QStringLiteral("KRTwin マニュアル"));
    EXPECT_EQ(manual->Browser->documentTitle(), QStringLiteral("KRTwin マニュアル"));
    EXPECT_TRUE(manual->Browser->toPlainText().contains(QStringLiteral("困ったときは")));
    EXPECT_FALSE(TManualForm::ManualDirectory(0).isEmpty());
    EXPECT_FALSE(TManualForm::ManualDirectory(1).isEmpty());
}

}  // namespace
}  // namespace krt::test

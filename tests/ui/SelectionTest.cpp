// SPDX-License-Identifier: GPL-3.0-or-later
// Device selection, the parameter editor, range commits and data files.
#include <QApplication>
#include <QCompleter>
#include <QDir>
#include <QFile>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTextStream>
#include <QTest>

#include "UiTestSupport.h"
#include "ui/TWConfigForm.h"

namespace krt::test {
namespace {

class SelectionTest : public StartedWindowTest {
protected:
    // An Intel HEX file of n bytes from address 0, value (i * 7 + 3).
    QString WriteHex(const char* name, int n) {
        QFile f(Path(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        for (int a = 0; a < n; a += 16) {
            const int len = std::min(16, n - a);
            uint8_t sum = static_cast<uint8_t>(len + (a >> 8) + (a & 0xFF));
            QByteArray line = QByteArray(":") + QByteArray::number(len, 16).rightJustified(2, '0') +
                              QByteArray::number(a, 16).rightJustified(4, '0') + "00";
            for (int i = 0; i < len; ++i) {
                const uint8_t v = static_cast<uint8_t>((a + i) * 7 + 3);
                sum = static_cast<uint8_t>(sum + v);
                line += QByteArray::number(v, 16).rightJustified(2, '0');
            }
            line += QByteArray::number(static_cast<uint8_t>(-sum), 16).rightJustified(2, '0');
            f.write(line.toUpper() + "\n");
        }
        f.write(":00000001FF\n");
        return f.fileName();
    }
};

TEST_F(SelectionTest, CascadeListsMakersAndNumbers) {
    form->ComboBox1->setCurrentText(QStringLiteral("EPROM"));
    form->ComboBox1Change();
    EXPECT_EQ(form->TypeKey(), QStringLiteral("EPROM"));
    ASSERT_GE(form->ComboBox2->count(), 2);
    // No placeholder: the first maker is chosen and its numbers listed at once.
    EXPECT_EQ(form->ComboBox2->currentIndex(), 0);
    // Makers in alphabetical order, without regard to case.
    EXPECT_EQ(form->ComboBox2->itemText(0), QStringLiteral("AMD"));
    EXPECT_EQ(form->ComboBox2->itemText(1), QStringLiteral("Atmel"));
    EXPECT_GT(form->ComboBox3->count(), 3);
    EXPECT_EQ(form->ComboBox3->itemText(0), QStringLiteral("27C010"));
    // Part numbers by the value of their digits: 27C64 before 27C128.
    form->ComboBox2->setCurrentText(QStringLiteral("Intel"));
    form->ComboBox2Change();
    const int c64 = form->ComboBox3->findText(QStringLiteral("27C64"));
    const int c128 = form->ComboBox3->findText(QStringLiteral("27C128"));
    const int c512 = form->ComboBox3->findText(QStringLiteral("27C512"));
    ASSERT_GE(c64, 0);
    EXPECT_LT(c64, c128);
    EXPECT_LT(c128, c512);
    EXPECT_LT(form->ComboBox3->findText(QStringLiteral("2764")), form->ComboBox3->findText(QStringLiteral("27128")));
    // The placeholder type empties both following boxes.
    form->ComboBox1->setCurrentIndex(0);
    form->ComboBox1Change();
    EXPECT_EQ(form->TypeKey(), QString());
    EXPECT_EQ(form->ComboBox2->count(), 0);
    EXPECT_EQ(form->ComboBox3->count(), 0);
}

TEST_F(SelectionTest, TypingInTheNumberBoxFindsThePart) {
    form->ComboBox1->setCurrentText(QStringLiteral("EPROM"));
    form->ComboBox1Change();
    form->ComboBox2->setCurrentText(QStringLiteral("ST"));
    form->ComboBox2Change();
    // The whole number, typed in lower case, then Return: the box shows the
    // catalogue's part and Select loads it.
    QLineEdit* edit = form->ComboBox3->lineEdit();
    ASSERT_NE(edit, nullptr);
    const int listed = form->ComboBox3->count();
    edit->selectAll();
    QTest::keyClicks(edit, QStringLiteral("m27c801"));
    QTest::keyClick(edit, Qt::Key_Return);
    EXPECT_EQ(form->ComboBox3->currentText(), QStringLiteral("M27C801"));
    EXPECT_EQ(form->ComboBox3->currentIndex(), form->ComboBox3->findText(QStringLiteral("M27C801")));
    EXPECT_EQ(form->ComboBox3->count(), listed) << "nothing typed is added to the list";
    form->Button1Click();
    EXPECT_TRUE(LogHas(QStringLiteral("Device M27C801's parameter was loaded successfully.")));

    // A piece of a number offers every part that contains it.
    QCompleter* completer = form->ComboBox3->completer();
    ASSERT_NE(completer, nullptr);
    edit->selectAll();
    QTest::keyClicks(edit, QStringLiteral("27c4"));
    QStringList offered;
    for (int i = 0; i < completer->completionCount(); ++i) {
        completer->setCurrentRow(i);
        offered << completer->currentCompletion();
    }
    EXPECT_EQ(offered, (QStringList{QStringLiteral("M27C400"), QStringLiteral("M27C4001"), QStringLiteral("M27C4002")}));
}

TEST_F(SelectionTest, ConfirmationLoadsShowsTheEditorAndClearsTheBuffer) {
    Select(QStringLiteral("EPROM"), QStringLiteral("Intel"), QStringLiteral("27C256"));
    ASSERT_TRUE(form->DeviceSelected());
    EXPECT_TRUE(LogHas(QStringLiteral("Device 27C256's parameter was loaded successfully.")));
    ASSERT_EQ(prompter.Execs().size(), 1u);
    EXPECT_EQ(prompter.Execs()[0], QStringLiteral("krt::TWConfigForm"));
    EXPECT_EQ(form->ParamEditor()->Record(), &form->Record());
    EXPECT_EQ(form->Record().maxsize, 0x8000u);
    ASSERT_EQ(form->Buffer().size(), 0x8000u);
    for (uint32_t i = 0; i < form->Buffer().size(); ++i) ASSERT_EQ(form->Buffer()[i], 0xFF) << i;
    EXPECT_EQ(form->ComboBox4->currentText(), QStringLiteral("000000"));
    EXPECT_EQ(form->ComboBox5->currentText(), QStringLiteral("007FFF"));
    EXPECT_EQ(form->ComboBox6->currentText(), QStringLiteral("008000"));
    EXPECT_EQ(form->StatusText(), QStringLiteral("Please read data file"));
}

TEST_F(SelectionTest, FailedLoadLeavesNoDeviceAndKeepsTheBuffer) {
    Select(QStringLiteral("EPROM"), QStringLiteral("Intel"), QStringLiteral("27C256"));
    form->Buffer()[5] = 0x12;
    Choose(QStringLiteral("EPROM"), QStringLiteral("Intel"), QStringLiteral("27C256"));
    form->ComboBox3->setEditable(true);
    form->ComboBox3->setEditText(QStringLiteral("NO-SUCH-PART"));
    form->Button1Click();
    EXPECT_FALSE(form->DeviceSelected());
    const QStringList lines = LogLines();
    // The part typed names itself; no parameter file with an empty name.
    EXPECT_TRUE(lines.contains(
        QStringLiteral("Device EPROM Intel NO-SUCH-PART is not in the device list: choose a number from the list.")))
        << lines.join('\n').toStdString();
    EXPECT_FALSE(lines.join('\n').contains(QStringLiteral("\"\"")));
    EXPECT_EQ(form->Record().maxsize, 0u);
    EXPECT_EQ(form->Buffer()[5], 0x12);
    EXPECT_EQ(form->ComboBox6->currentText(), QStringLiteral("008000"));
}

TEST_F(SelectionTest, ReconfirmingReloadsTheLastDataFile) {
    Select(QStringLiteral("EPROM"), QStringLiteral("Intel"), QStringLiteral("27C256"));
    const QString hex = WriteHex("data.hex", 0x40);
    prompter.fileNames.push_back(hex);
    form->FileOpen1Execute();
    ASSERT_TRUE(form->DataLoaded());
    EXPECT_EQ(form->Buffer()[0x10], static_cast<uint8_t>(0x10 * 7 + 3));
    EXPECT_EQ(form->StatusText(), QStringLiteral("File \"%1\" is read").arg(hex));
    EXPECT_TRUE(LogHas(QStringLiteral("From file \"%1\", 64 word length data is read.").arg(hex)));
    form->Buffer()[0x10] = 0;
    Select(QStringLiteral("EPROM"), QStringLiteral("Intel"), QStringLiteral("27C256"));
    EXPECT_EQ(form->Buffer()[0x10], static_cast<uint8_t>(0x10 * 7 + 3));
    EXPECT_EQ(form->Buffer()[0x40], 0xFF);
}

// krtwin FILE: the file waits for the device the user selects, then goes
// into its buffer as File Open would put it there; with a device already
// loaded it is read at once.
TEST_F(SelectionTest, AFileFromTheCommandLineIsReadOnceADeviceIsSelected) {
    const QString hex = WriteHex("data.hex", 0x40);
    form->OpenOnceSelected(hex);
    EXPECT_FALSE(form->DataLoaded());
    EXPECT_TRUE(LogHas(
        QStringLiteral("File \"%1\" is read once a device is selected (choose it and press Select).").arg(hex)));
    EXPECT_EQ(prompter.Count("box"), 0);  // no "Device is not selected." box at start
    Select(QStringLiteral("EPROM"), QStringLiteral("Intel"), QStringLiteral("27C256"));
    ASSERT_TRUE(form->DataLoaded());
    EXPECT_EQ(form->Buffer()[0x10], static_cast<uint8_t>(0x10 * 7 + 3));
    EXPECT_EQ(form->Buffer()[0x40], 0xFF);
    EXPECT_EQ(form->LastDataFile(), hex);
    EXPECT_TRUE(form->PendingDataFile().isEmpty());
    EXPECT_TRUE(LogHas(QStringLiteral("From file \"%1\", 64 word length data is read.").arg(hex)));

    // Loaded: a second file is read at once, on a blank buffer as File Open reads it.
    const QString other = WriteHex("other.hex", 0x20);
    form->Buffer()[0x30] = 0x55;
    form->OpenOnceSelected(other);
    EXPECT_EQ(form->LastDataFile(), other);
    EXPECT_TRUE(LogHas(QStringLiteral("From file \"%1\", 32 word length data is read.").arg(other)));
    EXPECT_EQ(form->Buffer()[0x30], 0xFF);  // beyond the file: blank, as after File Open

    // A missing file is said as File Open says it, once the device is there.
    Select(QStringLiteral("EPROM"), QStringLiteral("Intel"), QStringLiteral("27C256"));
    form->FileNew1Execute();
    form->OpenOnceSelected(Path("missing.hex"));
    EXPECT_EQ(test::Last(prompter.asked).text.section(QLatin1Char('\n'), 0, 0), QStringLiteral("File not found."));
    EXPECT_FALSE(form->DataLoaded());
}

TEST_F(SelectionTest, FileCommandsNeedADeviceAndReportFailures) {
    form->FileOpen1Execute();
    ASSERT_EQ(prompter.Count("box"), 1);
    EXPECT_EQ(test::Last(prompter.asked).text, QStringLiteral("Device is not selected."));
    EXPECT_EQ(test::Last(prompter.asked).caption, QStringLiteral("qv17win"));
    EXPECT_EQ(prompter.Count("open"), 0);

    Select(QStringLiteral("EPROM"), QStringLiteral("Intel"), QStringLiteral("27C256"));
    prompter.fileNames.push_back(Path("missing.hex"));
    form->FileOpen1Execute();
    EXPECT_EQ(test::Last(prompter.asked).text, QStringLiteral("File not found."));
    EXPECT_FALSE(form->DataLoaded());
    // The open dialog's title and filter.
    bool sawOpen = false;
    for (const auto& a : prompter.asked)
        if (a.kind == QStringLiteral("open")) {
            sawOpen = true;
            EXPECT_EQ(a.caption, QStringLiteral("Open data file"));
            EXPECT_TRUE(a.text.startsWith(QStringLiteral("all files (*);;Intel HEX files (*.hex);;")));
        }
    EXPECT_TRUE(sawOpen);
    form->FileMerge1->trigger();
    EXPECT_EQ(test::Last(prompter.asked).caption, QStringLiteral("Merge data file"));

    QFile bad(Path("bad.hex"));
    ASSERT_TRUE(bad.open(QIODevice::WriteOnly));
    bad.write(":0400100001020304E3\n:00000001FF\n");
    bad.close();
    prompter.fileNames.push_back(bad.fileName());
    form->FileOpen1Execute();
    EXPECT_EQ(test::Last(prompter.asked).text, QStringLiteral("File's check sum is wrong."));
    EXPECT_EQ(form->Buffer()[0x10], 0xFF);  // a refused file leaves the buffer as it was

    // A save that cannot create its file is reported.
    prompter.fileNames.push_back(Path("no/such/dir/out.hex"));
    form->FileSave1Execute();
    EXPECT_EQ(test::Last(prompter.asked).text.section(QLatin1Char('\n'), 0, 0), QStringLiteral("File create is failed."));
}

TEST_F(SelectionTest, SaveWritesTheRangeAndReports) {
    Select(QStringLiteral("EPROM"), QStringLiteral("Intel"), QStringLiteral("27C256"));
    form->ComboBox6->setEditText(QStringLiteral("10"));
    form->CommitLength();
    const QString out = Path("out.bin");
    QFile old(out);
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    old.write("previous");
    old.close();
    prompter.fileNames.push_back(out);
    form->FileSaveAs1Execute();
    EXPECT_TRUE(LogHas(QStringLiteral("File:%1: 16 words written.").arg(out)));
    EXPECT_EQ(form->StatusText(), QStringLiteral("File: %1 written").arg(out));
    QFile f(out);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), QByteArray(16, '\xFF'));
}

// File > New and Project > New both clear to the device's blank buffer;
// a new project forgets the file and the permitted errors too.
TEST_F(SelectionTest, FileNewAndProjectNewClearTheBuffer) {
    Select(QStringLiteral("EPROM"), QStringLiteral("Intel"), QStringLiteral("27C256"));
    for (QAction* command : {form->FileNew1, form->ProjectNew1}) {
        SCOPED_TRACE(command->objectName().toStdString());
        form->Buffer()[3] = 0;
        form->ComboBox4->setEditText(QStringLiteral("100"));
        form->CommitStart();
        form->Edit1->setText(QStringLiteral("7"));
        form->ClearLog();
        command->trigger();
        EXPECT_EQ(form->Buffer()[3], 0xFF);
        EXPECT_TRUE(LogHas(QStringLiteral("Buffer is cleared")));
        EXPECT_EQ(form->ComboBox4->currentText(), QStringLiteral("000000"));
        EXPECT_EQ(form->StatusText(), QString());
        EXPECT_FALSE(form->DataLoaded());
        const bool project = command == form->ProjectNew1;
        EXPECT_EQ(LogHas(QStringLiteral("A new project is started.")), project);
        EXPECT_EQ(form->Edit1->text(), project ? QStringLiteral("100") : QStringLiteral("7"));
    }
}

TEST_F(SelectionTest, RangeCommitsFromTheFields) {
    Select(QStringLiteral("EPROM"), QStringLiteral("Intel"), QStringLiteral("27C256"));
    auto set = [&](const char* s, const char* e, const char* n) {
        form->ComboBox4->setEditText(QString::fromLatin1(s));
        form->ComboBox5->setEditText(QString::fromLatin1(e));
        form->ComboBox6->setEditText(QString::fromLatin1(n));
    };
    auto fields = [&] {
        return (form->ComboBox4->currentText() + " " + form->ComboBox5->currentText() + " " +
                form->ComboBox6->currentText()).toStdString();
    };
    set("9000", "7FFF", "8000");
    form->CommitStart();
    EXPECT_EQ(fields(), "007FFF 007FFF 000001");
    set("100", "50", "1");
    form->CommitEnd();
    EXPECT_EQ(fields(), "000100 000100 000001");
    set("7000", "0", "2000");
    form->CommitLength();
    EXPECT_EQ(fields(), "007000 007FFF 001000");

    // Enter in a field commits it and types nothing.
    set("0", "7FFF", "8000");
    form->show();
    form->ComboBox5->lineEdit()->setText(QStringLiteral("00FF"));
    QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
    QApplication::sendEvent(form->ComboBox5->lineEdit(), &enter);
    EXPECT_EQ(fields(), "000000 0000FF 000100");
    // Leaving a field commits it too.
    form->ComboBox6->lineEdit()->setText(QStringLiteral("10"));
    QFocusEvent out(QEvent::FocusOut);
    QApplication::sendEvent(form->ComboBox6->lineEdit(), &out);
    EXPECT_EQ(fields(), "000000 00000F 000010");
}

TEST_F(SelectionTest, ParameterEditorFromTheDeviceMenu) {
    form->N12Click();
    ASSERT_EQ(prompter.Execs().size(), 1u);
    EXPECT_EQ(form->ParamEditor()->Record(), &form->Record());
    EXPECT_EQ(form->Record().maxsize, 0u);  // the empty record before any device
}

}  // namespace
}  // namespace krt::test

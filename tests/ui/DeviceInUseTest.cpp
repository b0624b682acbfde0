// SPDX-License-Identifier: GPL-3.0-or-later
// What the window programs is what the user meant: the device in use is
// named wherever the chip is touched, lists changed without Select do not
// change a chip, a language switch keeps the device, File > Open starts
// blank, and a failed save says where and why.
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <unistd.h>

#include "FileFolders.h"
#include "UiTestSupport.h"

namespace krt::test {
namespace {

class DeviceInUseTest : public StartedWindowTest {
protected:
    QString WriteFile(const char* name, const QByteArray& content) {
        QFile f(Path(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
        return f.fileName();
    }
    // An Intel HEX file of n bytes of value v from address 0.
    QString WriteFilledHex(const char* name, int n, uint8_t v) {
        QByteArray text;
        for (int a = 0; a < n; a += 16) {
            uint8_t sum = static_cast<uint8_t>(16 + (a >> 8) + (a & 0xFF) + 16 * v);
            text += ":10" + QString::number(a, 16).rightJustified(4, QLatin1Char('0')).toUpper().toLatin1() + "00";
            for (int i = 0; i < 16; ++i) text += QByteArray::number(v, 16).rightJustified(2, '0').toUpper();
            text += QByteArray::number(static_cast<uint8_t>(-sum), 16).rightJustified(2, '0').toUpper() + "\n";
        }
        return WriteFile(name, text + ":00000001FF\n");
    }
    QString DeviceStatus() { return form->findChild<QLabel*>(QStringLiteral("DeviceStatus"))->text(); }
};

TEST_F(DeviceInUseTest, ListsChangedWithoutSelectChangeNoChip) {
    Select(QStringLiteral("EEPROM"), QStringLiteral("Atmel"), QStringLiteral("AT28C256"));
    ASSERT_TRUE(form->DeviceSelected());
    const QString inUse = QStringLiteral("EEPROM / Atmel / AT28C256");
    EXPECT_EQ(DeviceStatus(), QStringLiteral("Device in use: ") + inUse);
    EXPECT_TRUE(form->windowTitle().endsWith(QStringLiteral(" - ") + inUse)) << form->windowTitle().toStdString();

    Choose(QStringLiteral("Serial EEPROM"), QStringLiteral("Atmel"), QStringLiteral("AT24C01"));
    const QString refused = QStringLiteral(
        "The lists show Serial EEPROM / Atmel / AT24C01, but the device in use is EEPROM / Atmel / AT28C256: "
        "nothing was done. Press Select to use the device the lists show.");
    // Every command that changes the chip, from the menu or the toolbar.
    for (QAction* command : {form->OpWrite, form->OpErase, form->OpAuto, form->SdpOff1}) {
        const size_t asked = prompter.asked.size();
        command->trigger();
        ASSERT_EQ(prompter.asked.size(), asked + 1) << command->objectName().toStdString();
        EXPECT_EQ(prompter.asked.back().text, refused) << command->objectName().toStdString();
    }
    EXPECT_EQ(form->WorkersStarted(), 0);
    EXPECT_TRUE(LogHas(refused));
    EXPECT_EQ(DeviceStatus(), QStringLiteral("Device in use: ") + inUse);

    // A read changes no chip: it runs, and its question names the device used.
    form->OpReadExecute();
    EXPECT_EQ(form->WorkersStarted(), 1);
    bool named = false;
    for (const auto& a : prompter.asked)
        named |= a.text == QStringLiteral("Set device on the socket\n\nDevice in use: ") + inUse;
    EXPECT_TRUE(named);

    // Select makes the lists' device the one in use; the write then runs on it.
    form->Button1Click();
    EXPECT_EQ(DeviceStatus(), QStringLiteral("Device in use: Serial EEPROM / Atmel / AT24C01"));
    form->OpWriteExecute();
    EXPECT_EQ(form->WorkersStarted(), 2);
}

TEST_F(DeviceInUseTest, LanguageSwitchKeepsTheDeviceItsRangeAndItsData) {
    // One Time PROM reads ワンタイムPROM in Japanese: the lists follow the language.
    Select(QStringLiteral("One Time PROM"), QStringLiteral("Atmel"), QStringLiteral("AT27C256R"));
    form->J1Click();
    EXPECT_EQ(form->ComboBox1->currentText(), QStringLiteral("ワンタイムPROM"));
    EXPECT_TRUE(form->ListsShowDeviceInUse());
    form->E1Click();
    EXPECT_TRUE(form->ListsShowDeviceInUse());
    Select(QStringLiteral("Serial EEPROM"), QStringLiteral("Atmel"), QStringLiteral("AT24C01"));
    ASSERT_TRUE(form->DeviceSelected());
    form->ComboBox6->setEditText(QStringLiteral("10"));
    form->CommitLength();
    form->Buffer()[3] = 0x5A;
    const std::string checksum = form->Programmer().ChecksumText();
    form->J1Click();
    EXPECT_TRUE(form->DeviceSelected());
    EXPECT_EQ(form->Label8->text(), QStringLiteral("許容するエラーの数"));
    EXPECT_EQ(form->ComboBox1->currentText(), QStringLiteral("Serial EEPROM"));
    EXPECT_EQ(form->ComboBox2->currentText(), QStringLiteral("Atmel"));
    EXPECT_EQ(form->ComboBox3->currentText(), QStringLiteral("AT24C01"));
    EXPECT_TRUE(form->ListsShowDeviceInUse());
    EXPECT_EQ(DeviceStatus(), QStringLiteral("使用中のデバイス: Serial EEPROM / Atmel / AT24C01"));
    EXPECT_EQ(form->ComboBox6->currentText(), QStringLiteral("000010"));
    EXPECT_EQ(form->Buffer()[3], 0x5A);
    EXPECT_EQ(form->Programmer().ChecksumText(), checksum);
    // Operations go on without a new Select.
    form->OpWriteExecute();
    EXPECT_EQ(form->WorkersStarted(), 1);
}

TEST_F(DeviceInUseTest, OpenStartsFromTheBlankBufferAndMergeLaysOver) {
    Select(QStringLiteral("EPROM"), QStringLiteral("Intel"), QStringLiteral("27C256"));
    const QString big = WriteFilledHex("big.hex", 0x8000, 0x11);
    const QString small = WriteFilledHex("small.hex", 0x10, 0x22);
    prompter.fileNames = {big, small};
    form->FileOpen1Execute();
    ASSERT_EQ(form->Buffer()[0x7FFF], 0x11);
    form->FileOpen1Execute();
    EXPECT_EQ(form->Buffer()[0x0F], 0x22);
    EXPECT_EQ(form->Buffer()[0x10], 0xFF);
    EXPECT_EQ(form->Buffer()[0x7FFF], 0xFF);
    EXPECT_TRUE(LogHas(QStringLiteral("Read into the 27C256's blank buffer: addresses the file does not hold are "
                                      "blank (File > Merge lays a file over the buffer instead).")));

    // Merge keeps what the file does not hold, and says so.
    prompter.fileNames = {big, small};
    form->FileOpen1Execute();
    form->FileMergeItem->trigger();
    EXPECT_EQ(form->Buffer()[0x0F], 0x22);
    EXPECT_EQ(form->Buffer()[0x10], 0x11);
    EXPECT_TRUE(LogHas(QStringLiteral("%1 was laid over the buffer: addresses the file does not hold keep their "
                                      "earlier data.")
                           .arg(small)));

    // A refused file leaves the earlier data, not a blank buffer.
    prompter.fileNames = {WriteFile("bad.hex", ":0400100001020304E3\n:00000001FF\n")};
    form->FileOpen1Execute();
    EXPECT_EQ(form->Buffer()[0x10], 0x11);
}

TEST_F(DeviceInUseTest, FailedSaveNamesTheFileAndTheReason) {
    Select(QStringLiteral("EPROM"), QStringLiteral("Intel"), QStringLiteral("27C256"));
    prompter.fileNames = {Path("first.hex")};
    form->FileSaveAs1Execute();
    ASSERT_TRUE(form->StatusText().contains(Path("first.hex")));

    ASSERT_TRUE(QDir(Path("")).mkdir(QStringLiteral("locked")));
    QFile::setPermissions(Path("locked"), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    struct Case {
        QString file;
        const char* reason;
    };
    std::vector<Case> cases = {{Path("missing/out.hex"), "No such file or directory"}};
    // The superuser writes into any folder.
    if (geteuid() != 0) cases.push_back({Path("locked/out.hex"), "Permission denied"});
    for (const Case& c : cases) {
        prompter.fileNames = {c.file};
        form->FileSaveAs1Execute();
        const QString line = QStringLiteral("File \"%1\" was not saved: %2").arg(c.file, QString::fromLatin1(c.reason));
        EXPECT_EQ(prompter.asked.back().text, QStringLiteral("File create is failed.\n\n") + line);
        EXPECT_TRUE(LogHas(line)) << LogLines().join('\n').toStdString();
        EXPECT_EQ(form->StatusText(), line);
    }
    QFile::setPermissions(Path("locked"), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

TEST_F(DeviceInUseTest, NewAsksBeforeDiscardingAReadThatWasNotSaved) {
    Select(QStringLiteral("EPROM"), QStringLiteral("Intel"), QStringLiteral("27C256"));
    form->OpReadExecute();
    ASSERT_TRUE(form->Unsaved());
    form->Buffer()[0] = 0x12;
    prompter.answers.push_back(QMessageBox::No);
    form->FileNew1Execute();
    EXPECT_EQ(prompter.defaults.back(), QMessageBox::No);
    EXPECT_EQ(prompter.asked.back().text,
              QStringLiteral("The buffer holds data read from the chip that was not saved. Clear it?"));
    EXPECT_EQ(form->Buffer()[0], 0x12);
    // Saved, it is cleared without a question.
    prompter.fileNames = {Path("read.bin")};
    form->FileSaveAs1Execute();
    const size_t asked = prompter.asked.size();
    form->FileNew1Execute();
    EXPECT_EQ(prompter.asked.size(), asked);
    EXPECT_EQ(form->Buffer()[0], 0xFF);
}

// Each kind of file dialog comes back to the folder of its last file; the
// others keep theirs.
TEST_F(DeviceInUseTest, FileDialogsRememberTheirFolderPerKind) {
    const QString data = QStringLiteral("Intel HEX files(*.hex)");
    const QString logs = QStringLiteral("log (*.log *.txt)");
    EXPECT_EQ(FolderFor(data), QString());
    RememberFolder(data, Path("images/a.hex"));
    RememberFolder(logs, Path("logs/run.log"));
    RememberFolder(logs, QString());  // a cancelled dialog changes nothing
    EXPECT_EQ(FolderFor(data), QFileInfo(Path("images/a.hex")).absolutePath());
    EXPECT_EQ(FolderFor(logs), QFileInfo(Path("logs/run.log")).absolutePath());
}

}  // namespace
}  // namespace krt::test

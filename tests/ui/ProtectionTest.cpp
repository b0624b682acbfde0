// SPDX-License-Identifier: GPL-3.0-or-later
// The parallel EEPROM's software data protection from the window, and a
// simulated chip file changed by another program between two operations.
#include <QFile>
#include <QMenu>

#include "UiTestSupport.h"
#include "session/Session.h"
#include "sim/VirtualKrt.h"

namespace krt::test {
namespace {

class ProtectionTest : public StartedWindowTest {
protected:
    void SetLength(uint32_t n) {
        form->ComboBox6->setEditText(QString::asprintf("%06X", n));
        form->CommitLength();
    }
    int CountLines(const QString& prefix) {
        int n = 0;
        for (const QString& line : LogLines()) n += line.startsWith(prefix);
        return n;
    }
};

TEST_F(ProtectionTest, ProtectedChipStopsWithTheHintAndTheDeviceMenuTurnsItOff) {
    Select(QStringLiteral("EEPROM"), QStringLiteral("Atmel"), QStringLiteral("AT28C256"));
    ASSERT_TRUE(form->DeviceSelected());
    std::string error;
    ASSERT_TRUE(form->Simulator()->ApplyFault("sdp-locked", error)) << error;
    SetLength(0x1000);
    for (uint32_t i = 0; i < 0x1000; ++i) form->Buffer()[i] = static_cast<uint8_t>(i * 7 + 3);

    form->OpWriteExecute();
    // One page failed, then the write stopped; the box says how to go on.
    EXPECT_EQ(CountLines(QStringLiteral("Verify error")), 1) << LogLines().join('\n').toStdString();
    EXPECT_FALSE(LogHas(QStringLiteral("WRITE operation is successful")));
    ASSERT_FALSE(prompter.asked.empty());
    EXPECT_EQ(prompter.asked.back().kind, QStringLiteral("box"));
    EXPECT_TRUE(prompter.asked.back().text.contains(QStringLiteral("Device > Unprotect")))
        << prompter.asked.back().text.toStdString();
    // The log's hint names the window's command, not krt's.
    EXPECT_TRUE(LogLines().join('\n').contains(QStringLiteral("To turn the protection off: Device > Unprotect")))
        << LogLines().join('\n').toStdString();

    // Device > Unprotect, as the user reaches it: the menu item.
    ASSERT_TRUE(form->N2->actions().contains(form->SdpOff1));
    EXPECT_EQ(form->SdpOff1->text(), QStringLiteral("&Unprotect (data protection off)"));
    const int workers = form->WorkersStarted();
    form->SdpOff1->trigger();
    EXPECT_EQ(form->WorkersStarted(), workers + 1);
    EXPECT_EQ(prompter.Execs().back(), QStringLiteral("krt::TProgressForm"));
    EXPECT_TRUE(LogLines().join('\n').contains(QStringLiteral("Software data protection is off")))
        << LogLines().join('\n').toStdString();
    EXPECT_EQ(form->LastIndicator(), 2u);

    form->OpWriteExecute();
    EXPECT_TRUE(LogHas(QStringLiteral("WRITE operation is successful"))) << LogLines().join('\n').toStdString();

    // On again, the chip refuses plain writes once more.
    form->SdpOn1->trigger();
    EXPECT_TRUE(LogLines().join('\n').contains(QStringLiteral("Software data protection is on")));
}

TEST_F(ProtectionTest, OtherDevicesAreRefusedWithAReasonAndNothingRuns) {
    Select(QStringLiteral("EPROM"), QStringLiteral("Intel"), QStringLiteral("27C256"));
    ASSERT_TRUE(form->DeviceSelected());
    form->SdpOff1->trigger();
    ASSERT_FALSE(prompter.asked.empty());
    EXPECT_EQ(prompter.asked.back().text,
              QStringLiteral("Software data protection is a feature of parallel EEPROMs and page-mode 5V flash only: "
                             "select one of them first."));
    EXPECT_EQ(form->WorkersStarted(), 0);
}

TEST_F(ProtectionTest, ChipFileChangedOnDiskIsLoadedAgainBeforeTheNextOperation) {
    Select(QStringLiteral("EPROM"), QStringLiteral("Intel"), QStringLiteral("27C256"));
    ASSERT_TRUE(form->DeviceSelected());
    const QString chipFile =
        options.chipDir + QLatin1Char('/') + QString::fromStdString(Session::ChipFileName(form->Record()));
    ASSERT_TRUE(QFile::exists(chipFile));
    // The blank chip's file, as another program would leave it.
    ASSERT_TRUE(QFile::copy(chipFile, Path("blank.chip")));

    SetLength(0x100);
    for (uint32_t i = 0; i < 0x100; ++i) form->Buffer()[i] = static_cast<uint8_t>(i ^ 0x5A);
    form->OpWriteExecute();
    ASSERT_TRUE(LogHas(QStringLiteral("WRITE operation is successful")));

    // Another program (krt, or a copy) replaces the chip file.
    Settle(20);
    ASSERT_TRUE(QFile::remove(chipFile));
    ASSERT_TRUE(QFile::copy(Path("blank.chip"), chipFile));
    form->OpBlankExecute();
    EXPECT_TRUE(LogHas(QStringLiteral("This device is BLANK"))) << LogLines().join('\n').toStdString();
    EXPECT_TRUE(LogLines().join('\n').contains(QStringLiteral("changed on disk")));

    // Unchanged since, it is not loaded again.
    form->OpBlankExecute();
    EXPECT_FALSE(LogLines().join('\n').contains(QStringLiteral("changed on disk")));
}

}  // namespace
}  // namespace krt::test

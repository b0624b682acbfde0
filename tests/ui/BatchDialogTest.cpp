// SPDX-License-Identifier: GPL-3.0-or-later
// The Batch dialog as the user drives it, on the simulated programmer.
#include <QCheckBox>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>

#include "TBatchForm.h"
#include "UiTestSupport.h"
#include "sim/ChipFile.h"

namespace krt::test {
namespace {

class BatchDialogTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        WriteValidSettings();
        Start();
        Select(QStringLiteral("EPROM"), QStringLiteral("Intel"), QStringLiteral("27C64"));
        ASSERT_TRUE(form->DeviceSelected());
        for (uint32_t i = 0; i < 0x2000; ++i) form->Buffer()[i] = static_cast<uint8_t>(i * 7 + 3);
        for (uint32_t i = 0x10; i < 0x14; ++i) form->Buffer()[i] = 0xFF;  // the serial's place
    }

    // The settings as a user types them, then Start.
    void Fill(TBatchForm& dialog, int count) {
        dialog.CountSpin->setValue(count);
        QTest::mouseClick(dialog.SerialCheck, Qt::LeftButton);
        dialog.AddressEdit->setText(QStringLiteral("10"));
        dialog.StartEdit->setText(QStringLiteral("500"));
        dialog.LogEdit->setText(Path("batch.log"));
        dialog.ChipDirEdit->setText(Path("batch-chips"));
    }

    QStringList LogFile() {
        QFile file(Path("batch.log"));
        if (!file.open(QIODevice::ReadOnly)) return {};
        return QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    std::vector<uint8_t> Cells(int index) {
        ChipImage image;
        std::string error;
        const QString name = QStringLiteral("batch-chips/chip-%1.chip").arg(index, 4, 10, QLatin1Char('0'));
        EXPECT_TRUE(ReadChipImage(Path(name.toLatin1().constData()).toStdString(), image, error)) << error;
        return image.blobs["cells"];
    }
};

TEST_F(BatchDialogTest, ThreeChipsWithSerialsAndARunningCount) {
    QString count, serial, result;
    prompter.onExec = [&](QDialog& d) {
        auto* dialog = qobject_cast<TBatchForm*>(&d);
        EXPECT_NE(dialog, nullptr);
        if (!dialog) return int(QDialog::Rejected);
        Fill(*dialog, 3);
        QTest::mouseClick(dialog->StartButton, Qt::LeftButton);
        count = dialog->CountLabel->text();
        serial = dialog->SerialLabel->text();
        result = dialog->ResultLabel->text();
        EXPECT_TRUE(dialog->StartButton->isEnabled());
        EXPECT_FALSE(dialog->StopButton->isEnabled());
        return int(QDialog::Accepted);
    };
    form->BatchClick();
    EXPECT_EQ(prompter.Count(QStringLiteral("box")), 0) << (prompter.asked.empty() ? std::string() : prompter.asked.back().text.toStdString());
    EXPECT_EQ(count, QStringLiteral("3 done, 0 failed"));
    EXPECT_EQ(serial, QStringLiteral("Last serial: 502"));
    EXPECT_TRUE(result.startsWith(QStringLiteral("Last result: "))) << result.toStdString();

    const QStringList lines = LogFile();
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines[2].contains(QStringLiteral("\"index\":3,"))) << lines[2].toStdString();
    EXPECT_TRUE(lines[2].contains(QStringLiteral("\"serial\":\"502\""))) << lines[2].toStdString();
    for (int i = 1; i <= 3; ++i) {
        const std::vector<uint8_t> cells = Cells(i);
        ASSERT_EQ(cells.size(), 0x2000u);
        const uint32_t value = 500 + static_cast<uint32_t>(i) - 1;
        EXPECT_EQ(cells[0x10], static_cast<uint8_t>(value)) << i;
        EXPECT_EQ(cells[0x11], static_cast<uint8_t>(value >> 8)) << i;
        EXPECT_EQ(cells[0x20], static_cast<uint8_t>(0x20 * 7 + 3)) << i;
    }
    // The window's image keeps the serial's place blank.
    EXPECT_EQ(form->Buffer()[0x10], 0xFF);
}

TEST_F(BatchDialogTest, StopEndsTheBatchAfterTheRunningChip) {
    prompter.onExec = [&](QDialog& d) {
        auto* dialog = qobject_cast<TBatchForm*>(&d);
        if (!dialog) return int(QDialog::Rejected);
        Fill(*dialog, 5);
        // Stop once the first chip is counted.
        QTimer poll;
        poll.setInterval(1);
        QObject::connect(&poll, &QTimer::timeout, [dialog] {
            if (dialog->CountLabel->text().startsWith(QStringLiteral("1 ")))
                QTest::mouseClick(dialog->StopButton, Qt::LeftButton);
        });
        poll.start();
        QTest::mouseClick(dialog->StartButton, Qt::LeftButton);
        return int(QDialog::Accepted);
    };
    form->BatchClick();
    const QStringList lines = LogFile();
    EXPECT_GE(lines.size(), 1);
    EXPECT_LT(lines.size(), 5);
}

TEST_F(BatchDialogTest, SimulatorNeedsACountAndDataUnderTheSerialIsRefused) {
    prompter.onExec = [&](QDialog& d) {
        auto* dialog = qobject_cast<TBatchForm*>(&d);
        if (!dialog) return int(QDialog::Rejected);
        Fill(*dialog, 0);
        QTest::mouseClick(dialog->StartButton, Qt::LeftButton);
        dialog->CountSpin->setValue(2);
        dialog->AddressEdit->setText(QStringLiteral("20"));
        QTest::mouseClick(dialog->StartButton, Qt::LeftButton);
        return int(QDialog::Accepted);
    };
    form->BatchClick();
    EXPECT_EQ(prompter.Count(QStringLiteral("box")), 2);
    // The refusal names this dialog's check box, not krt's option.
    EXPECT_TRUE(prompter.asked.back().text.endsWith(
        QStringLiteral("or tick \"Let the serial overwrite file data\" to overwrite it")))
        << prompter.asked.back().text.toStdString();
    EXPECT_TRUE(LogFile().isEmpty());
}

// A second batch that starts at serials the log shows as used asks first
// (No is the default and keeps them); the log file can be browsed for, and
// each encoding says what it writes.
TEST_F(BatchDialogTest, UsedSerialsAreNotWrittenAgainWithoutAsking) {
    int runs = 0;
    prompter.onExec = [&](QDialog& d) {
        auto* dialog = qobject_cast<TBatchForm*>(&d);
        if (!dialog) return int(QDialog::Rejected);
        Fill(*dialog, 2);
        if (runs++ == 0) {
            prompter.fileNames.push_back(Path("batch.log"));
            dialog->LogEdit->clear();
            QTest::mouseClick(dialog->LogBrowse, Qt::LeftButton);
            EXPECT_EQ(dialog->LogEdit->text(), Path("batch.log"));
            EXPECT_TRUE(dialog->EncodingBox->itemData(2, Qt::ToolTipRole).toString().startsWith(QStringLiteral("bcd: ")));
        }
        QTest::mouseClick(dialog->StartButton, Qt::LeftButton);
        return int(QDialog::Accepted);
    };
    form->BatchClick();
    ASSERT_EQ(LogFile().size(), 2);
    prompter.answers.push_back(QMessageBox::No);
    form->BatchClick();
    ASSERT_EQ(prompter.defaults, std::vector<QMessageBox::StandardButton>{QMessageBox::No});
    EXPECT_EQ(prompter.asked.back().text,
              QStringLiteral("The log shows the serials up to 501 as used: starting at 500 writes used serials again. "
                             "Start anyway?"));
    EXPECT_EQ(LogFile().size(), 2);
}

}  // namespace
}  // namespace krt::test

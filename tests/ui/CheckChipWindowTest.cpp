// SPDX-License-Identifier: GPL-3.0-or-later
// Device > Check chip: the findings in the log and in a box, the chip's
// content kept in the data folder and written back.
#include <QMenu>

#include <cstdlib>
#include <filesystem>

#include "UiTestSupport.h"
#include "sim/VirtualKrt.h"

namespace krt::test {
namespace {

class CheckChipWindowTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        ASSERT_TRUE(data_.isValid());
        setenv("XDG_DATA_HOME", data_.path().toLocal8Bit().constData(), 1);
        WriteValidSettings();
        Start();
        form->Simulator()->SetStrict(true);
    }
    void TearDown() override {
        unsetenv("XDG_DATA_HOME");
        if (form && form->Simulator())
            for (const std::string& line : form->Simulator()->BreachLines()) ADD_FAILURE() << line;
        WindowTest::TearDown();
    }
    QTemporaryDir data_;
};

TEST_F(CheckChipWindowTest, FindsASmallerChipAndWritesTheContentBack) {
    Select(QStringLiteral("EEPROM"), QStringLiteral("Atmel"), QStringLiteral("AT28C256"));
    ASSERT_TRUE(form->DeviceSelected());
    std::string error;
    ASSERT_TRUE(form->Simulator()->ApplyFault("aliased:13", error)) << error;
    ASSERT_TRUE(form->N2->actions().contains(form->CheckChip1));
    form->CheckChip1->trigger();
    const QString log = LogLines().join('\n');
    EXPECT_TRUE(log.contains(QStringLiteral("failed   capacity: the chip answers as 8 KB: A13, A14 change nothing")))
        << log.toStdString();
    EXPECT_TRUE(log.contains(QStringLiteral("written back and verified"))) << log.toStdString();
    ASSERT_FALSE(prompter.asked.empty());
    EXPECT_EQ(prompter.asked.back().caption, QStringLiteral("Check chip"));
    EXPECT_TRUE(prompter.asked.back().text.contains(QStringLiteral("8 KB")));
    EXPECT_TRUE(std::filesystem::exists(data_.path().toStdString() + "/krtwin/AT28C256-before-check.bin"));
}

}  // namespace
}  // namespace krt::test

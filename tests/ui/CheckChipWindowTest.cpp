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

struct WindowCheckCase {
    const char* type;   // the Type box's item
    const char* maker;
    const char* name;
    const char* finding;  // the log line of the fake's finding
    const char* shown;    // a piece of the box's text
    bool kept;            // whether the chip's content is kept (a RAM has none)
};

class CheckChipWindowTest : public WindowTest, public ::testing::WithParamInterface<WindowCheckCase> {
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

TEST_P(CheckChipWindowTest, FindsASmallerChipAndLeavesItsContent) {
    const WindowCheckCase& c = GetParam();
    Select(QString::fromUtf8(c.type), QString::fromUtf8(c.maker), QString::fromUtf8(c.name));
    ASSERT_TRUE(form->DeviceSelected());
    std::string error;
    ASSERT_TRUE(form->Simulator()->ApplyFault("aliased:13", error)) << error;
    ASSERT_TRUE(form->N2->actions().contains(form->CheckChip1));
    form->CheckChip1->trigger();
    const QString log = LogLines().join('\n');
    EXPECT_TRUE(log.contains(QString::fromUtf8(c.finding))) << log.toStdString();
    if (c.kept) {
        EXPECT_TRUE(log.contains(QStringLiteral("written back and verified"))) << log.toStdString();
    }
    ASSERT_FALSE(prompter.asked.empty());
    EXPECT_EQ(prompter.asked.back().caption, QStringLiteral("Check chip"));
    EXPECT_TRUE(prompter.asked.back().text.contains(QString::fromUtf8(c.shown))) << prompter.asked.back().text.toStdString();
    const std::string keptFile = data_.path().toStdString() + "/krtwin/" + c.name + "-before-check.bin";
    EXPECT_EQ(std::filesystem::exists(keptFile), c.kept);
}

INSTANTIATE_TEST_SUITE_P(
    Devices, CheckChipWindowTest,
    ::testing::Values(WindowCheckCase{"EEPROM", "Atmel", "AT28C256",
                                      "failed   capacity: the chip answers as 8 KB: A13, A14 change nothing", "8 KB",
                                      true},
                      // The static RAMs have a Type item of their own.
                      WindowCheckCase{"Static RAM", "Generic", "62256", "failed   march: ", "may answer as 8 KB",
                                      false}),
    [](const ::testing::TestParamInfo<WindowCheckCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace krt::test

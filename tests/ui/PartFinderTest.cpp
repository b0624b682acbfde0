// SPDX-License-Identifier: GPL-3.0-or-later
// The Number box takes a number of another type or maker, or the one
// printed on a chip, and moves the boxes to the entry to use.
#include "UiTestSupport.h"

namespace krt::test {
namespace {

class PartFinderTest : public StartedWindowTest {};

TEST_F(PartFinderTest, APrintedNumberSelectsItsEntry) {
    Choose(QStringLiteral("EPROM"), QStringLiteral("Intel"), QStringLiteral("27C256"));
    form->ComboBox3->setEditText(QStringLiteral("AM29F002NBT-90JC"));
    form->Button1Click();
    ASSERT_TRUE(form->DeviceSelected());
    EXPECT_EQ(form->Record().name, "AM29F002NBT");
    EXPECT_EQ(form->ComboBox2->currentText(), QStringLiteral("AMD"));
    EXPECT_TRUE(LogHas(QStringLiteral("\"AM29F002NBT-90JC\" is marked part number AM29F002NBT: use FLASH5V AMD AM29F002NBT")));
}

}  // namespace
}  // namespace krt::test

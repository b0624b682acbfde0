// SPDX-License-Identifier: GPL-3.0-or-later
// The 5 V flash parts from the window on the simulated programmer in
// strict mode: a whole 128 KB image written and read back through the type
// box's own item, the Device menu's protection commands on them, and
// Device > Identify's three answers.
#include <QMenu>

#include "UiTestSupport.h"
#include "sim/VirtualKrt.h"

namespace krt::test {
namespace {

class Flash5vWindowTest : public WindowTest {
protected:
    void SetUp() override {
        WindowTest::SetUp();
        WriteValidSettings();
        Start();
        form->Simulator()->SetStrict(true);
    }
    void TearDown() override {
        if (form && form->Simulator())
            for (const std::string& line : form->Simulator()->BreachLines()) ADD_FAILURE() << line;
        WindowTest::TearDown();
    }
    QString Log() { return LogLines().join('\n'); }
};

struct RoundTripCase {
    const char* maker;
    const char* name;
    // The Device menu's Unprotect / Protect: the family's line for each
    // (a byte-program part has no separate protection to switch).
    const char* unprotectLine;
    const char* protectLine;
};

class Flash5vRoundTrip : public Flash5vWindowTest, public ::testing::WithParamInterface<RoundTripCase> {};

TEST_P(Flash5vRoundTrip, WholeImageWrittenAndReadBackEqual) {
    const RoundTripCase& c = GetParam();
    const QString maker = QString::fromLatin1(c.maker), name = QString::fromLatin1(c.name);
    Select(QStringLiteral("5V FLASHROM"), maker, name);
    ASSERT_TRUE(form->DeviceSelected()) << Log().toStdString();
    EXPECT_EQ(form->Record().type, "FLASH5V");
    ASSERT_EQ(form->Range().length, "020000");
    const auto image = [](size_t i) { return static_cast<uint8_t>(i * 131 + (i >> 9)); };
    for (size_t i = 0; i < 0x20000; ++i) form->Buffer()[i] = image(i);

    form->OpWriteExecute();
    ASSERT_TRUE(LogHas(QStringLiteral("WRITE operation is successful"))) << Log().toStdString();

    // Selected again: a blank buffer, then the chip's contents read into it.
    Select(QStringLiteral("5V FLASHROM"), maker, name);
    ASSERT_TRUE(form->DeviceSelected());
    EXPECT_EQ(form->Buffer()[0], 0xFF);
    form->OpReadExecute();
    size_t differ = 0;
    for (size_t i = 0; i < 0x20000; ++i) differ += form->Buffer()[i] != image(i);
    EXPECT_EQ(differ, 0u) << Log().toStdString();

    form->SdpOff1->trigger();
    EXPECT_TRUE(Log().contains(QString::fromLatin1(c.unprotectLine))) << Log().toStdString();
    form->SdpOn1->trigger();
    EXPECT_TRUE(Log().contains(QString::fromLatin1(c.protectLine))) << Log().toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Parts, Flash5vRoundTrip,
    ::testing::Values(
        RoundTripCase{"SST", "SST39SF010A", "This part is not page-mode flash", "This part is not page-mode flash"},
        RoundTripCase{"Atmel", "AT29C010A", "Software data protection is off", "Software data protection is on"}),
    [](const auto& info) { return std::string(info.param.name); });

struct IdentifyCase {
    const char* label;
    const char* maker;  // nullptr: nothing selected, the socket empty
    const char* name;
    const char* fault;
    const char* line;
    uint32_t indicator;  // 2 after success (a chip answered), 1 after a failure
    int probes = 1;  // 2: no chip answers and the user takes the offer of the six-cycle entry
};

class Flash5vIdentify : public Flash5vWindowTest, public ::testing::WithParamInterface<IdentifyCase> {};

TEST_P(Flash5vIdentify, DeviceIdentifyLogsAndShowsTheAnswer) {
    const IdentifyCase& c = GetParam();
    if (c.maker) {
        Select(QStringLiteral("5V FLASHROM"), QString::fromLatin1(c.maker), QString::fromLatin1(c.name));
        ASSERT_TRUE(form->DeviceSelected());
    }
    if (c.fault) {
        std::string error;
        ASSERT_TRUE(form->Simulator()->ApplyFault(c.fault, error)) << error;
    }
    // As the user reaches it: the Device menu's item.
    ASSERT_TRUE(form->N2->actions().contains(form->Identify1));
    const int workers = form->WorkersStarted();
    prompter.answers = {c.probes == 2 ? QMessageBox::Yes : QMessageBox::No};
    form->Identify1->trigger();
    EXPECT_EQ(form->WorkersStarted(), workers + c.probes);
    const QString line = QString::fromLatin1(c.line);
    EXPECT_EQ(LogLines().filter(line).size(), c.probes) << Log().toStdString();
    ASSERT_FALSE(prompter.asked.empty());
    EXPECT_EQ(prompter.asked.back().kind, QStringLiteral("box"));
    EXPECT_TRUE(prompter.asked.back().text.startsWith(line)) << prompter.asked.back().text.toStdString();
    EXPECT_EQ(prompter.asked.back().caption, QStringLiteral("Identify (read the chip's product ID)"));
    EXPECT_EQ(form->LastIndicator(), c.indicator);
}

constexpr const char* kNoChip =
    "No chip answered the flash product ID command (addresses 0 and 1 read their data FF FF)";

INSTANTIATE_TEST_SUITE_P(
    Answers, Flash5vIdentify,
    ::testing::Values(
        IdentifyCase{"SST39SF010A", "SST", "SST39SF010A", nullptr, "BF B5: 5V FLASHROM SST SST39SF010A", 2},
        IdentifyCase{"AM29F040BFault", "AMD", "AM29F040B", "other-device",
                     "01 A5: no device of the catalogue has this identifier", 2},
        IdentifyCase{"EmptySocket", nullptr, nullptr, nullptr, kNoChip, 1},
        IdentifyCase{"EmptySocketBothEntries", nullptr, nullptr, nullptr, kNoChip, 1, 2},
        // A selected part that takes only the six-cycle entry is probed with it alone.
        IdentifyCase{"W29EE011", "Winbond", "W29EE011", nullptr, "DA C1: 5V FLASHROM Winbond W29EE011", 2}),
    [](const auto& info) { return std::string(info.param.label); });

}  // namespace
}  // namespace krt::test

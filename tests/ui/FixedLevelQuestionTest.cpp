// SPDX-License-Identifier: GPL-3.0-or-later
// An ATF part on a programmer with fixed programming levels only would get
// 12.5 V: every command that programs or erases it asks first, after the
// command's own question, with No the default; No starts nothing and puts
// no programming voltage on the socket.
#include "UiTestSupport.h"
#include "sim/VirtualKrt.h"

namespace krt::test {
namespace {

constexpr uint8_t kFixedLevelsRevision = 0x10;

class FixedLevelQuestionTest : public StartedWindowTest {
protected:
    // The programmer found again as one with the fixed levels only.
    void UseFixedLevels() {
        form->Simulator()->SetRevisions(kFixedLevelsRevision, VirtualKrt::kDefaultKrt2Revision);
        form->HardResetExecute();
        ASSERT_TRUE(form->Link().FixedSupplyLevels());
    }
    void SelectAtf(const char* name) {
        Select(QStringLiteral("PLD"), QStringLiteral("Atmel"), QString::fromLatin1(name));
        ASSERT_TRUE(form->DeviceSelected());
    }
};

struct Command {
    const char* name;
    void (TQV17MainForm::*run)();
};
const Command kCommands[] = {
    {"write", &TQV17MainForm::OpWriteExecute},
    {"erase", &TQV17MainForm::OpEraseExecute},
    {"secure", &TQV17MainForm::OpSecureExecute},
    {"automatic write", &TQV17MainForm::OpAutoExecute},
};

TEST_F(FixedLevelQuestionTest, EveryProgrammingCommandAsksWithNoTheDefaultAndNoStartsNothing) {
    UseFixedLevels();
    SelectAtf("ATF16V8B");
    const double vppBefore = form->Simulator()->HighestVpp();
    for (const Command& c : kCommands) {
        SCOPED_TRACE(c.name);
        prompter.asked.clear();
        prompter.defaults.clear();
        prompter.answers = {QMessageBox::Ok, QMessageBox::No};
        (form.get()->*c.run)();
        ASSERT_EQ(prompter.asked.size(), 2u);
        const Asked& question = prompter.asked[1];
        EXPECT_EQ(question.text,
                  QStringLiteral("This programmer has fixed programming levels only: the ATF16V8B would get 12.5 V, "
                                 "under the chip's 14.0 V maximum but above the 10.5-12 V its programmers use"
                                 "\n\nGo on at 12.5 V?"));
        // Under the caption of the command's own question.
        EXPECT_EQ(question.caption, prompter.asked[0].caption);
        EXPECT_EQ(prompter.defaults, std::vector<QMessageBox::StandardButton>{QMessageBox::No});
        EXPECT_EQ(form->WorkersStarted(), 0);
        EXPECT_EQ(form->Simulator()->HighestVpp(), vppBefore);
    }
}

// Yes goes on at the fixed level; a programmer that can set the chip's own
// level, or a part that is not an ATF, is not asked.
TEST_F(FixedLevelQuestionTest, YesGoesOnAndOtherCasesAreNotAsked) {
    struct Case {
        const char* maker;
        const char* name;
        bool fixedLevels;
        bool asked;
    };
    const Case cases[] = {
        {"Atmel", "ATF22V10C", true, true},
        {"Atmel", "ATF22V10C", false, false},
        {"Lattice", "GAL16V8", true, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.name) + (c.fixedLevels ? " fixed levels" : " levels set"));
        form->Simulator()->SetRevisions(c.fixedLevels ? kFixedLevelsRevision : VirtualKrt::kDefaultKrt1Revision,
                                        VirtualKrt::kDefaultKrt2Revision);
        form->HardResetExecute();
        Select(QStringLiteral("PLD"), QString::fromLatin1(c.maker), QString::fromLatin1(c.name));
        ASSERT_TRUE(form->DeviceSelected());
        prompter.asked.clear();
        prompter.answers = {QMessageBox::Ok, QMessageBox::Yes};
        const int workers = form->WorkersStarted();
        form->OpWriteExecute();
        ASSERT_FALSE(prompter.asked.empty());
        EXPECT_FALSE(prompter.asked[0].text.contains(QStringLiteral("Go on at 12.5 V?")));
        EXPECT_EQ(prompter.asked.size() > 1 && prompter.asked[1].text.endsWith(QStringLiteral("Go on at 12.5 V?")),
                  c.asked);
        EXPECT_EQ(form->WorkersStarted(), workers + 1);
        EXPECT_TRUE(LogHas(QStringLiteral("WRITE operation is successful"))) << LogLines().join('\n').toStdString();
        // The first case: the fixed level is what the chip got.
        if (c.asked) {
            EXPECT_NEAR(form->Simulator()->HighestVpp(), 12.5, 0.3);
        }
    }
}

}  // namespace
}  // namespace krt::test

// SPDX-License-Identifier: GPL-3.0-or-later
// The Project menu: a project saved in the window runs with krt as the
// full command line does, a project written outside the window opens in
// it, and a bad project file changes nothing.
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QTest>
#include <string>
#include <tuple>

#include "TQV17MainForm.h"
#include "TWConfigForm.h"
#include "UiTestSupport.h"
#include "session/Project.h"
#include "session/Session.h"
#include "support/CliCommandTest.h"
#include "support/KrtProcess.h"

namespace krt::test {
namespace {

class ProjectWindow : public StartedWindowTest {
protected:
    void SetUp() override {
        StartedWindowTest::SetUp();
        ShowAndSettle();
    }
    void Write(const char* name, const std::string& bytes) { Spit(S(name), bytes); }
    std::string S(const char* name) const { return Path(name).toStdString(); }
    // A project of the 28C64 with fw.bin, first four bytes.
    Project Eeprom() {
        Project p;
        p.job.type = "EEPROM";
        p.job.maker = "Atmel";
        p.job.name = "AT28C64";
        p.job.file = S("fw.bin");
        p.job.start = "0";
        p.job.length = "4";
        return p;
    }
};

TEST_F(ProjectWindow, SavedInTheWindowRunsWithKrtAsTheFullCommand) {
    Write("fw.bin", "hello world");
    Select(QStringLiteral("EEPROM"), QStringLiteral("Atmel"), QStringLiteral("AT28C64"));
    ASSERT_TRUE(form->DeviceSelected());
    form->ReadDataFile(Path("fw.bin"));
    form->ComboBox6->setEditText(QStringLiteral("4"));
    form->CommitLength();
    prompter.fileNames = {Path("p.krtproj")};
    form->SaveAs1->trigger();
    EXPECT_EQ(form->ProjectPath(), Path("p.krtproj"));

    QFile saved(Path("p.krtproj"));
    EXPECT_TRUE(saved.open(QIODevice::ReadOnly) && saved.readAll().contains("\"fw.bin\""));  // relative to it
    Project p;
    std::string error;
    ASSERT_TRUE(LoadProject(S("p.krtproj"), p, error)) << error;
    EXPECT_EQ(p.job.name, "AT28C64");
    EXPECT_EQ(p.job.file, S("fw.bin"));

    std::string out, err, fullOut;
    EXPECT_EQ(RunCliCaptured({"--port", "sim", "--sim-chip", S("a.chip"), "--project", S("p.krtproj"), "write"}, out,
                             err), 0) << err;
    EXPECT_EQ(RunCliCaptured({"--port", "sim", "--sim-chip", S("b.chip"), "--length", "4", "write", "EEPROM", "Atmel",
                              "AT28C64", S("fw.bin")}, fullOut, err), 0) << err;
    EXPECT_EQ(out, fullOut);
    // Save again: no question, the same file.
    const int asked = prompter.Count("save");
    form->Save1->trigger();
    EXPECT_EQ(prompter.Count("save"), asked);
}

TEST_F(ProjectWindow, WrittenOutsideTheWindowOpensDeviceFileAndRange) {
    Write("fw.bin", std::string("\x12\x34\x56\x78\x9A", 5));
    Project p = Eeprom();
    p.job.start = "1";
    p.job.length = "3";
    p.job.overrides.verify = false;
    p.job.overrides.changedOnly = true;
    p.job.overrides.waitMode = 0;
    std::string error;
    ASSERT_TRUE(SaveProject(S("p.krtproj"), p, error)) << error;
    prompter.fileNames = {Path("p.krtproj")};
    // The parameter editor shows the project's settings as it opens.
    bool verifyShown = true, changedOnlyShown = false;
    prompter.onExec = [&](QDialog& d) {
        auto* editor = qobject_cast<TWConfigForm*>(&d);
        if (editor) verifyShown = editor->CheckVerify->isChecked(), changedOnlyShown = editor->CheckChangedOnly->isChecked();
        return int(QDialog::Accepted);
    };
    form->Open1->trigger();
    prompter.onExec = nullptr;
    ASSERT_TRUE(form->DeviceSelected());
    EXPECT_FALSE(verifyShown);
    EXPECT_TRUE(changedOnlyShown);
    // Every override is in the record the window runs, and saved back as it came.
    EXPECT_EQ(std::tie(form->Record().verify, form->Record().changedonly, form->Record().waitmode),
              std::make_tuple(0, 1, 0));
    EXPECT_TRUE(form->DeviceInUse().contains(QStringLiteral("AT28C64")));
    EXPECT_EQ(form->Programmer().buffer[1], 0x34);
    EXPECT_EQ(form->Programmer().range.length, form->ComboBox6->currentText().toStdString());
    EXPECT_EQ(std::stoul(form->Programmer().range.start, nullptr, 16), 1u);
    EXPECT_EQ(std::stoul(form->Programmer().range.length, nullptr, 16), 3u);
    EXPECT_EQ(form->ProjectPath(), Path("p.krtproj"));
    EXPECT_EQ(prompter.Count("box"), 0);
    prompter.fileNames = {Path("q")};  // typed without the extension
    form->SaveAs1->trigger();
    EXPECT_EQ(form->ProjectPath(), Path("q.krtproj"));
    Project back;
    ASSERT_TRUE(LoadProject(S("q.krtproj"), back, error)) << error;
    const auto& o = back.job.overrides;
    EXPECT_EQ(std::tie(o.verify, o.changedOnly, o.idCheck, o.pageWrite, o.byteWrite, o.waitMode),
              std::make_tuple(false, true, true, false, false, 0));
}

TEST_F(ProjectWindow, ABadProjectSaysWhyAndChangesNothing) {
    const struct {
        const char *what, *text;  // the file as written (nullptr: a project of Eeprom() naming device)
        const char* device;
        bool changedData;         // the data file changed after saving
        QString boxHas;
    } cases[] = {
        // The session's refusals (their reasons are its own tests') reach the box: one stands for all.
        {"not ours", R"({"kind": "something-else", "version": 1})", nullptr, false,
         QStringLiteral("not a project file of this program")},
        {"device not listed", nullptr, "NO-SUCH-28C", false, QStringLiteral("NO-SUCH-28C")},
        {"data file changed, answered No", nullptr, "AT28C64", true, QStringLiteral("changed")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        Write("fw.bin", "hello");
        if (!c.text) {
            Project p = Eeprom();
            p.job.name = c.device;
            std::string error;
            ASSERT_TRUE(SaveProject(S("p.krtproj"), p, error)) << error;
            if (c.changedData) Write("fw.bin", "hellO");
        } else {
            Write("p.krtproj", c.text);
        }
        prompter.asked.clear();
        prompter.answers = {QMessageBox::No};
        prompter.fileNames = {Path("p.krtproj")};
        form->Open1->trigger();
        ASSERT_EQ(prompter.Count("box"), 1);
        EXPECT_TRUE(prompter.asked.back().text.contains(c.boxHas)) << prompter.asked.back().text.toStdString();
        EXPECT_FALSE(form->DeviceSelected());
        EXPECT_EQ(prompter.Count("exec"), 0);  // no device was loaded
        EXPECT_TRUE(form->ProjectPath().isEmpty());
    }
}

TEST_F(ProjectWindow, TheLastSessionIsKeptAsTheTemporaryProject) {
    Write("fw.bin", "hello world");
    Select(QStringLiteral("EEPROM"), QStringLiteral("Atmel"), QStringLiteral("AT28C64"));
    form->ReadDataFile(Path("fw.bin"));
    form->close();
    form.reset();
    Start();
    ShowAndSettle();
    EXPECT_FALSE(form->DeviceSelected());
    form->N15->trigger();
    ASSERT_TRUE(form->DeviceSelected());
    EXPECT_EQ(form->Programmer().buffer[0], 'h');
    EXPECT_TRUE(form->ProjectPath().isEmpty());  // Save asks for a name
}

}  // namespace
}  // namespace krt::test

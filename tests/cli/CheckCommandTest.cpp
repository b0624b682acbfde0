// SPDX-License-Identifier: GPL-3.0-or-later
// krt check killed in the middle: the chip's content is in the kept file,
// the restore line was printed before anything was written, and that line
// puts the content back.
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "support/KrtProcess.h"

namespace krt {
namespace {

namespace fs = std::filesystem;

class CheckCommand : public test::KrtDirTest {
protected:
    CheckCommand() : KrtDirTest("krt-check", KRT_CLI_PATH) {}
};

TEST_F(CheckCommand, KilledInTheMiddleLeavesTheKeptFileThatRestoresTheChip) {
    const std::vector<std::string> sim = {"--port", "sim", "--sim-strict", "--sim-chip", Path("c.chip")};
    const std::vector<std::string> part = {"EEPROM", "Atmel", "AT28C256"};
    std::string image(0x8000, '\0');
    for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<char>(i * 37 + (i >> 8));
    test::Spit(Path("in.bin"), image);
    ASSERT_EQ(Krt(test::Args({sim, {"write"}, part, {Path("in.bin")}})).status, 0);

    const test::Start check{test::Args({sim, {"--keep", Path("kept.bin"), "check"}, part})};
    const pid_t pid = Launch(check, "c");
    // Killed once the content is kept and the line that restores it said,
    // while the marks are being written.
    const std::string restore = "krt write EEPROM Atmel AT28C256 " + Path("kept.bin");
    const auto kept = [&] {
        return fs::exists(Path("kept.bin")) && fs::file_size(Path("kept.bin")) == image.size() &&
               test::Slurp(Path(check.output)).find(restore) != std::string::npos;
    };
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!kept() && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    kill(pid, SIGKILL);
    const test::KrtRun killed = Wait(pid, check, "c");
    EXPECT_EQ(killed.status, -1) << "the check ended before it was killed";
    EXPECT_TRUE(test::Slurp(Path("kept.bin")) == image);
    EXPECT_NE(killed.out.find(restore), std::string::npos) << killed.out;

    ASSERT_EQ(Krt(test::Args({sim, {"write"}, part, {Path("kept.bin")}})).status, 0);
    ASSERT_EQ(Krt(test::Args({sim, {"read"}, part, {Path("out.bin")}})).status, 0);
    EXPECT_TRUE(test::Slurp(Path("out.bin")) == image);
}

}  // namespace
}  // namespace krt

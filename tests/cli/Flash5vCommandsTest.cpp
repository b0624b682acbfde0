// SPDX-License-Identifier: GPL-3.0-or-later
// The 5 V flash parts through krt on the simulated programmer in strict
// mode: a whole 128 KB image of a byte-program and of a page-mode part
// written and read back in separate runs, and krt identify's three answers.
#include <fstream>

#include "support/CliCommandTest.h"

namespace krt::test {
namespace {

class Flash5vCommands : public CliCommandTest {
protected:
    Flash5vCommands() : CliCommandTest("krt-flash5v") {}
    void SetUp() override {
        CliCommandTest::SetUp();
        RegisterIdentifyCommands(table);
    }
    CliSession& Strict(const std::string& chip, std::vector<std::string> faults = {}) {
        CliSession& s = NewSession(chip);
        s.options.simStrict = true;
        s.options.simFaults = std::move(faults);
        return s;
    }
    int Run(const std::string& name, const std::vector<std::string>& args) {
        const int status = Execute(name, args);
        EXPECT_FALSE(Sim() && Sim()->HasBreaches()) << name;
        return status;
    }
};

TEST_F(Flash5vCommands, WholeImageRoundTripsInSeparateRuns) {
    for (std::vector<std::string> part : {std::vector<std::string>{"FLASH5V", "SST", "SST39SF010A"},
                                          std::vector<std::string>{"FLASH5V", "Atmel", "AT29C010A"}}) {
        SCOPED_TRACE(part[2]);
        const std::string chip = part[2] + ".chip";
        std::string image(0x20000, '\0');
        for (size_t i = 0; i < image.size(); ++i) image[i] = static_cast<char>(i * 131 + (i >> 9));
        std::ofstream(Path("in.bin"), std::ios::binary) << image;
        Strict(chip);
        ASSERT_EQ(Run("write", With(part, Path("in.bin"))), 0);
        Strict(chip);
        ASSERT_EQ(Run("read", With(part, Path("out.bin"))), 0);
        std::ifstream back(Path("out.bin"), std::ios::binary);
        const std::string read((std::istreambuf_iterator<char>(back)), {});
        EXPECT_TRUE(read == image);
    }
}

// A chip file of another kind is refused before anything is written.
TEST_F(Flash5vCommands, ChipFileOfAnotherKindIsRefused) {
    Strict("eprom.chip");
    ASSERT_EQ(Run("blank", {"EPROM", "AMD", "27C010"}), 0);
    std::ofstream(Path("in.bin"), std::ios::binary) << std::string(0x100, '\x5A');
    Strict("eprom.chip");
    EXPECT_EQ(Run("write", {"FLASH5V", "SST", "SST39SF010A", Path("in.bin")}), kExitNoInput);
}

TEST_F(Flash5vCommands, IdentifyNamesTheEntryAnUnknownPairOrNothing) {
    Strict("sst.chip");
    ASSERT_EQ(Run("blank", {"FLASH5V", "SST", "SST39SF010A"}), 0);
    Strict("sst.chip");
    EXPECT_EQ(Run("identify", {}), 0);
    EXPECT_TRUE(Has("BF B5: FLASH5V SST SST39SF010A"));

    Strict("amd.chip");
    ASSERT_EQ(Run("blank", {"FLASH5V", "AMD", "AM29F040B"}), 0);
    Strict("amd.chip", {"other-device"});
    EXPECT_EQ(Run("identify", {}), 0);
    EXPECT_TRUE(Has("01 A5: no device of the catalogue has this identifier"));

    Strict("");
    EXPECT_EQ(Run("identify", {}), 7);
    EXPECT_TRUE(Has("No chip answered the flash product ID command (addresses 0 and 1 read their data FF FF): "
                    "another kind of chip, such as an EPROM, or an empty socket"));
}

}  // namespace
}  // namespace krt::test

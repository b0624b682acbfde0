// SPDX-License-Identifier: GPL-3.0-or-later
// krt on the GAL and PIC families as a user meets them: what erase, secure,
// auto, verify and read report must be true of the chip in the socket, and
// a read whose range lies outside the device leaves the old file alone.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

#include "data/DataFile.h"
#include "sim/ChipFile.h"
#include "sim/chips/GalChip.h"
#include "sim/chips/PicChip.h"
#include "support/CliCommandTest.h"
#include "support/KrtProcess.h"
#include "support/CliDevices.h"

namespace krt {
namespace {

namespace fs = std::filesystem;
using test::With;

const std::vector<std::string> kPic84A = {"PIC", "Microchip", "PIC16F84A"};

class GalPicCommands : public test::CliCommandTest {
protected:
    GalPicCommands() : CliCommandTest("krt-galpic") {}

    // One run of krt on the simulator with the chip file c.chip (strict:
    // a breach of the wire protocol fails the test).
    int Run(const std::string& name, const std::vector<std::string>& args, std::vector<std::string> faults = {},
            const std::string& start = "", const std::string& length = "") {
        NewSession();
        session->options.simFaults = std::move(faults);
        session->options.simStrict = true;
        session->options.noIdCheck = noIdCheck;
        session->options.fixedLevel = fixedLevel;
        session->options.simRevisions = revisions;
        session->options.start = start;
        session->options.length = length;
        const int status = Execute(name, args);
        if (Sim()) {
            EXPECT_FALSE(Sim()->HasBreaches()) << name;
        }
        return status;
    }
    // The chip in the simulator's socket; null when the run never reached the simulator.
    template <class Chip>
    Chip* Socket() const {
        return Sim() ? dynamic_cast<Chip*>(Sim()->SocketChip()) : nullptr;
    }
    // The lines the operation logged between its start line and its result line.
    test::Lines Between(const std::string& first, const std::string& last) const {
        const test::Lines lines = log->lines();
        auto from = std::find(lines.begin(), lines.end(), first);
        auto to = std::find(lines.begin(), lines.end(), last);
        if (from == lines.end() || to == lines.end() || to < from) return {"(missing " + first + " or " + last + ")"};
        return test::Lines(from + 1, to);
    }

    // An Intel HEX file of PIC words (word w at byte address 2w, low byte first).
    void WritePicHex(const std::string& name, const std::vector<std::pair<uint32_t, uint16_t>>& words) {
        std::ofstream out(Path(name), std::ios::binary);
        for (const auto& [word, value] : words) {
            const uint32_t a = 2 * word;
            const uint8_t bytes[6] = {2, uint8_t(a >> 8), uint8_t(a), 0, uint8_t(value), uint8_t(value >> 8)};
            unsigned sum = 0;
            char line[32];
            std::string text = ":";
            for (uint8_t b : bytes) {
                std::snprintf(line, sizeof line, "%02X", b);
                text += line;
                sum += b;
            }
            std::snprintf(line, sizeof line, "%02X\n", (0x100 - (sum & 0xFF)) & 0xFF);
            out << text << line;
        }
        out << ":00000001FF\n";
    }

    // The words of a PIC HEX file as the File menu loads them.
    static std::vector<uint8_t> PicWords(const std::string& path) {
        std::vector<uint8_t> buffer(0x4010, 0xEE);
        DataFile f(path, FORMAT_INTEL_HEX);
        f.buffer = buffer.data();
        f.bufsize = static_cast<uint32_t>(buffer.size());
        f.bytesPerWord = 2;
        f.typecode = 4;
        f.length = 0x400;
        EXPECT_EQ(f.Read(), FILE_OK) << path;
        return buffer;
    }

    bool noIdCheck = false;  // --no-id-check
    bool fixedLevel = false; // --fixed-level
    std::string revisions;   // --sim-revisions
};

std::string JedecFile(const std::string& name) { return std::string(KRT_SOURCE_DIR) + "/tests/data/jedec/" + name; }

TEST_F(GalPicCommands, GalEraseAndSecureWithAVoltageTheChipDoesNotTakeEndWith3) {
    ASSERT_EQ(Run("write", With(kGal16, JedecFile("GAL16V8_reg.jed"))), 0);
    EXPECT_EQ(Run("erase", kGal16, {"wrong-vpp"}), 3);
    // The signature and the values taken from it, then the read-back's finding.
    EXPECT_EQ(Between("ERASE operation start", "ERASE operation is failed.").size(), 2u);
    EXPECT_EQ(CountStarting("After the erase "), 1u);
    EXPECT_EQ(Run("secure", kGal16, {"wrong-vpp"}), 3);
    EXPECT_EQ(CountStarting("After securing, "), 1u);
    ASSERT_NE(Socket<GalChip>(), nullptr);
    EXPECT_FALSE(Socket<GalChip>()->Secured());

    // With the voltage it takes, both are done and say nothing more.
    EXPECT_EQ(Run("secure", kGal16), 0);
    ASSERT_NE(Socket<GalChip>(), nullptr);
    EXPECT_TRUE(Socket<GalChip>()->Secured());
    EXPECT_EQ(CountStarting("After securing, "), 0u);
    EXPECT_EQ(Run("erase", kGal16), 0);
    EXPECT_EQ(CountStarting("After the erase "), 0u);
    EXPECT_EQ(Run("blank", kGal16), 0);

    // The 22V10's erase is checked the same way.
    fs::remove(Path("c.chip"));
    ASSERT_EQ(Run("write", With(kGal22, JedecFile("GAL22V10_reg.jed"))), 0);
    EXPECT_EQ(Run("erase", kGal22, {"wrong-vpp"}), 3);
    EXPECT_EQ(CountStarting("After the erase "), 1u);
}

TEST_F(GalPicCommands, ASecuredGalSaysSoWhenRead) {
    ASSERT_EQ(Run("write", With(kGal16, JedecFile("GAL16V8_reg.jed"))), 0);
    ASSERT_EQ(Run("secure", kGal16), 0);
    EXPECT_EQ(Run("read", With(kGal16, Path("back.jed"))), 0);
    EXPECT_EQ(CountStarting("Every array and architecture fuse reads 0"), 1u);
    EXPECT_EQ(Run("verify", With(kGal16, JedecFile("GAL16V8_reg.jed"))), 3);
    EXPECT_EQ(CountStarting("Every array and architecture fuse reads 0"), 1u);
    ASSERT_EQ(Run("erase", kGal16), 0);
    EXPECT_EQ(Run("read", With(kGal16, Path("back.jed"))), 0);
    EXPECT_EQ(CountStarting("Every array and architecture fuse reads 0"), 0u);
}

TEST_F(GalPicCommands, JedecSecurityFieldIsNamedWithTheWayToSetIt) {
    EXPECT_EQ(Run("write", With(kGal16, JedecFile("security_bit.jed"))), 0);
    EXPECT_TRUE(Has("The file asks for the security fuse (G1); a write does not set it. Set it after writing and "
                    "verifying with the Secure operation (krt secure GAL Lattice GAL16V8)."));
    fs::remove(Path("c.chip"));
    EXPECT_EQ(Run("write", With(kGal16, JedecFile("GAL16V8_reg.jed"))), 0);
    EXPECT_EQ(CountStarting("The file asks for the security fuse"), 0u);

    std::string g1 = test::Slurp(JedecFile("GAL22V10_reg.jed"));
    const size_t at = g1.find("*G0");
    ASSERT_NE(at, std::string::npos);
    g1[at + 2] = '1';
    std::ofstream(Path("g1.jed"), std::ios::binary) << g1;
    fs::remove(Path("c.chip"));
    EXPECT_EQ(Run("write", With(kGal22, Path("g1.jed"))), 0);
    EXPECT_TRUE(Has("The file asks for the security fuse (G1), but the GAL22V10's security is not available "
                    "here: the chip is written without it."));
}

TEST_F(GalPicCommands, ReadsWhoseStartLiesOutsideTheDeviceAreRefusedAndLeaveTheOldFile) {
    struct Case {
        std::vector<std::string> device;
        const char* file;
        const char* start;
        const char* length;
    };
    const Case cases[] = {
        {kGal16, "old.jed", "FFFFFFFF", ""}, {kGal16, "old.jed", "", "0"}, {kGal16, "old.jed", "892", ""},
        {kPic84, "old.hex", "FFFFFFFF", ""}, {kPic84, "old.hex", "", "0"}, {kPic84, "old.hex", "400", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.device[2]) + " --start " + c.start + " --length " + c.length);
        fs::remove(Path("c.chip"));
        std::ofstream(Path(c.file)) << "old contents\n";
        EXPECT_EQ(Run("read", With(c.device, Path(c.file)), {}, c.start, c.length), 2);
        EXPECT_EQ(test::Slurp(Path(c.file)), "old contents\n");
    }
}

TEST_F(GalPicCommands, PicReadWithAStartSavesTheChipsWordsThere) {
    std::vector<std::pair<uint32_t, uint16_t>> words;
    for (uint32_t w = 0; w < 0x400; ++w)
        if (w < 0x40 || w >= 0x3F0) words.push_back({w, static_cast<uint16_t>(0x1000 + w)});
    WritePicHex("prog.hex", words);
    ASSERT_EQ(Run("write", With(kPic84, Path("prog.hex"))), 0);
    ASSERT_EQ(Run("read", With(kPic84, Path("back.hex")), {}, "10"), 0);
    const std::vector<uint8_t> back = PicWords(Path("back.hex"));
    for (uint32_t w = 0x10; w < 0x400; ++w)
        ASSERT_EQ(back[2 * w] << 8 | back[2 * w + 1], w < 0x40 || w >= 0x3F0 ? 0x1000 + w : 0x3FFF) << "word " << w;

    // A write with a start programs the file's words from there, and only those.
    WritePicHex("more.hex", {{0x08, 0x0111}, {0x20, 0x0222}});
    ASSERT_EQ(Run("write", With(kPic84, Path("more.hex")), {}, "20", "1"), 0);
    ASSERT_NE(Socket<PicChip>(), nullptr);
    const PicChip& chip = *Socket<PicChip>();
    EXPECT_EQ(chip.Program(0x20), 0x0222);
    EXPECT_EQ(chip.Program(0x08), 0x1008);
    EXPECT_EQ(chip.Program(0x00), 0x1000);
    EXPECT_EQ(Run("verify", With(kPic84, Path("more.hex")), {}, "20", "1"), 0);
}

TEST_F(GalPicCommands, AutoWritesABlank16F84A) {
    WritePicHex("prog.hex", {{0, 0x2805}, {1, 0x0008}, {0x2007, 0x3FF1}});
    EXPECT_EQ(Run("blank", kPic84A), 0);
    EXPECT_EQ(CountStarting("Not Blank"), 0u);
    EXPECT_EQ(Run("auto", With(kPic84A, Path("prog.hex"))), 0);
    EXPECT_TRUE(Has("AUTO WRITE operation is successful"));
}

TEST_F(GalPicCommands, AutoWritesAFileThatTurnsCodeProtectionOn) {
    WritePicHex("cp.hex", {{0, 0x2805}, {1, 0x0008}, {0x155, 0x342A}, {0x2000, 0x0001}, {0x2007, 0x000F}});
    EXPECT_EQ(Run("auto", With(kPic84, Path("cp.hex"))), 0);
    EXPECT_TRUE(Has("AUTO WRITE operation is successful"));
    ASSERT_NE(Socket<PicChip>(), nullptr);
    const PicChip& chip = *Socket<PicChip>();
    EXPECT_TRUE(chip.CodeProtected());
    EXPECT_EQ(chip.Program(0x155), 0x342A);
    EXPECT_TRUE(Has("The chip is code protected, as the file asks: its program memory reads as 0000 and was not "
                    "compared with the file (a write compares each word before the protection takes effect); the "
                    "configuration words were compared"));

    EXPECT_EQ(Run("read", With(kPic84, Path("back.hex"))), 0);
    EXPECT_TRUE(Has("The chip is code protected: its program memory reads as 0000"));
    // A file without protection does not verify against the protected chip.
    WritePicHex("plain.hex", {{0, 0x2805}, {1, 0x0008}, {0x155, 0x342A}, {0x2000, 0x0001}, {0x2007, 0x3FFF}});
    EXPECT_EQ(Run("verify", With(kPic84, Path("plain.hex"))), 3);
    EXPECT_TRUE(Has("The chip is code protected: its program memory reads as 0000"));
}

// Each family that can say what it is refuses another simulated part on
// write and erase with one line; --no-id-check (which clears the record's
// check for every command alike) lets the erase go on regardless.
TEST_F(GalPicCommands, AnotherPartIsRefusedUnlessTheCheckIsSkipped) {
    WritePicHex("prog.hex", {{0, 0x2805}, {0x2007, 0x3FF1}});
    {
        std::ofstream out(Path("flash.bin"), std::ios::binary);
        out << std::string(16, '\x42');
    }
    const std::vector<std::string> kFlash = {"FLASH", "Intel", "P28F010"};
    struct Case {
        std::vector<std::string> device;
        std::string file;
        std::string found;  // what the refusal says it found
    };
    const Case cases[] = {
        {kPic84A, Path("prog.hex"), "found device ID 07C0h"},
        {kFlash, Path("flash.bin"), "found identifier 01h/A7h"},
        {kGal16, JedecFile("GAL16V8_reg.jed"), "found signature Lattice GAL20V8"},
    };
    for (const Case& c : cases) {
        const std::string name = c.device[2];
        for (const char* command : {"write", "erase"}) {
            fs::remove(Path("c.chip"));
            const auto args = std::string(command) == "write" ? With(c.device, c.file) : c.device;
            EXPECT_EQ(Run(command, args, {"wrong-part"}, "0", "10"), 4) << name << " " << command;
            EXPECT_EQ(CountStarting("Wrong device in the socket: expected " + name), 1u) << name << " " << command;
            EXPECT_TRUE(HasLineWith(c.found)) << name << " " << command;
        }
        noIdCheck = true;
        fs::remove(Path("c.chip"));
        EXPECT_EQ(Run("erase", c.device, {"wrong-part"}, "0", "10"), 0) << name;
        EXPECT_EQ(CountStarting("Wrong device in the socket"), 0u) << name;
        noIdCheck = false;
    }
}

// A GAL whose signature reads all ones (an empty socket, no contact) or all
// zeros is no chip: write and erase end with 4 before touching anything, as
// the other families' identity checks do, unless the check is skipped.
TEST_F(GalPicCommands, AGalSignatureOfAllOnesOrZerosIsNoChip) {
    for (const char* command : {"erase", "write"}) {
        fs::remove(Path("c.chip"));
        const auto args = std::string(command) == "write" ? With(kGal16, JedecFile("GAL16V8_reg.jed")) : kGal16;
        EXPECT_EQ(Run(command, args, {"empty-socket"}), 4) << command;
        EXPECT_TRUE(HasLineWith("No chip answers: every bit of the signature (PES) reads 1")) << command;
    }
    // An erased-all signature reads 0 throughout.
    fs::remove(Path("c.chip"));
    ASSERT_EQ(Run("blank", kGal16), 0);
    {
        std::unique_ptr<Chip> chip;
        std::string error;
        ASSERT_TRUE(LoadChipFile(Path("c.chip"), chip, error)) << error;
        auto* gal = dynamic_cast<GalChip*>(chip.get());
        ASSERT_NE(gal, nullptr);
        for (int i = 0; i < 8; ++i) gal->SetPesByte(i, 0);
        ASSERT_TRUE(SaveChipFile(Path("c.chip"), *gal, error)) << error;
    }
    EXPECT_EQ(Run("erase", kGal16), 4);
    EXPECT_TRUE(HasLineWith("every bit of the signature (PES) reads 0"));
    noIdCheck = true;
    EXPECT_EQ(Run("erase", kGal16), 0);
    EXPECT_FALSE(HasLineWith("No chip answers"));
}

// An ATF sold as a GAL equivalent in a Lattice entry's socket (and the
// reverse) is found at the read level: write and erase end with 4 and one
// line naming the entry to select, the socket never above the read level;
// --no-id-check reads on, but still never puts a Lattice level on an ATF.
TEST_F(GalPicCommands, AnAtfInALatticeSocketIsRefusedAtTheReadLevel) {
    struct Case {
        std::vector<std::string> chip, entry;
        const char* command;
        bool idcheck;
        int status;
        const char* select;
    };
    const std::vector<std::string> atf16 = {"GAL", "Atmel", "ATF16V8B"}, atf22 = {"GAL", "Atmel", "ATF22V10C"};
    const Case cases[] = {
        {atf16, kGal16, "write", true, 4, "Atmel ATF16V8B"},  {atf16, kGal16, "erase", true, 4, "Atmel ATF16V8B"},
        {atf22, kGal22, "write", true, 4, "Atmel ATF22V10C"}, {atf22, kGal22, "erase", true, 4, "Atmel ATF22V10C"},
        {atf22, kGal22, "erase", false, 4, "Atmel ATF22V10C"}, {kGal16, atf16, "erase", true, 4, "Lattice GAL16V8"},
        {atf16, kGal16, "blank", false, 0, ""},               {kGal16, atf16, "erase", false, 0, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.chip[2] + " in " + c.entry[2] + " " + c.command + (c.idcheck ? "" : " --no-id-check"));
        fs::remove(Path("c.chip"));
        ASSERT_EQ(Run("blank", c.chip), 0);
        noIdCheck = !c.idcheck;
        const std::string file = c.entry == kGal16 ? JedecFile("GAL16V8_reg.jed") : JedecFile("GAL22V10_reg.jed");
        const auto args = std::string(c.command) == "write" ? With(c.entry, file) : c.entry;
        EXPECT_EQ(Run(c.command, args), c.status);
        noIdCheck = false;
        if (c.status != 4) continue;
        EXPECT_TRUE(HasLineWith(std::string("; select ") + c.select + " (nothing above the read level was applied)"));
        ASSERT_NE(Sim(), nullptr);
        EXPECT_LE(Sim()->HighestVpp(), 12.0);
        ASSERT_NE(Socket<GalChip>(), nullptr);
        EXPECT_EQ(Socket<GalChip>()->ProgramStrobes(), 0u);
    }
}

// On a programmer with fixed levels only an ATF part would get 12.5 V: krt
// writes or erases it only when --fixed-level accepts that; reads need nothing.
TEST_F(GalPicCommands, AnAtfOnFixedLevelsIsProgrammedOnlyWhenAccepted) {
    const std::vector<std::string> atf16 = {"GAL", "Atmel", "ATF16V8B"};
    revisions = "10,10";
    EXPECT_EQ(Run("erase", atf16), 64);
    EXPECT_TRUE(HasLineWith("the ATF16V8B would get 12.5 V, under the chip's 14.0 V maximum"));
    EXPECT_EQ(Run("read", With(atf16, Path("r.jed"))), 0);
    fixedLevel = true;
    EXPECT_EQ(Run("write", With(atf16, JedecFile("GAL16V8_reg.jed"))), 0);
    EXPECT_EQ(Run("verify", With(atf16, JedecFile("GAL16V8_reg.jed"))), 0);
}

// A fault belongs to the run: a run with another part's identity, even a
// read, leaves the chip file's own signature, and the next run finds its chip.
TEST_F(GalPicCommands, AWrongPartRunLeavesTheChipsIdentityInItsFile) {
    for (const auto& device : {kGal16, kGal22, kPic84A}) {
        fs::remove(Path("c.chip"));
        ASSERT_EQ(Run("read", With(device, Path("r.bin")), {"wrong-part"}), 0) << device[2];
        EXPECT_EQ(Run("erase", device, {"wrong-part"}), 4) << device[2];
        EXPECT_EQ(Run("erase", device), 0) << device[2];
        EXPECT_EQ(CountStarting("Wrong device in the socket"), 0u) << device[2];
    }
}

}  // namespace
}  // namespace krt

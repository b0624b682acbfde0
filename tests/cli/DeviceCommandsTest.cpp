// SPDX-License-Identifier: GPL-3.0-or-later
// krt read/write/verify/blank/erase/option/auto on the simulated programmer,
// through the command table, one session per run as separate krt runs are.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <chrono>
#include <csignal>
#include <fstream>
#include <random>
#include <thread>

#include "sim/chips/EepromChip.h"
#include "support/CliCommandTest.h"
#include "support/CliDevices.h"

namespace krt {
namespace {

namespace fs = std::filesystem;
using test::Lines;
using test::With;

class DeviceCommands : public test::CliCommandTest {
protected:
    DeviceCommands() : CliCommandTest("krt-device-commands") {}
    void SetUp() override {
        CliCommandTest::SetUp();
        std::mt19937 random(11);
        data.resize(0x8000);
        for (auto& b : data) b = static_cast<uint8_t>(random());
        WriteFile(Path("some.bin"), data);
    }

    static void WriteFile(const std::string& path, const std::vector<uint8_t>& bytes) {
        std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                     static_cast<std::streamsize>(bytes.size()));
    }
    static std::vector<uint8_t> ReadFile(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
    }

    int Run(const std::string& name, const std::vector<std::string>& args, const std::string& chip = "c.chip",
            void (*configure)(CliOptions&) = nullptr) {
        NewSession(chip);
        if (configure) configure(session->options);
        return Execute(name, args);
    }
    // The lines that belong to the operation commands, in order.
    Lines ResultLines() const {
        static const std::vector<std::string> known = {
            "WRITE operation start", "WRITE operation is successful", "READ operation start",
            "READ operation is successful", "VERIFY operation start", "VERIFY operation is successful.",
            "BLANK check operation start", "This device is BLANK", "This device is NOT BLANK",
            "AUTO WRITE operation start", "AUTO WRITE operation is successful",
            "Errors were found through VERIFY operation",
            "The automatic write stopped at the blank check: nothing was written."};
        Lines out;
        for (const auto& l : log->lines())
            if (std::find(known.begin(), known.end(), l) != known.end()) out.push_back(l);
        return out;
    }

    std::vector<uint8_t> data;
};


TEST_F(DeviceCommands, WriteReadVerifyRoundTripThroughTheChipFile) {
    EXPECT_EQ(Run("write", With(k27C256, Path("some.bin"))), 0);
    EXPECT_EQ(ResultLines(), (Lines{"WRITE operation start", "WRITE operation is successful"}));
    EXPECT_TRUE(Has("Written without errors."));
    ASSERT_NE(Sim(), nullptr);
    EXPECT_TRUE(Sim()->ResultOkIndicator());
    EXPECT_FALSE(Sim()->ResultFailIndicator());

    EXPECT_EQ(Run("read", With(k27C256, Path("back.bin"))), 0);
    EXPECT_EQ(ResultLines(), (Lines{"READ operation start", "READ operation is successful"}));
    EXPECT_TRUE(Has("Reading from device to buffer has finished."));
    EXPECT_EQ(ReadFile(Path("back.bin")), data);

    EXPECT_EQ(Run("verify", With(k27C256, Path("some.bin"))), 0);
    EXPECT_EQ(ResultLines(), (Lines{"VERIFY operation start", "VERIFY operation is successful."}));

    EXPECT_EQ(Run("blank", k27C256), 3);
    EXPECT_EQ(ResultLines(), (Lines{"BLANK check operation start", "This device is NOT BLANK"}));
    EXPECT_TRUE(Has("Too many errors: stopped"));  // 100 errors permitted by default
    ASSERT_NE(Sim(), nullptr);
    EXPECT_TRUE(Sim()->ResultFailIndicator());
}

// Files that do not fit the device stop the write before the port is
// opened: exit 66, nothing programmed, the reason in the log.
TEST_F(DeviceCommands, FilesThatDoNotFitAreNotProgrammed) {
    // Two records of 16 bytes, cut inside the second.
    const std::string hex = ":10000000000102030405060708090A0B0C0D0E0F78\n"
                            ":10001000101112131415161718191A1B1C1D1E1F68\n";
    WriteFile(Path("cut.hex"), std::vector<uint8_t>(hex.begin(), hex.begin() + 70));
    // A 2K-word PIC's image with code at 600h, for a 1K-word PIC16F84.
    const std::string pic = ":020000000428D2\n:020C0000FF30C3\n:00000001FF\n";
    WriteFile(Path("big.hex"), std::vector<uint8_t>(pic.begin(), pic.end()));
    std::string gal16 = "\x02*QF2194*F0*L0000 1111*C000F*\x03" "0000\n";
    WriteFile(Path("g16.jed"), std::vector<uint8_t>(gal16.begin(), gal16.end()));
    std::vector<uint8_t> big = data;
    big.push_back(0x11);
    WriteFile(Path("big.bin"), big);

    struct Case {
        std::vector<std::string> device;
        const char* file;
        const char* said;  // in the log, beside the box's text on stderr
    } cases[] = {
        {k27C256, "cut.hex", nullptr},
        {{"PIC", "Microchip", "PIC16F84"}, "big.hex", nullptr},
        {{"GAL", "Lattice", "GAL20V8"}, "g16.jed", "is a fuse map of 2194 fuses (QF2194), but the GAL20V8 has 2706 fuses"},
        {k27C256, "big.bin", "is larger than the device"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Run("write", With(c.device, Path(c.file)), ""), 66) << c.file;
        EXPECT_TRUE(ResultLines().empty()) << c.file;
        EXPECT_TRUE(c.said == nullptr || HasLineWith(c.said)) << c.file << ": " << c.said;
    }
    // --length asks for the cut of a longer binary file: it is written, and said.
    EXPECT_EQ(Run("write", With(k27C256, Path("big.bin")), "",
                  [](CliOptions& o) { o.length = "4000"; }),
              0);
    EXPECT_EQ(ResultLines(), (Lines{"WRITE operation start", "WRITE operation is successful"}));
    EXPECT_TRUE(Has("Only the first 16384 words of " + Path("big.bin") +
                    " were read (the range's length); the rest of the file was not read."));
}

// Without a chip file each run starts on a blank chip; the results in Japanese too.
TEST_F(DeviceCommands, WithoutAChipFileTheSocketHoldsABlankChipOfTheDevice) {
    EXPECT_EQ(Run("blank", k27C256, "", [](CliOptions& o) { o.language = 0; }), 0);
    EXPECT_TRUE(Has("ブランクチェック開始"));
    EXPECT_TRUE(Has("デバイスはブランクです"));
    EXPECT_EQ(Run("write", With(k27C256, Path("some.bin")), ""), 0);
    EXPECT_EQ(Run("blank", k27C256, ""), 0);  // nothing kept between runs
    EXPECT_EQ(ResultLines(), (Lines{"BLANK check operation start", "This device is BLANK"}));
    EXPECT_EQ(Run("blank", {"EPROM", "Intel", "27C1024"}, ""), 0);
}

TEST_F(DeviceCommands, ChipFileOfAnotherDeviceIsRefused) {
    ASSERT_EQ(Run("write", With(k27C256, Path("some.bin"))), 0);
    const auto before = ReadFile(Path("c.chip"));
    EXPECT_NE(Run("blank", {"EPROM", "AMD", "27C512"}), 0);
    EXPECT_FALSE(Has("BLANK check operation start"));
    EXPECT_EQ(ReadFile(Path("c.chip")), before);
}

TEST_F(DeviceCommands, AutoWriteRunsBlankWriteVerify) {
    EXPECT_EQ(Run("auto", With(k27C256, Path("some.bin"))), 0);
    EXPECT_EQ(ResultLines(), (Lines{"AUTO WRITE operation start", "This device is BLANK",
                                    "WRITE operation is successful", "VERIFY operation is successful.",
                                    "AUTO WRITE operation is successful"}));
    // On a programmed chip the blank check fails and nothing is written.
    EXPECT_EQ(Run("auto", With(k27C256, Path("some.bin"))), 3);
    EXPECT_EQ(ResultLines(), (Lines{"AUTO WRITE operation start", "This device is NOT BLANK",
                                    "The automatic write stopped at the blank check: nothing was written."}));
}

TEST_F(DeviceCommands, RangeAndErrorOptions) {
    // The file fills the buffer over the whole device; the range picks its end.
    ASSERT_EQ(Run("write", With(k27C256, Path("some.bin")), "c.chip", [](CliOptions& o) {
                  o.start = "7FF0";
                  o.length = "100";
              }),
              0);
    EXPECT_TRUE(Has("Range 007FF0+000100 reaches beyond the device end 008000: cut to 000010 addresses"));
    EXPECT_EQ(Run("blank", k27C256, "c.chip", [](CliOptions& o) { o.length = "7FF0"; }), 0);
    EXPECT_EQ(Run("blank", k27C256, "c.chip", [](CliOptions& o) {
                  o.start = "7FF0";
                  o.errors = "2";
              }),
              3);
    size_t blankLines = 0;
    for (const auto& l : log->lines()) blankLines += l.rfind("Blank check error", 0) == 0;
    EXPECT_LE(blankLines, 2u);
    EXPECT_TRUE(Has("Too many errors: stopped"));
    EXPECT_EQ(Run("blank", k27C256, "c.chip", [](CliOptions& o) { o.errors = "many"; }), 64);
}

TEST_F(DeviceCommands, FailedReadLeavesTheFileAndUnsupportedOperationsSayWhy) {
    WriteFile(Path("keep.bin"), {1, 2, 3});
    // A programmer that stays busy is not found at start-up: --force runs the read anyway.
    EXPECT_EQ(Run("read", With(k27C256, Path("keep.bin")), "c.chip",
                  [](CliOptions& o) {
                      o.simFaults = {"stays-busy"};
                      o.force = true;
                  }),
              4);
    EXPECT_TRUE(Has("READ operation is failed. Because \"Fatal error occured\"."));
    EXPECT_EQ(ReadFile(Path("keep.bin")), (std::vector<uint8_t>{1, 2, 3}));

    EXPECT_EQ(Run("erase", k27C256), 9);
    EXPECT_TRUE(Has("ERASE operation is failed. Because \"Unsupported operation in this device\"."));
    EXPECT_EQ(Run("option", k27C256), 9);
    EXPECT_EQ(Run("write", With(k27C256, Path("missing.bin"))), 66);
    EXPECT_EQ(Run("write", k27C256), 64);
    EXPECT_EQ(Run("blank", {"EPROM", "AMD", "27C999"}), 64);  // a device the catalogue does not list
    EXPECT_TRUE(Has("Device is not selected."));
}

TEST_F(DeviceCommands, InterruptCancelsTheRunningOperation) {
    LinkContext& link = NewSession().link;
    // The trace is a FIFO that this test reads: when it stops reading, the
    // write stands still at its next port accesses, so that the Ctrl-C is
    // seen while the write runs, however fast the build.
    const std::string trace = Path("trace");
    ASSERT_EQ(mkfifo(trace.c_str(), 0600), 0);
    session->options.trace = trace;
    std::thread user([&link, trace] {
        std::ifstream in(trace);
        std::string line;
        while (link.OperationProgress() <= 64 && std::getline(in, line)) {
        }
        // Ctrl-C, and the write held until krt has passed it on as a cancel.
        std::raise(SIGINT);
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!link.CancelRequested() && link.OperationProgress() >= 0 && std::chrono::steady_clock::now() < giveUp)
            std::this_thread::yield();
        while (std::getline(in, line)) {
        }
    });
    const int status = Execute("write", With(k27C256, Path("some.bin")));
    session->traceFile.reset();  // the end of the trace for the reader
    user.join();
    EXPECT_EQ(status, 1);
    EXPECT_TRUE(Has("WRITE operation is failed. Because \"Operation is canceled\""));
    ASSERT_NE(Sim(), nullptr);
    EXPECT_TRUE(Sim()->ResultFailIndicator());
}

// A success means the chip holds the file: runs as a user types them, on
// chips that acknowledge or take writes without storing them.
class ChipMustHoldTheData : public DeviceCommands {
protected:
    int RunWith(const std::string& command, const std::vector<std::string>& args, const std::string& chip,
                const std::string& fault, bool pageWrite = false) {
        NewSession(chip);
        if (!fault.empty()) session->options.simFaults = {fault};
        session->options.pageWrite = pageWrite;
        return Execute(command, args);
    }
    static std::string VerifyLine(const char* format, unsigned a, unsigned read, unsigned file) {
        char text[96];
        std::snprintf(text, sizeof text, format, a, read, file);
        return text;
    }
};


TEST_F(ChipMustHoldTheData, TwoWireWriteAndEraseEndWithThreeAndTheAddress) {
    WriteFile(Path("d.bin"), std::vector<uint8_t>(data.begin(), data.begin() + 0x100));
    int n = 0;
    for (bool pageWrite : {false, true}) {
        for (const char* fault : {"write-protect", "dead-cells:A"}) {
            const std::string label = std::string(fault) + (pageWrite ? " --page-write" : "");
            const std::string chip = "w" + std::to_string(n++) + ".chip";
            EXPECT_EQ(RunWith("write", With(k24C02, Path("d.bin")), chip, fault, pageWrite), 3) << label;
            EXPECT_TRUE(Has("Errors were detected on WRITE operation")) << label;
            EXPECT_TRUE(Has(VerifyLine("Verify error at %06X Read:%02X File:%02X retry 0", 0xA, 0xFF, data[0xA])))
                << label;
            EXPECT_FALSE(Has("Written without errors.")) << label;

            // A chip holding the file: the erase cannot change what it cannot write.
            const std::string full = "e" + std::to_string(n) + ".chip";
            ASSERT_EQ(RunWith("write", With(k24C02, Path("d.bin")), full, "", pageWrite), 0) << label;
            EXPECT_EQ(RunWith("erase", k24C02, full, fault, pageWrite), 3) << label;
            EXPECT_TRUE(Has("ERASE operation is failed.")) << label;
            EXPECT_TRUE(Has(VerifyLine("Verify error at %06X Read:%02X File:%02X retry 0", 0xA, data[0xA], 0xFF)))
                << label;
        }
    }
}

TEST_F(ChipMustHoldTheData, ThreeWireEraseFailsOnAWordThatStaysProgrammed) {
    const std::vector<std::string> k93C46 = {"SEEPROM", "Microchip", "93C46"};
    WriteFile(Path("d.bin"), std::vector<uint8_t>(data.begin(), data.begin() + 0x80));
    ASSERT_EQ(RunWith("write", With(k93C46, Path("d.bin")), "c.chip", ""), 0);
    EXPECT_EQ(RunWith("erase", k93C46, "c.chip", "dead-cells:3"), 3);
    char line[64];
    std::snprintf(line, sizeof line, "Verify error at 000003 Read:%02X-%02X File:FF-FF", data[6], data[7]);
    EXPECT_TRUE(HasLineWith(line)) << line;
    EXPECT_TRUE(Has("ERASE operation is failed."));
    EXPECT_EQ(RunWith("blank", k93C46, "c.chip", ""), 3);
}

TEST_F(ChipMustHoldTheData, FlashEraseWithAnUnreachableProgrammingSupplyIsFatal) {
    // The shipped entry with a Vpp beyond the programmer's supply.
    const fs::path catalogue = dir / "catalogue";
    fs::create_directories(catalogue);
    std::ofstream(catalogue / "DEVICE.LST") << "FLASH,Intel,P28F010,10,flash.prm\n";
    std::ofstream(catalogue / "flash.prm") << "device\tP28F010\ntype\tFLASH\nmanufacture\tIntel\nname\tP28F010\n"
                                               "maxsize\t20000\nVcc\t5.0\nVpp\t21.0\nVccp\t5.0\ntpw\t10us\n"
                                               "retry\t25\n";
    NewSession("");
    session->options.catalogue = catalogue.string();
    EXPECT_EQ(Execute("erase", {"FLASH", "Intel", "P28F010"}), 4);
    EXPECT_TRUE(Has("The supply cannot be set to that voltage"));
    EXPECT_FALSE(Has("ERASE operation is successful"));
    EXPECT_TRUE(Has("ERASE operation is failed. Because \"Fatal error occured\"."));
}

TEST_F(ChipMustHoldTheData, ProtectionCommandAndHintOnlyForPartsThatHaveProtection) {
    for (const char* name : {"AT28C16", "AT28C64"}) {
        const std::vector<std::string> part = {"EEPROM", "Atmel", name};
        WriteFile(Path("d.bin"), std::vector<uint8_t>(data.begin(), data.begin() + 0x800));
        const std::string chip = std::string(name) + ".chip";
        ASSERT_EQ(RunWith("write", With(part, Path("d.bin")), chip, ""), 0) << name;
        for (const char* state : {"off", "on"}) {
            EXPECT_EQ(RunWith("sdp", {state, "EEPROM", "Atmel", name}, chip, ""), 9) << name << " " << state;
            EXPECT_TRUE(Has("This part has no software data protection: there is nothing to turn on or off"));
            EXPECT_FALSE(HasLineWith("protection is off")) << name;
            ASSERT_NE(Sim(), nullptr);
            auto* eeprom = dynamic_cast<EepromChip*>(Sim()->SocketChip());
            ASSERT_NE(eeprom, nullptr);
            EXPECT_EQ(eeprom->Cell(0x555), data[0x555]) << name;
            EXPECT_EQ(eeprom->Cell(0x2AA), data[0x2AA]) << name;
            EXPECT_EQ(eeprom->Cycles(), 0u) << name;
        }
        // A page that did not change is not blamed on protection here.
        EXPECT_EQ(RunWith("write", With(part, Path("d.bin")), "dead.chip", "dead-cells:0"), 3) << name;
        EXPECT_TRUE(HasLineWith("Verify error at 000000 page")) << name;
        EXPECT_FALSE(HasLineWith("krt sdp")) << name;
        fs::remove(Path("dead.chip"));
    }
    // A part with protection still has both.
    EXPECT_EQ(RunWith("sdp", {"off", "EEPROM", "Atmel", "AT28C256"}, "p.chip", "sdp-locked"), 0);
    EXPECT_TRUE(HasLineWith("Software data protection is off"));
}

}  // namespace
}  // namespace krt

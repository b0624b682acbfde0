// SPDX-License-Identifier: GPL-3.0-or-later
// The PIC family end to end through Dispatch on the simulated programmer with
// a PIC16x84 in the socket: gpasm images written, verified and read back on
// each part, the range start, blank checks, the error limit, code protection
// and its erase, supplies outside the chip's window, and the programmer that
// stops answering.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

#include "FamilyTestSupport.h"
#include "PicTestSupport.h"
#include "SimBench.h"
#include "base/TypeCodes.h"
#include "data/DataBuffer.h"
#include "data/DataFile.h"
#include "sim/chips/PicChip.h"

namespace krt::test {
namespace {

namespace fs = std::filesystem;

PicChip& PicChipOf(SimBench& b) { return *dynamic_cast<PicChip*>(b.sim.SocketChip()); }

struct PicBench : SimBench {
    explicit PicBench(const std::string& name = "PIC16F84") : SimBench(PicRecord(name)) { ClearPicBuffer(buffer); }
};

int PicShell(const std::string& command) {
    const int status = std::system((command + " >/dev/null 2>&1").c_str());
    return status == -1 ? -1 : WEXITSTATUS(status);
}

fs::path Scratch(const std::string& name) {
    fs::path dir = fs::path(KRT_BINARY_DIR) / "test-scratch" / "families" / name;
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

// The PIC buffer as the File menu reads (or saves) it from (to) a HEX file.
DataFile HexFile(const fs::path& path, std::vector<uint8_t>& buffer) {
    DataFile f(path.string(), FORMAT_INTEL_HEX);
    f.buffer = buffer.data();
    f.bufsize = static_cast<uint32_t>(buffer.size());
    f.bytesPerWord = 2;
    f.typecode = 4;
    return f;
}

// A program with IDs and a configuration word, assembled by gpasm for the part.
constexpr char kSource[] = R"(        processor %s
        include <p%s.inc>
        __config _XT_OSC & _WDT_OFF & _PWRTE_ON
        __idlocs 0x1A2B
        org 0
start   bsf STATUS, 5
        clrf TRISB
        bcf STATUS, 5
loop    incf PORTB, f
        movlw 0x3C
        goto loop
        org 0x155
        retlw 0x2A
        org 0x3FF
        retlw 0x55
        end
)";

class PicGpasm : public ::testing::TestWithParam<const char*> {};

TEST_P(PicGpasm, ImageWritesVerifiesAndReadsBackAsGpasmWroteIt) {
    if (PicShell("command -v gpasm") != 0) GTEST_SKIP() << "gpasm is not installed (Debian: gputils)";
    const std::string name = GetParam();
    std::string part = name.substr(3);
    for (char& c : part) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    const fs::path dir = Scratch("pic-gpasm-" + part);
    {
        char text[sizeof kSource + 64];
        std::snprintf(text, sizeof text, kSource, part.c_str(), part.c_str());
        std::ofstream(dir / "prog.asm") << text;
    }
    ASSERT_EQ(PicShell("cd '" + dir.string() + "' && gpasm -o prog.hex prog.asm"), 0);

    PicBench b(name);
    ASSERT_EQ(HexFile(dir / "prog.hex", b.buffer).Read(), FILE_OK);
    const std::vector<uint8_t> image = b.buffer;
    ASSERT_EQ(WordAt(image, 0x2007), part == "16c84" ? 0x3FF9 : 0x3FF1) << "gpasm's configuration word";
    EXPECT_EQ(b.Operation(5, 0, 0x400), 0);
    EXPECT_EQ(b.log.lines(), Lines{"Written without errors."});
    EXPECT_EQ(b.Operation(6, 0, 0x400), 0);

    b.buffer.assign(b.buffer.size(), 0xEE);
    ASSERT_EQ(b.Operation(4, 0, 0x400), 0);
    for (size_t w = 0; w < 0x400; ++w) ASSERT_EQ(WordAt(b.buffer, w), WordAt(image, w)) << "word " << w;
    for (size_t k = 0; k < 8; ++k) {
        const uint16_t expected = k == 6 && part == "16f84a" ? 0x0560 : WordAt(image, 0x2000 + k);
        EXPECT_EQ(WordAt(b.buffer, 0x2000 + k), expected) << "configuration word " << k;
    }
    ASSERT_EQ(HexFile(dir / "back.hex", b.buffer).Write(), FILE_OK);

    if (PicShell("/usr/bin/python3 -c 'import intelhex'") != 0) GTEST_SKIP() << "python3-intelhex is not installed";
    EXPECT_EQ(PicShell("cd '" + dir.string() +
                    "' && /usr/bin/python3 -c 'import intelhex; a = intelhex.IntelHex(\"prog.hex\"); "
                    "b = intelhex.IntelHex(\"back.hex\"); "
                    "assert all(a[x] == b[x] for x in a.addresses()), \"differs\"'"),
              0);
}

INSTANTIATE_TEST_SUITE_P(EachPart, PicGpasm, ::testing::Values("PIC16C84", "PIC16F84", "PIC16F84A"));

// A spy between the link and the simulator: the progress positions seen.
class ProgressPort : public PortIo {
public:
    ProgressPort(VirtualKrt& sim, LinkContext& link) : sim_(sim), link_(link) {}
    uint8_t read(uint16_t a) override { return sim_.read(a); }
    void write(uint16_t a, uint8_t v) override {
        sim_.write(a, v);
        const int32_t p = link_.OperationProgress();
        if (p != -1 && (seen.empty() || seen.back() != p)) seen.push_back(p);
    }
    std::vector<int32_t> seen;

private:
    VirtualKrt& sim_;
    LinkContext& link_;
};

TEST(ZVPICSim, RangeStartTakesTheChipWordsFromThere) {
    PicBench b;
    for (uint32_t w = 0; w < 0x400; ++w) PicChipOf(b).SetProgram(w, static_cast<uint16_t>(0x1000 + w));
    PicChipOf(b).SetConfig(0, 0x0007);
    ProgressPort port(b.sim, b.link);
    b.link.port = &port;
    b.buffer.assign(b.buffer.size(), 0xEE);
    ASSERT_EQ(b.Operation(4, 0x100, 0x10), 0);
    for (uint32_t w = 0x100; w < 0x110; ++w) EXPECT_EQ(WordAt(b.buffer, w), 0x1000 + w) << "chip word " << w;
    EXPECT_EQ(WordAt(b.buffer, 0), 0xEEEE) << "the words before the start are not read";
    EXPECT_EQ(WordAt(b.buffer, 0x110), 0xEEEE) << "nor those after the range";
    EXPECT_EQ(WordAt(b.buffer, 0x2000), 0x0007);
    // Progress 0 to 15 (current address 100h to 10Fh), then from 2000h - 100h.
    std::vector<int32_t> expected;
    for (int32_t p = 0; p < 0x10; ++p) expected.push_back(p);
    for (int32_t p = 0x1F00; p <= 0x1F08; ++p) expected.push_back(p);
    EXPECT_EQ(port.seen, expected);
}

TEST(ZVPICSim, BlankCheckCoversTheWholeChipButNotItsReadOnlyWords) {
    PicBench a("PIC16F84A");
    EXPECT_EQ(a.Operation(9, 0x200, 1), 0) << "the device ID at 2006h is no part of a blank chip";
    EXPECT_TRUE(a.log.lines().empty());
    PicChipOf(a).SetConfig(3, 0x0001);
    EXPECT_EQ(a.Operation(9, 0x200, 1), 3);
    EXPECT_EQ(a.log.lines(), Lines{"Not Blank at 002003"});

    PicBench b;
    EXPECT_EQ(b.Operation(9, 0x200, 1), 0);
    PicChipOf(b).SetProgram(0x3FF, 0x0000);
    PicChipOf(b).SetConfig(7, 0x3FF1);
    EXPECT_EQ(b.Operation(9, 0x200, 1), 3);
    EXPECT_EQ(b.log.lines(), (Lines{"Not Blank at 0003FF", "Not Blank at 002007"}));
}

TEST(ZVPICSim, WriteComparesAllSixteenBitsAndProgramsEachWordOnce) {
    PicBench b;
    SetWord(b.buffer, 0, 0x1234);
    SetWord(b.buffer, 5, 0xFFFF);  // top bits set: the chip holds 14
    SetWord(b.buffer, 6, 0x2ABC);
    EXPECT_EQ(b.Operation(5, 0, 0x10), 3);
    EXPECT_EQ(b.log.lines(), (Lines{"Verify error at 000005", "Errors during the write: 1"}));
    EXPECT_EQ(PicChipOf(b).Program(0), 0x1234);
    EXPECT_EQ(PicChipOf(b).Program(5), 0x3FFF);
    EXPECT_EQ(PicChipOf(b).Program(6), 0x2ABC);
    b.log.clear();
    EXPECT_EQ(b.Operation(6, 0, 0x10), 3);
    EXPECT_EQ(b.log.lines(), Lines{"Verify error at 000005"});
}

TEST(ZVPICSim, PermittedErrorCountTwoEndsEachLoopAtItsFirstFailureThere) {
    PicBench b;
    b.Fault("weak-words:3,7");
    for (size_t w = 0; w < 0x10; ++w) SetWord(b.buffer, w, static_cast<uint16_t>(0x0100 + w));
    SetWord(b.buffer, 0x2000, 0xFFFF);  // never verifies
    SetWord(b.buffer, 0x2001, 0x0005);
    EXPECT_EQ(b.Operation(5, 0, 0x10, 2), 3);
    EXPECT_EQ(b.log.lines(), (Lines{"Verify error at 000003", "Errors during the write: 3",
                                    "Too many errors: stopped"}));
    EXPECT_EQ(PicChipOf(b).Program(6), 0x0106);
    EXPECT_EQ(PicChipOf(b).Program(8), 0x3FFF) << "the program loop ended at word 7";
    EXPECT_EQ(PicChipOf(b).Config(1), 0x3FFF) << "the configuration loop ended at its first word";
}

TEST(ZVPICSim, CodeProtectedChipReadsZeroUntilErased) {
    PicBench b;
    PicChipOf(b).SetProgram(0x10, 0x1234);
    PicChipOf(b).SetConfig(0, 0x0003);
    b.Fault("code-protected");
    ASSERT_EQ(b.Operation(4, 0, 0x400), 0);
    EXPECT_EQ(b.log.lines(), Lines{"The chip is code protected: its program memory reads as 0000"});
    EXPECT_EQ(WordAt(b.buffer, 0x10), 0x0000);
    EXPECT_EQ(WordAt(b.buffer, 0x11), 0x0000);
    EXPECT_EQ(WordAt(b.buffer, 0x2000), 0x0003) << "IDs stay readable";
    EXPECT_EQ(WordAt(b.buffer, 0x2007), 0x000F);
    EXPECT_EQ(b.Operation(9, 0, 0x400, 1), 3);

    b.log.clear();
    EXPECT_EQ(b.Operation(7, 0, 0x400), 0);
    EXPECT_TRUE(b.log.lines().empty());
    EXPECT_FALSE(PicChipOf(b).CodeProtected());
    EXPECT_EQ(PicChipOf(b).Program(0x10), 0x3FFF);
    EXPECT_EQ(b.Operation(9, 0, 0x400), 0);
    EXPECT_TRUE(b.log.lines().empty());
}

TEST(ZVPICSim, ProtectionFromTheFileComesLastAndAVerifySaysWhatItCouldNotCompare) {
    for (const char* part : {"PIC16C84", "PIC16F84A"}) {
        SCOPED_TRACE(part);
        const uint16_t protect = std::string(part) == "PIC16C84" ? 0x3FEF : 0x000F;
        PicBench b(part);
        for (size_t w = 0; w < 8; ++w) SetWord(b.buffer, w, static_cast<uint16_t>(0x0A00 + w));
        SetWord(b.buffer, 0x2007, protect);
        const std::vector<uint8_t> file = b.buffer;
        ASSERT_EQ(b.Operation(5, 0, 8), 0);
        EXPECT_TRUE(PicChipOf(b).CodeProtected());
        EXPECT_EQ(PicChipOf(b).Program(7), 0x0A07);
        b.log.clear();
        EXPECT_EQ(b.Operation(6, 0, 8), 0);
        ASSERT_EQ(b.log.lines().size(), 1u);
        EXPECT_EQ(b.log.lines()[0].rfind("The chip is code protected, as the file asks", 0), 0u);

        // The same code on a chip that was left unprotected fails at its
        // configuration word, and says nothing of protection.
        PicBench plain(part);
        for (size_t w = 0; w < 8; ++w) PicChipOf(plain).SetProgram(w, static_cast<uint16_t>(0x0A00 + w));
        plain.buffer = file;
        EXPECT_EQ(plain.Operation(6, 0, 8), 3);
        EXPECT_EQ(plain.log.lines(), Lines{"Verify error at 002007"});
    }
}

// Only the part's own protection bits say that a file protects: the 16C84
// has bit 4 alone, and a file may hold anything in the bits it lacks. A
// verify against a file that protects takes the zeros of program memory as
// protection; against one that does not, zeros are differences.
TEST(ZVPICSim, OnlyThePartsProtectionBitsMakeAFileProtect) {
    struct Case {
        const char* part;
        uint16_t config;
        const char* firstLine;
    };
    const Case cases[] = {
        {"PIC16C84", 0x001F, "Verify error at 000000"},  // bit 4 set: not protected
        {"PIC16C84", 0x3FEF, "Verify error at 002007"},  // bit 4 clear: protected
        {"PIC16F84A", 0x3FDF, "Verify error at 002007"},  // bit 5 clear: protected
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.part) + " " + std::to_string(c.config));
        PicBench b(c.part);
        for (size_t w = 0; w < 8; ++w) {
            PicChipOf(b).SetProgram(w, 0x0000);
            SetWord(b.buffer, w, static_cast<uint16_t>(0x0A00 + w));
        }
        SetWord(b.buffer, 0x2007, c.config);
        EXPECT_EQ(b.Operation(6, 0, 8), 3);
        ASSERT_FALSE(b.log.lines().empty());
        EXPECT_EQ(b.log.lines().front(), c.firstLine);
    }
}

TEST(ZVPICSim, ChipLeavesProgramModeAloneWhenMclrIsOutsideItsWindow) {
    DeviceRecord record = PicRecord();
    record.VppW = 10.0;
    SimBench b(record);
    ClearPicBuffer(b.buffer);
    SetWord(b.buffer, 0, 0x0123);
    EXPECT_EQ(b.Operation(5, 0, 4, 1), 3);
    EXPECT_EQ(PicChipOf(b).Program(0), 0x3FFF);
}

TEST(ZVPICSim, DataLatchLeftHighByAnotherOperationDoesNotKeepTheChipOut) {
    PicBench b;
    b.link.DHSET(0x30);  // RB6 and RB7 high, as another socket's work may leave them
    SetWord(b.buffer, 0, 0x0ABC);
    EXPECT_EQ(b.Operation(5, 0, 1), 0);
    EXPECT_EQ(PicChipOf(b).Program(0), 0x0ABC);
}

TEST(ZVPICSim, LengthBeyondTheChipIsCutInsteadOfWrappingOntoWordZero) {
    PicBench b;
    SetWord(b.buffer, 0, 0x0111);
    SetWord(b.buffer, 0x400, 0x0222);  // would land on word 0 after the wrap
    EXPECT_EQ(b.Operation(5, 0, 0x800), 0);
    EXPECT_EQ(PicChipOf(b).Program(0), 0x0111);
    EXPECT_EQ(b.log.lines(), (Lines{"Range 000000+000800 reaches beyond the device end 000400: cut to 000400 addresses",
                                    "Written without errors."}));
    EXPECT_EQ(b.Operation(4, 0, 0), 2);

    // A range from near the end is cut there; one that starts at or beyond
    // the end is refused before the programmer is touched.
    b.log.clear();
    SetWord(b.buffer, 0x3FF, 0x0333);
    EXPECT_EQ(b.Operation(5, 0x3F0, 0x20), 0);
    EXPECT_EQ(PicChipOf(b).Program(0x3FF), 0x0333);
    EXPECT_EQ(b.log.lines(), (Lines{"Range 0003F0+000020 reaches beyond the device end 000400: cut to 000010 addresses",
                                    "Written without errors."}));
    const uint64_t frames = b.sim.Frames();
    for (uint32_t start : {0x400u, 0xFFFFFFFFu}) {
        EXPECT_EQ(b.Operation(4, start, 0x400), 2);
        EXPECT_EQ(b.Operation(6, start, 1), 2);
    }
    EXPECT_EQ(b.sim.Frames(), frames);
}

TEST(ZVPICSim, ProgrammerThatStopsAnsweringEndsTheOperation) {
    PicBench b;
    b.ExpectBreaches();  // frames sent to a programmer that stays busy
    StopsAnsweringPort port(b, 0x20);
    b.link.port = &port;
    const auto before = b.sim.now();
    EXPECT_EQ(b.Operation(4, 0, 0x400), 4);
    EXPECT_EQ(b.log.lines(), Lines{"KRT does not report ready (no answer for 2 seconds)."});
    EXPECT_LT(b.sim.now() - before, std::chrono::seconds(4));
}

// A bench whose buffer reaches the data EEPROM, as the catalogue sizes it.
struct PicDataBench : SimBench {
    static DeviceRecord Record(const std::string& name) {
        DeviceRecord r = PicRecord(name);
        r.bufsize = kPicBufferBytes;
        return r;
    }
    explicit PicDataBench(const std::string& name = "PIC16F84") : SimBench(Record(name)) {
        std::vector<uint8_t> blank(kPicBufferBytes);
        FillBlank(blank.data(), kPicBufferBytes, 4);
        buffer = blank;
    }
    uint16_t DataWord(uint32_t i) const { return WordAt(buffer, kPicDataEepromByte / 2 + i); }
};

constexpr char kEepromSource[] = R"(        processor 16f84
        include <p16f84.inc>
        __config _XT_OSC & _WDT_OFF
        org 0
        goto 0
        org 0x2100
        de 0x12, 0x34, 0xAB, "Hi"
        end
)";

// The EEPROM as gpsim loads it from a HEX file: 64 bytes, or none when
// gpsim cannot load the file.
std::vector<int> GpsimEeprom(const fs::path& dir, const std::string& file) {
    std::ofstream(dir / "dump.stc") << "load " << file << "\ndump e\nquit\n";
    const std::string command = "cd '" + dir.string() + "' && timeout 60 gpsim -i -p p16f84 -c dump.stc </dev/null >gpsim.out 2>&1";
    std::vector<int> bytes;
    if (std::system(command.c_str()) != 0) return bytes;
    std::ifstream in(dir / "gpsim.out");
    std::string line;
    while (std::getline(in, line)) {
        unsigned row = 0;
        if (line.size() < 8 || line[4] != ':' || std::sscanf(line.c_str(), "%4x:", &row) != 1 || row != bytes.size()) continue;
        std::istringstream fields(line.substr(5));
        for (int i = 0; i < 16; ++i) {
            unsigned b = 0;
            fields >> std::hex >> b;
            if (!fields) return {};
            bytes.push_back(static_cast<int>(b));
        }
    }
    return bytes;
}

TEST(ZVPICData, GpasmEepromDataWritesReadsBackSavesAndGpsimAgrees) {
    if (PicShell("command -v gpasm") != 0) GTEST_SKIP() << "gpasm is not installed (Debian: gputils)";
    const fs::path dir = Scratch("pic-eeprom");
    std::ofstream(dir / "eep.asm") << kEepromSource;
    ASSERT_EQ(PicShell("cd '" + dir.string() + "' && gpasm -o eep.hex eep.asm"), 0);

    PicDataBench b;
    ASSERT_EQ(HexFile(dir / "eep.hex", b.buffer).Read(), FILE_OK);
    EXPECT_EQ(b.DataWord(0), 0x0012);
    EXPECT_EQ(b.DataWord(4), 0x0069);
    EXPECT_EQ(b.DataWord(5), 0x00FF) << "a byte the file leaves out stays blank";
    ASSERT_EQ(b.Operation(5, 0, 0x400), 0);
    const uint8_t expected[] = {0x12, 0x34, 0xAB, 'H', 'i'};
    for (uint32_t i = 0; i < 64; ++i)
        ASSERT_EQ(PicChipOf(b).DataByte(i), i < 5 ? expected[i] : 0xFF) << "EEPROM byte " << i;
    EXPECT_EQ(b.Operation(6, 0, 0x400), 0);

    const std::vector<uint8_t> image = b.buffer;
    b.buffer.assign(b.buffer.size(), 0xEE);
    ASSERT_EQ(b.Operation(4, 0, 0x400), 0);
    for (uint32_t i = 0; i < 64; ++i) ASSERT_EQ(b.DataWord(i), WordAt(image, kPicDataEepromByte / 2 + i)) << i;
    ASSERT_EQ(HexFile(dir / "back.hex", b.buffer).Write(), FILE_OK);

    if (PicShell("command -v gpsim") != 0) GTEST_SKIP() << "gpsim is not installed";
    std::vector<int> chip;
    for (uint32_t i = 0; i < 64; ++i) chip.push_back(PicChipOf(b).DataByte(i));
    EXPECT_EQ(GpsimEeprom(dir, "back.hex"), chip);
}

TEST(ZVPICData, ADataByteThatDiffersIsFoundUntilTheEraseClearsIt) {
    PicDataBench b;
    PicChipOf(b).SetDataByte(7, 0x00);
    EXPECT_EQ(b.Operation(9, 0, 0x400), 3);
    EXPECT_EQ(b.log.lines(), Lines{"Not Blank at 002107"});
    b.log.clear();
    EXPECT_EQ(b.Operation(6, 0, 0x400), 3);
    EXPECT_EQ(b.log.lines(), Lines{"Verify error at 002107 (data EEPROM) Read:00 File:FF"});

    for (uint32_t i = 0; i < 64; ++i) PicChipOf(b).SetDataByte(i, static_cast<uint8_t>(i));
    ASSERT_EQ(b.Operation(7, 0, 0x400), 0);
    EXPECT_EQ(b.Operation(9, 0, 0x400), 0);
}

TEST(ZVPICData, WriteProgramsOnlyTheBytesThatDifferAndBeforeProtection) {
    PicDataBench b;
    for (uint32_t i = 0; i < 64; ++i) SetWord(b.buffer, kPicDataEepromByte / 2 + i, static_cast<uint16_t>(i * 3));
    SetWord(b.buffer, 0x2007, 0x000F);  // code protection on
    ASSERT_EQ(b.Operation(5, 0, 0x10), 0);
    EXPECT_TRUE(PicChipOf(b).CodeProtected());
    for (uint32_t i = 0; i < 64; ++i) ASSERT_EQ(PicChipOf(b).DataByte(i), i * 3) << "EEPROM byte " << i;

    // A byte that already holds its value is left alone; one with bits
    // above the byte can never be held.
    PicDataBench c;
    PicChipOf(c).SetDataByte(1, 0x42);
    SetWord(c.buffer, kPicDataEepromByte / 2 + 1, 0x0042);
    SetWord(c.buffer, kPicDataEepromByte / 2 + 2, 0x0142);  // more than a byte: never verifies
    EXPECT_EQ(c.Operation(5, 0, 0x10), 3);
    EXPECT_EQ(c.log.lines(), (Lines{"Verify error at 002102 (data EEPROM) Read:42 File:142", "Errors during the write: 1"}));
}

// A write of what the chip already holds programs nothing: every cycle
// wears the cells.
TEST(ZVPICData, AWriteOfWhatTheChipHoldsRunsNoCycle) {
    for (const uint32_t byte : {0u, 1u, 63u}) {
        SCOPED_TRACE(byte);
        PicDataBench b;
        PicChipOf(b).SetDataByte(byte, 0x42);
        SetWord(b.buffer, kPicDataEepromByte / 2 + byte, 0x0042);
        PicChipOf(b).ClearChanged();
        ASSERT_EQ(b.Operation(5, 0, 0x10), 0);
        EXPECT_FALSE(PicChipOf(b).Changed());
    }
}

struct PicIdBench : PicDataBench {
    explicit PicIdBench(const std::string& name) : PicDataBench(name) { record.idcheck = 1; }
};

TEST(ZVPICIdentity, AnotherPartIsRefusedBeforeAnyWriteOrErase) {
    for (uint8_t code : {uint8_t{5}, uint8_t{7}}) {
        PicIdBench b("PIC16F84A");
        std::string error;
        ASSERT_TRUE(PicChipOf(b).ApplyFault("wrong-part", "", error)) << error;
        PicChipOf(b).SetProgram(0, 0x1234);
        SetWord(b.buffer, 0, 0x0000);
        EXPECT_EQ(b.Operation(code, 0, 0x400), 4) << "code " << int{code};
        EXPECT_EQ(b.log.lines(), Lines{"Wrong device in the socket: expected PIC16F84A (0560h), found device ID "
                                       "07C0h; nothing was written or erased"});
        EXPECT_EQ(PicChipOf(b).Program(0), 0x1234) << "code " << int{code};
    }
}

// The revision bits of the device ID tell silicon steps of the same part:
// every revision is a 16F84A.
TEST(ZVPICIdentity, EveryRevisionOfThePartIsTakenAsIt) {
    for (uint8_t revision : {uint8_t{0x01}, uint8_t{0x10}, uint8_t{0x1F}}) {
        PicIdBench b("PIC16F84A");
        PicChipOf(b).SetRevision(revision);
        SetWord(b.buffer, 0, 0x0123);
        EXPECT_EQ(b.Operation(5, 0, 1), 0) << "revision " << int{revision};
        EXPECT_EQ(PicChipOf(b).Program(0), 0x0123) << "revision " << int{revision};
    }
}

TEST(ZVPICIdentity, RightPartPassesAndAPartWithoutAnIdIsSaidSo) {
    PicIdBench a("PIC16F84A");
    SetWord(a.buffer, 0, 0x0123);
    EXPECT_EQ(a.Operation(5, 0, 1), 0);
    EXPECT_EQ(a.log.lines(), Lines{"Written without errors."});
    EXPECT_EQ(PicChipOf(a).Program(0), 0x0123);

    PicIdBench b("PIC16F84");
    EXPECT_EQ(b.Operation(7, 0, 0x400), 0);
    EXPECT_EQ(b.log.lines(), Lines{"The PIC16F84 has no device ID: the part in the socket was not checked"});

    // Skipped on request: the write goes on whatever the part says.
    PicIdBench c("PIC16F84A");
    std::string error;
    ASSERT_TRUE(PicChipOf(c).ApplyFault("wrong-part", "", error));
    c.record.idcheck = 0;
    SetWord(c.buffer, 0, 0x0123);
    EXPECT_EQ(c.Operation(5, 0, 1), 0);
    EXPECT_EQ(PicChipOf(c).Program(0), 0x0123);
}

}  // namespace
}  // namespace krt::test

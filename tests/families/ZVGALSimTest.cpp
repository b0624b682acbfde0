// SPDX-License-Identifier: GPL-3.0-or-later
// The GAL family end to end through Dispatch on the simulated programmer,
// with the shipped catalogue's records and galette's fuse maps: round trips,
// erase, secure, the device option, the write retries and their lines, the
// error limit, cancel, and the 22V10's serial row address as the chip's pins
// see it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "SimBench.h"
#include "data/DataFile.h"
#include "families/ZVGAL.h"
#include "sim/chips/GalChip.h"
#include "support/ShippedRecord.h"

namespace krt::test {
namespace {

namespace fs = std::filesystem;

DeviceRecord ShippedGal(const std::string& name) { return ShippedRecord("GAL", "Lattice", name); }

fs::path JedecDir() { return fs::path(KRT_SOURCE_DIR) / "tests/data/jedec"; }

// The fuses of a .jed file as the File menu loads them.
std::vector<uint8_t> ReadJed(const DeviceRecord& record, const fs::path& path) {
    std::vector<uint8_t> fuses(record.bufsize, 0xEE);
    DataFile f(path.string(), FORMAT_JEDEC);
    f.buffer = fuses.data();
    f.bufsize = record.bufsize;
    f.length = record.maxsize;
    f.typecode = record.typecode;
    EXPECT_EQ(f.Read(), FILE_OK) << path;
    return fuses;
}

std::vector<uint8_t> RandomFuses(size_t n, uint32_t seed) {
    std::vector<uint8_t> v = RandomBytes(n, seed);
    for (auto& b : v) b &= 1;
    return v;
}

GalChip& GalChipOf(SimBench& b) { return *dynamic_cast<GalChip*>(b.sim.SocketChip()); }

// The ACW in shift order as offsets from the XOR base (the GAL notes' table).
int AcwOffset(int p) {
    static const std::vector<int> order = [] {
        std::vector<int> o;
        for (int i = 0; i <= 3; ++i) o.push_back(i);
        o.push_back(145);
        for (int i = 72; i <= 75; ++i) o.push_back(i);
        for (int i = 80; i <= 143; ++i) o.push_back(i);
        for (int i = 76; i <= 79; ++i) o.push_back(i);
        o.push_back(144);
        for (int i = 4; i <= 7; ++i) o.push_back(i);
        return o;
    }();
    return order[static_cast<size_t>(p)];
}

// The chip's cells hold exactly the fuse image (JEDEC fuse c x rows + r is
// bit c of edit row r), seen from the chip, not through the host's read.
void ExpectChipHolds(SimBench& b, const std::vector<uint8_t>& fuses) {
    GalChip& chip = GalChipOf(b);
    const GalPart& part = chip.Part();
    for (int r = 0; r < part.rows; ++r)
        for (int c = 0; c < part.columns; ++c)
            ASSERT_EQ(chip.ArrayBit(r, c), fuses[size_t(c * part.rows + r)]) << "row " << r << " bit " << c;
    for (int i = 0; i < 64; ++i) ASSERT_EQ(chip.Ues()[size_t(i)], fuses[size_t(b.record.SigBase + i)]) << i;
    if (b.record.typecode == 7) {
        for (int j = 0; j < 20; ++j)
            ASSERT_EQ(chip.ConfigBits()[size_t(j)], fuses[size_t(b.record.ASRBase + (j ^ 1))]) << "ASR " << j;
    } else {
        for (int p = 0; p < 82; ++p)
            ASSERT_EQ(chip.ConfigBits()[size_t(p)], fuses[size_t(b.record.ACWBase + AcwOffset(p))]) << "ACW " << p;
    }
}

TEST(ZVGALSim, EveryGaletteFileWritesVerifiesAndReadsBack) {
    int files = 0;
    for (const char* part : {"GAL16V8", "GAL20V8", "GAL22V10"}) {
        const DeviceRecord record = ShippedGal(part);
        for (const auto& entry : fs::directory_iterator(JedecDir())) {
            const std::string name = entry.path().filename().string();
            if (name.rfind(std::string(part) + "_", 0) != 0) continue;
            ++files;
            SCOPED_TRACE(name);
            SimBench b(record);
            const std::vector<uint8_t> fuses = ReadJed(record, entry.path());
            b.buffer = fuses;
            ASSERT_EQ(b.Operation(5, 0, record.maxsize), 0);
            const Lines lines = b.log.lines();
            // The chip's signature and the values it gives, the rows, the
            // signature row, ACW/ASR, end, verified.
            ASSERT_EQ(lines.size(), size_t(record.LineNumber) + 5);
            EXPECT_EQ(lines.front().rfind("Signature Lattice " + std::string(part), 0), 0u) << lines.front();
            EXPECT_EQ(lines[1], "Writing row 1/" + std::to_string(record.LineNumber));
            EXPECT_EQ(lines[size_t(record.LineNumber) + 1], "Writing the signature");
            EXPECT_EQ(lines[size_t(record.LineNumber) + 2], record.typecode == 7 ? "Writing the ASR" : "Writing the ACW");
            EXPECT_EQ(lines.back(), "Verify succeeded");
            ExpectChipHolds(b, fuses);

            EXPECT_EQ(b.Operation(6, 0, record.maxsize), 0);
            EXPECT_EQ(b.buffer, fuses);
            b.buffer.assign(b.buffer.size(), 0xEE);
            ASSERT_EQ(b.Operation(4, 0, record.maxsize), 0);
            EXPECT_EQ(b.buffer, fuses);
        }
    }
    EXPECT_EQ(files, 8);
}

TEST(ZVGALSim, EraseThenBlankCheckAndTheBufferStaysAsItWas) {
    for (const char* part : {"GAL16V8", "GAL22V10"}) {
        SCOPED_TRACE(part);
        SimBench b(ShippedGal(part));
        const auto fuses = RandomFuses(b.buffer.size(), 7);
        b.buffer = fuses;
        ASSERT_EQ(b.Operation(5, 0, b.record.maxsize), 0);
        b.log.clear();
        EXPECT_EQ(b.Operation(9, 0, b.record.maxsize, 1u << 30), 3);
        EXPECT_EQ(b.buffer, fuses);
        size_t zeros = 0;
        for (uint32_t i = 0; i < b.record.maxsize; ++i) zeros += fuses[i] == 0;
        EXPECT_EQ(b.CountLines("Not Blank at FUSE:"), zeros);
        EXPECT_EQ(Last(b.log.lines()), "Errors found by the verify: " + std::to_string(zeros));

        ASSERT_EQ(b.Operation(7, 0, b.record.maxsize), 0);
        b.log.clear();
        EXPECT_EQ(b.Operation(9, 0, b.record.maxsize), 0);
        EXPECT_EQ(b.buffer, fuses);
        EXPECT_EQ(b.CountLines("Not Blank"), 0u);
        // Verify compares the chip (now blank) and leaves the buffer alone too.
        EXPECT_EQ(b.Operation(6, 0, b.record.maxsize), 3);
        EXPECT_EQ(b.buffer, fuses);
    }
}

TEST(ZVGALSim, ProgrammingOnlyClearsCellsSoAnUnerasedChipKeepsItsZeros) {
    SimBench b(ShippedGal("GAL16V8"));
    b.buffer.assign(b.buffer.size(), 1);
    b.buffer[5] = 0;
    ASSERT_EQ(b.Operation(5, 0, b.record.maxsize), 0);
    b.buffer[5] = 1;
    b.buffer[6] = 0;
    b.log.clear();
    EXPECT_EQ(b.Operation(5, 0, b.record.maxsize, 0), 3);
    // Row 5 fails every attempt (its cell 0 cannot return to 1) and the
    // comparison names the fuse once; permitted 0 stops after the first.
    EXPECT_EQ(b.CountLines("The write did not succeed"), 1u);
    EXPECT_EQ(b.CountLines("Verify error at 5 Buffer:1 Written:0"), 1u);
    EXPECT_EQ(Last(b.log.lines()), "Errors found by the verify: 1");
    EXPECT_EQ(b.CountLines("Too many errors: no more are shown"), 1u);
}

TEST(ZVGALSim, SignatureIsNoDifferenceForVerifyButCountsInBlankCheck) {
    SimBench b(ShippedGal("GAL16V8"));
    const uint32_t sig = static_cast<uint32_t>(b.record.SigBase);
    b.buffer.assign(b.buffer.size(), 1);
    b.buffer[sig + 3] = 0;
    ASSERT_EQ(b.Operation(5, 0, b.record.maxsize), 0);
    b.buffer[sig + 3] = 1;
    b.buffer[sig + 9] = 0;
    b.log.clear();
    EXPECT_EQ(b.Operation(6, 0, b.record.maxsize), 0);
    EXPECT_EQ(b.CountLines("Verify error"), 0u);
    EXPECT_EQ(b.Operation(9, 0, b.record.maxsize), 3);
    const Lines lines = b.log.lines();
    EXPECT_EQ(Lines(lines.end() - 2, lines.end()), (Lines{"Not Blank at FUSE:" + std::to_string(sig + 3),
                                                          "Errors found by the verify: 1"}));
    EXPECT_EQ(b.CountLines("Not Blank"), 1u);
}

TEST(ZVGALSim, VerifyWithNoPermittedErrorsNamesTheFirstAndStops) {
    SimBench b(ShippedGal("GAL22V10"));
    b.buffer.assign(b.buffer.size(), 1);
    b.buffer[10] = 0;
    b.buffer[20] = 0;
    EXPECT_EQ(b.Operation(6, 0, b.record.maxsize, 0), 3);
    EXPECT_EQ(b.log.lines().size(), 44u + 3u);
    EXPECT_EQ(b.CountLines("Verify error at"), 1u);
    const Lines lines = b.log.lines();
    EXPECT_EQ(Lines(lines.end() - 3, lines.end()),
              (Lines{"Verify error at 10 Device:1 Buffer:0", "Too many errors: no more are shown",
                     "Errors found by the verify: 1"}));
    EXPECT_EQ(b.buffer[10], 0);
    EXPECT_EQ(b.buffer[11], 1);
}

TEST(ZVGALSim, WeakRowsRetryAndReportTheirAttempt) {
    {
        SimBench b(ShippedGal("GAL16V8"));
        b.Fault("weak-rows:5,60@2");
        b.buffer = RandomFuses(b.buffer.size(), 3);
        EXPECT_EQ(b.Operation(5, 0, b.record.maxsize), 0);
        EXPECT_EQ(b.CountLines("Written successfully at attempt 2"), 2u);
        EXPECT_EQ(b.CountLines("w"), 0u);
    }
    {
        DeviceRecord record = ShippedGal("GAL22V10");
        record.retry = 1;
        SimBench b(record);
        b.Fault("weak-rows:3@5");
        b.buffer.assign(b.buffer.size(), 1);
        b.buffer[44 * 7 + 3] = 0;  // row 3, bit 7
        EXPECT_EQ(b.Operation(5, 0, b.record.maxsize), 3);
        std::string w = "w" + std::string(7, '1') + "0" + std::string(124, '1') + "110000";
        std::string r = "r" + std::string(132, '1') + "110000";
        const Lines lines = b.log.lines();
        const auto at = std::find(lines.begin(), lines.end(), w);
        ASSERT_NE(at, lines.end());
        ASSERT_LT(at + 2, lines.end());
        EXPECT_EQ(at[1], r);
        EXPECT_EQ(at[2], "The write did not succeed");
        EXPECT_EQ(b.CountLines("Verify error at 311 Buffer:0 Written:1"), 1u);
    }
}

TEST(ZVGALSim, SecureBlocksTheArrayButNotTheSignatureAndEraseLiftsIt) {
    SimBench b(ShippedGal("GAL16V8"));
    const auto fuses = RandomFuses(b.buffer.size(), 11);
    b.buffer = fuses;
    ASSERT_EQ(b.Operation(5, 0, b.record.maxsize), 0);
    ASSERT_EQ(b.Operation(8, 0, b.record.maxsize), 0);
    EXPECT_TRUE(GalChipOf(b).Secured());
    b.buffer.assign(b.buffer.size(), 0xEE);
    ASSERT_EQ(b.Operation(4, 0, b.record.maxsize), 0);
    for (uint32_t i = 0; i < b.record.maxsize; ++i) {
        const bool sig = i >= uint32_t(b.record.SigBase) && i < uint32_t(b.record.SigBase) + 64;
        ASSERT_EQ(b.buffer[i], sig ? fuses[i] : 0) << i;
    }
    b.buffer = fuses;
    EXPECT_EQ(b.Operation(6, 0, b.record.maxsize), 3);
    ASSERT_EQ(b.Operation(7, 0, b.record.maxsize), 0);
    EXPECT_FALSE(GalChipOf(b).Secured());
    EXPECT_EQ(b.Operation(9, 0, b.record.maxsize), 0);
}

TEST(ZVGALSim, SecuredOnArrivalAnd22V10SecurityNotOffered) {
    {
        SimBench b(ShippedGal("GAL20V8"));
        b.Fault("secured");
        EXPECT_EQ(b.Operation(9, 0, b.record.maxsize), 3);  // the blocked array reads 0
        EXPECT_EQ(b.CountLines("Not Blank at FUSE:"), 101u);  // the first 100 permitted, then one more
    }
    {
        SimBench b(ShippedGal("GAL22V10"));
        EXPECT_EQ(b.Operation(8, 0, b.record.maxsize), 8);
        EXPECT_EQ(b.log.lines(), Lines{"Security of the GAL22 is not supported yet"});
        EXPECT_FALSE(GalChipOf(b).Secured());
    }
}

TEST(ZVGALSim, WrongVppProgramsAndErasesNothingAndEraseAndSecureSaySo) {
    SimBench b(ShippedGal("GAL16V8"));
    b.Fault("wrong-vpp");
    b.buffer = RandomFuses(b.buffer.size(), 5);
    EXPECT_EQ(b.Operation(5, 0, b.record.maxsize), 3);
    EXPECT_EQ(GalChipOf(b).ProgramStrobes(), 0u);
    b.log.clear();
    EXPECT_EQ(b.Operation(9, 0, b.record.maxsize), 0);

    // Secure on the blank chip: the array still reads 1s. Erase on a chip
    // with zeros: they stay. One line each; the buffer is left as it was.
    const std::vector<uint8_t> kept = b.buffer;
    b.log.clear();
    EXPECT_EQ(b.Operation(8, 0, b.record.maxsize), 3);
    // Secure reads the signature first, as the erase does.
    EXPECT_EQ(b.log.lines(), (Lines{"Signature Lattice GAL16V8, algorithm 3: 14.50 V, 40 ms (PES 00 03 00 A1 00 00 00 "
                                    "90): programming with its voltage and pulse",
                                    "After securing, the array still reads back (2130 fuses read 1): the security "
                                    "fuse was not set"}));
    EXPECT_FALSE(GalChipOf(b).Secured());
    GalChipOf(b).SetArrayBit(2, 5, 0);
    b.log.clear();
    EXPECT_EQ(b.Operation(7, 0, b.record.maxsize), 3);
    EXPECT_EQ(b.log.lines(), (Lines{"Signature Lattice GAL16V8, algorithm 3: 14.50 V, 40 ms (PES 00 03 00 A1 00 00 00 "
                                    "90): programming with its voltage and pulse",
                                    "After the erase 1 fuses still read 0 (the first at FUSE:162): the chip was not erased"}));
    EXPECT_EQ(b.buffer, kept);
}

// A range outside the fuse map, and a layout wider than the programmer's
// shift buffer, are refused before the port is touched.
TEST(ZVGALSim, RangeOrLayoutOutsideTheFuseMapIsRefusedBeforeThePort) {
    SimBench b(ShippedGal("GAL16V8"));
    const uint64_t frames = b.sim.Frames();
    for (uint8_t code : {4, 5, 6, 9}) {
        EXPECT_EQ(b.Operation(code, b.record.maxsize, 1), 2) << int(code);
        EXPECT_EQ(b.Operation(code, 0xFFFFFFFF, b.record.maxsize), 2) << int(code);
        EXPECT_EQ(b.Operation(code, 0, 0), 2) << int(code);
    }
    EXPECT_EQ(b.sim.Frames(), frames);

    b.record.ArrayLen = 300;
    b.record.maxsize = b.record.bufsize = 300 * 32 + 146;
    b.buffer.assign(b.record.bufsize, 0xFF);
    b.log.clear();
    EXPECT_EQ(b.Operation(5, 0, b.record.maxsize), 4);
    EXPECT_EQ(b.sim.Frames(), frames);
    ASSERT_EQ(b.log.lines().size(), 1u);
    EXPECT_NE(b.log.lines()[0].find("ArrayLen"), std::string::npos);
}

TEST(ZVGALSim, DeviceOptionShowsTheDecodedSignature) {
    SimBench b(ShippedGal("GAL16V8"));
    ASSERT_EQ(b.Operation(10, 0, b.record.maxsize), 0);
    EXPECT_EQ(b.log.lines(), (Lines{"Reading the PES", "Signature: Lattice GAL16V8, algorithm 3: 14.50 V, 40 ms "
                                                          "(PES 00 03 00 A1 00 00 00 90)"}));
    // An erase-all clears the signature: nothing is known of the part.
    SimBench c(ShippedGal("GAL22V10"));
    for (int i = 0; i < 8; ++i) GalChipOf(c).SetPesByte(i, 0);
    ASSERT_EQ(c.Operation(10, 0, c.record.maxsize), 0);
    EXPECT_EQ(c.log.lines(), (Lines{"Reading the PES",
                                    "Signature: unknown maker unknown part, algorithm 0 (PES 00 00 00 00 00 00 00 00)",
                                    "This signature names no known maker, part and algorithm"}));
}

TEST(ZVGALSim, SignatureTableByAlgorithmMakerAndPart) {
    struct Case {
        std::vector<uint8_t> pes;
        const char* maker;
        const char* part;
        double vpp;
        double pulseMs;
    };
    const Case cases[] = {
        {{0, 0x00, 0x00, 0xA1}, "Lattice", "GAL16V8", 15.75, 100},
        {{0, 0x02, 0x3A, 0xA1}, "Lattice", "GAL20V8", 16.5, 10},
        {{0, 0x03, 0x1A, 0x8F}, "National", "GAL16V8", 15.0, 40},  // National's algorithm 3 is 15 V
        {{0, 0x04, 0x20, 0x20}, "ST", "GAL20V8", 14.0, 100},
        {{0, 0x00, 0x48, 0xA1}, "Lattice", "GAL22V10", 16.5, 10},  // the 22V10 has its own table
        {{0, 0x02, 0x49, 0x8F}, "National", "GAL22V10", 15.0, 40},
        {{0, 0x05, 0x00, 0xA1, 0xC0, 0x14}, "Lattice", "GAL16V8", 10.0, 40},  // algorithm 5: its own values
        {{0, 0x06, 0x00, 0xA1}, "Lattice", "GAL16V8", 0, 0},                  // no such algorithm
        {{0x31, 0x42, 0x38, 0x56}, nullptr, nullptr, 0, 0},                  // an ATF16V8B's ASCII
    };
    for (const Case& c : cases) {
        uint8_t bits[64] = {};
        for (size_t b = 0; b < c.pes.size(); ++b)
            for (int i = 0; i < 8; ++i) bits[8 * b + size_t(i)] = (c.pes[b] >> i) & 1;
        const GalSignature s = ZVGAL::DecodeSignature(bits);
        const std::string what = std::string(c.part ? c.part : "-") + " " + std::to_string(c.pes[1]);
        EXPECT_STREQ(s.maker, c.maker) << what;
        EXPECT_STREQ(s.part, c.part) << what;
        EXPECT_DOUBLE_EQ(s.vpp, c.vpp) << what;
        EXPECT_DOUBLE_EQ(s.pulseSeconds * 1000.0, c.pulseMs) << what;
        EXPECT_EQ(s.Valid(), c.vpp > 0) << what;
    }
}

// Before a write or an erase the signature is read: another part is
// refused with the supplies off and nothing programmed.
TEST(ZVGALSim, AnotherPartIsRefusedBeforeAnyWriteOrErase) {
    for (uint8_t code : {uint8_t{5}, uint8_t{7}}) {
        SimBench b(ShippedGal("GAL16V8"));
        b.Fault("wrong-part");
        GalChipOf(b).SetArrayBit(2, 5, 0);
        b.buffer.assign(b.buffer.size(), 0);
        EXPECT_EQ(b.Operation(code, 0, b.record.maxsize), 4) << int{code};
        EXPECT_EQ(b.log.lines(), Lines{"Wrong device in the socket: expected GAL16V8, found signature Lattice "
                                       "GAL20V8, algorithm 3: 14.50 V, 40 ms (PES 00 03 3A A1 00 00 00 90); "
                                       "nothing was written or erased"});
        EXPECT_EQ(GalChipOf(b).ProgramStrobes(), 0u);
        EXPECT_EQ(GalChipOf(b).ArrayBit(2, 5), 0);
        EXPECT_EQ(b.sim.Vpp(), 0.0);

        b.record.idcheck = 0;
        b.log.clear();
        EXPECT_NE(b.Operation(code, 0, b.record.maxsize), 4) << int{code};
        if (code == 5)
            EXPECT_GT(GalChipOf(b).ProgramStrobes(), 0u);
        else
            EXPECT_EQ(GalChipOf(b).ArrayBit(2, 5), 1);
    }
}

// A part of another algorithm programs only at its own voltage and pulse:
// the signature's values are taken over the catalogue's 14.5 V and 40 ms.
TEST(ZVGALSim, WriteAndEraseUseTheSignaturesVoltageAndPulse) {
    SimBench b(ShippedGal("GAL16V8"));
    GalChipOf(b).SetAlgorithm(2, 16.5, 10'000'000);
    b.buffer = RandomFuses(b.buffer.size(), 11);
    ASSERT_EQ(b.Operation(5, 0, b.record.maxsize), 0);
    ASSERT_FALSE(b.log.lines().empty());
    EXPECT_EQ(b.log.lines().front(), "Signature Lattice GAL16V8, algorithm 2: 16.50 V, 10 ms (PES 00 02 00 A1 00 00 "
                                     "00 90): programming with its voltage and pulse");
    EXPECT_EQ(b.log.lines().back(), "Verify succeeded");
    b.log.clear();
    EXPECT_EQ(b.Operation(7, 0, b.record.maxsize), 0);
    EXPECT_EQ(b.Operation(9, 0, b.record.maxsize), 0);

    // Unreadable signature: the catalogue's values, said so; this part
    // then takes nothing.
    SimBench c(ShippedGal("GAL16V8"));
    GalChipOf(c).SetAlgorithm(2, 16.5, 10'000'000);
    GalChipOf(c).SetPesByte(3, 0x00);
    c.buffer = RandomFuses(c.buffer.size(), 11);
    EXPECT_EQ(c.Operation(5, 0, c.record.maxsize), 3);
    ASSERT_FALSE(c.log.lines().empty());
    EXPECT_EQ(c.log.lines().front(), "Signature not used (unknown maker unknown part, algorithm 2 "
                                     "(PES 00 02 00 00 00 00 00 90)): programming with the device parameters' "
                                     "14.50 V and 40 ms");
    EXPECT_EQ(GalChipOf(c).ProgramStrobes(), 0u);
}

// Forwards the log and cancels the running operation once a line appears.
struct CancelAt : LogSink {
    LinkContext* link;
    LogSink* next;
    std::string when;
    void line(std::string_view utf8) override {
        next->line(utf8);
        if (utf8 == when) link->CancelOperation();
    }
};

TEST(ZVGALSim, CancelBetweenRowsLeavesTheChipPartlyProgrammed) {
    SimBench b(ShippedGal("GAL16V8"));
    b.buffer.assign(b.buffer.size(), 0);
    CancelAt sink;
    sink.link = &b.link;
    sink.next = &b.log;
    sink.when = "Writing row 3/32";
    b.link.log = &sink;
    EXPECT_EQ(b.Operation(5, 0, b.record.maxsize), 1);
    EXPECT_EQ(Last(b.log.lines()), "Writing row 3/32");
    GalChip& chip = GalChipOf(b);
    EXPECT_EQ(chip.ArrayBit(2, 0), 0);
    EXPECT_EQ(chip.ArrayBit(3, 0), 1);
    EXPECT_EQ(chip.Ues()[0], 1);
}

// A 22V10 that notes, for every program strobe, the bits that SCLK took in
// from SDIN since P/V went high.
struct SpyGal : GalChip {
    using GalChip::GalChip;
    std::vector<uint8_t> taken;
    std::vector<std::vector<uint8_t>> programmed;
    bool clock = false, pv = false;
    void PinsChanged(const SocketState& s, uint32_t changed) override {
        if (s.Level(Pin::PV) && !pv) taken.clear();
        pv = s.Level(Pin::PV);
        const bool c = s.Level(Pin::SCLK);
        if (c && !clock) taken.push_back(s.Level(Pin::SDIN));
        clock = c;
        GalChip::PinsChanged(s, changed);
    }
    void Strobe(const SocketState& s, uint64_t pulseNs) override {
        if (s.Level(Pin::PV)) programmed.push_back(taken);
        taken.clear();
        GalChip::Strobe(s, pulseNs);
    }
};

TEST(ZVGALSim, SerialRowAddressFollowsTheDataBits) {
    SimBench b(ShippedGal("GAL22V10"));
    auto spy = std::make_unique<SpyGal>("GAL22V10", *GalPartForConfig(7));
    SpyGal* chip = spy.get();
    b.sim.InsertChip(std::move(spy));
    b.buffer = RandomFuses(b.buffer.size(), 9);
    ASSERT_EQ(b.Operation(5, 0, b.record.maxsize), 0);
    ASSERT_EQ(chip->programmed.size(), 44u + 2u);
    const std::vector<uint8_t>& line5 = chip->programmed[5];
    ASSERT_EQ(line5.size(), 138u);
    for (int c = 0; c < 132; ++c) EXPECT_EQ(line5[size_t(c)], b.buffer[size_t(c * 44 + 5)]) << c;
    EXPECT_EQ(std::vector<uint8_t>(line5.begin() + 132, line5.end()), (std::vector<uint8_t>{1, 0, 1, 0, 0, 0}));
    const std::vector<uint8_t>& signature = chip->programmed[44];
    ASSERT_EQ(signature.size(), 138u);
    EXPECT_EQ(std::vector<uint8_t>(signature.begin() + 132, signature.end()), (std::vector<uint8_t>{0, 0, 1, 1, 0, 1}));
}

TEST(ZVGALSim, AProgrammingVoltageBeyondTheProgrammerEndsBeforePowerUp) {
    DeviceRecord record = ShippedGal("GAL16V8");
    record.VppW = 25.0;
    SimBench b(record);
    b.buffer.assign(b.buffer.size(), 0);
    for (uint8_t code : {5, 7, 8}) EXPECT_EQ(b.Operation(code, 0, record.maxsize), 3) << int(code);
    EXPECT_EQ(GalChipOf(b).ProgramStrobes(), 0u);
    EXPECT_EQ(b.CountLines("1/32"), 0u);
}

}  // namespace
}  // namespace krt::test

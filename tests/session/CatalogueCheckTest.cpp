// SPDX-License-Identifier: GPL-3.0-or-later
// The catalogue check over every entry that ships, one test per entry (so
// that they run side by side): adding an entry adds its proof. Each data
// operation covers the sampled words (both ends and every address line); the
// family tests run whole chips of each family, and krt selftest (run by
// tools/test in the optimised build) every part whole.
#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>

#include "catalogue/CatalogueFiles.h"
#include "session/CatalogueCheck.h"

namespace krt {
namespace {

namespace fs = std::filesystem;

constexpr uint32_t kSampleWords = 64;

const Catalogue& Shipped() {
    static const Catalogue catalogue = [] {
        Catalogue c;
        OpenCatalogue(std::string(KRT_SOURCE_DIR) + "/devices", nullptr, c);
        return c;
    }();
    return catalogue;
}

std::vector<int32_t> ShippedEntries() {
    std::vector<int32_t> out;
    for (int32_t i = 0; i < Shipped().list.count; ++i) out.push_back(i);
    return out;
}

void ExpectProven(const EntryProof& p) {
    EXPECT_NE(p.outcome, ProofOutcome::Failed) << ProofLine(p, 1);
    // Only a part whose programming voltage the programmer cannot supply
    // may be proven read-only.
    if (p.outcome == ProofOutcome::ReadOnly) {
        EXPECT_NE(p.detail.find("write refused"), std::string::npos) << p.name;
    }
}

class CatalogueEntry : public ::testing::TestWithParam<int32_t> {};

TEST_P(CatalogueEntry, IsProvenOnItsSimulatedChip) {
    const int32_t i = GetParam();
    ASSERT_LT(i, Shipped().list.count);
    CatalogueCheckOptions options;
    options.sampleWords = kSampleWords;
    options.seed = static_cast<uint32_t>(i + 1);
    ExpectProven(ProveCatalogueEntry(Shipped(), i, options));
}

// 017_EPROM_AMD_27C256: the list position keeps names apart.
std::string EntryName(const ::testing::TestParamInfo<int32_t>& info) {
    const DeviceList& list = Shipped().list;
    char number[8];
    std::snprintf(number, sizeof number, "%03d", static_cast<int>(info.param));
    std::string name = std::string(number) + "_" + list.types[info.param] + "_" + list.makers[info.param] + "_" +
                       list.names[info.param];
    for (char& c : name)
        if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(Shipped, CatalogueEntry, ::testing::ValuesIn(ShippedEntries()), EntryName);

TEST(CatalogueCheck, TheListIsNotEmpty) { EXPECT_GT(Shipped().list.count, 100); }

// Two sampled words that differ in only one address line, for every line:
// a host that loses that line writes both into one cell.
TEST(SampledSpans, EveryAddressLineHasAPairOfWordsThatDifferOnlyInIt) {
    for (uint32_t words : {0x800u, 0x8000u, 0x10000u, 0x80000u, 0x200000u, 3000u}) {
        std::vector<uint32_t> sampled;
        uint32_t total = 0;
        const std::vector<WordSpan> spans = SampledSpans(words, 64);
        for (size_t k = 0; k < spans.size(); ++k) {
            if (k > 0) {
                EXPECT_GT(spans[k].start, spans[k - 1].start + spans[k - 1].length) << "merged, in order";
            }
            for (uint32_t w = spans[k].start; w < spans[k].start + spans[k].length; ++w) sampled.push_back(w);
            total += spans[k].length;
        }
        ASSERT_FALSE(spans.empty());
        EXPECT_EQ(spans.front().start, 0u);
        EXPECT_EQ(spans.back().start + spans.back().length, words);
        EXPECT_LE(total, 2 * 64 + 2 * 22u) << words;
        for (uint32_t bit = 1; bit < words; bit <<= 1) {
            bool pair = false;
            for (uint32_t w : sampled)
                pair = pair || (!(w & bit) && std::binary_search(sampled.begin(), sampled.end(), w | bit));
            EXPECT_TRUE(pair) << words << " words, line " << bit;
        }
    }
    EXPECT_EQ(SampledSpans(100, 64), (std::vector<WordSpan>{{0, 100}}));
    EXPECT_EQ(SampledSpans(100, 0), (std::vector<WordSpan>{{0, 100}}));
    EXPECT_TRUE(SampledSpans(0, 64).empty());
}

// A 24C16 whose block bits (A8-A10, in the device address byte) are lost
// keeps only 256 cells. Written and read back over the ends alone, it looks
// sound; over the sampled words a cell is written twice and one reads wrong.
TEST(SampledSpans, CatchATwoWirePartWhoseBlockBitsAreLost) {
    const auto lostBlockBits = [](const std::vector<WordSpan>& spans) {
        std::map<uint32_t, uint32_t> cells;  // cell: the word last written into it
        for (const WordSpan& s : spans)
            for (uint32_t w = s.start; w < s.start + s.length; ++w) cells[w & 0xFF] = w;
        for (const WordSpan& s : spans)
            for (uint32_t w = s.start; w < s.start + s.length; ++w)
                if (cells[w & 0xFF] != w) return true;
        return false;
    };
    EXPECT_FALSE(lostBlockBits({{0, 64}, {0x800 - 64, 64}}));
    EXPECT_TRUE(lostBlockBits(SampledSpans(0x800, 64)));
}

TEST(CatalogueCheck, AnEntryWithoutAChipModelFailsWithItsName) {
    const fs::path dir = fs::path(testing::TempDir()) / "catalogue-check-no-model";
    fs::create_directories(dir);
    std::ofstream(dir / "DEVICE.LST") << "DRAM,Acme,AC4164,00,dram.prm\n";
    std::ofstream(dir / "dram.prm") << "device\tAC4164\nmaxsize\t100\n";
    Catalogue catalogue;
    ASSERT_TRUE(OpenCatalogue(dir.string(), nullptr, catalogue));
    const EntryProof p = ProveCatalogueEntry(catalogue, 0, {});
    EXPECT_EQ(p.outcome, ProofOutcome::Failed);
    const std::string line = ProofLine(p, 1);
    EXPECT_NE(line.find("AC4164"), std::string::npos) << line;
    EXPECT_NE(line.find("socket"), std::string::npos) << line;
    EXPECT_EQ(ProofSummary({p}, 1), "1 devices: 0 read/write, 0 read-only, 1 failed");
}

}  // namespace
}  // namespace krt

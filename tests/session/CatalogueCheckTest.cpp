// The catalogue check over every entry that ships: adding an entry adds its
// proof. Each data operation covers the first and the last 64 words of the
// device (the lowest and the highest address lines); krt selftest runs the
// whole device.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "catalogue/CatalogueFiles.h"
#include "session/CatalogueCheck.h"

namespace krt {
namespace {

namespace fs = std::filesystem;

constexpr uint32_t kSampleWords = 64;

TEST(CatalogueCheck, EveryShippedEntryIsProvenOnItsSimulatedChip) {
    Catalogue catalogue;
    ASSERT_TRUE(OpenCatalogue(std::string(KRT_SOURCE_DIR) + "/devices", nullptr, catalogue));
    CatalogueCheckOptions options;
    options.sampleWords = kSampleWords;
    std::vector<EntryProof> proofs;
    for (int32_t i = 0; i < catalogue.list.count; ++i) {
        options.seed = static_cast<uint32_t>(i + 1);
        proofs.push_back(ProveCatalogueEntry(catalogue, i, options));
        const EntryProof& p = proofs.back();
        EXPECT_NE(p.outcome, ProofOutcome::Failed) << ProofLine(p, 1);
    }
    // Only a part whose programming voltage the programmer cannot supply
    // may be proven read-only.
    for (const EntryProof& p : proofs) {
        if (p.outcome == ProofOutcome::ReadOnly) {
            EXPECT_NE(p.detail.find("write refused"), std::string::npos) << p.name;
        }
    }
    std::printf("%s\n", ProofSummary(proofs, 1).c_str());
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

// SPDX-License-Identifier: GPL-3.0-or-later
// The catalogue check: every entry of the device list proven on its
// simulated chip. For one entry it loads the device, puts a blank chip of it
// in a strict simulated programmer's socket and runs what the device
// supports: blank check, write of a random image, verify, read back and
// compare bit for bit, erase (or UV light for a windowed EPROM) and blank
// check again. A part that this programmer cannot program (its Vpp is beyond
// the supply) is proven read-only: its write must be refused before the
// chip is powered, and an image placed in the chip must read and verify.
// Used by the catalogue test and by krt selftest.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "catalogue/DeviceLoader.h"

namespace krt {

enum class ProofOutcome { ReadWrite, ReadOnly, Failed };

struct EntryProof {
    std::string type, maker, name;
    ProofOutcome outcome = ProofOutcome::Failed;
    // What was run (e.g. "blank, write, verify, read, erase, blank"), or
    // why the entry failed: the step, its result and the last log line.
    std::string detail;
    uint32_t words = 0;       // device words that were written and read back
    uint64_t virtualNs = 0;   // the simulated programmer's time for the entry
};

struct CatalogueCheckOptions {
    // 0: every word of the device. Else each data operation covers the
    // words of SampledSpans, which proves the same with a smaller image.
    // GAL and PIC always take their whole (small) image.
    uint32_t sampleWords = 0;
    uint32_t seed = 1;
};

// Words [start, start + length) of a device.
struct WordSpan {
    uint32_t start = 0, length = 0;
    bool operator==(const WordSpan&) const = default;
};

// The words a sampled run covers on a device of `words` words: the first and
// the last `sampleWords`, and for every address line one word with that line
// alone high (1 << b) and one with every line but it high. A line that the
// host drops or holds, or a bank or block bit it loses, makes two of these
// words one cell, and the one written first reads back wrong. In address
// order; adjacent words are one span. Every word when the sample covers the
// device anyway.
std::vector<WordSpan> SampledSpans(uint32_t words, uint32_t sampleWords);

// Proves entry `index` of the catalogue's list.
EntryProof ProveCatalogueEntry(const Catalogue& catalogue, int32_t index, const CatalogueCheckOptions& options);

// The entries whose type, maker and name match (each compared without regard
// to case; an empty filter matches all), in list order.
std::vector<int32_t> SelectEntries(const DeviceList& list, const std::string& type, const std::string& maker,
                                   const std::string& name);

// One line for the user per entry, and the summary over all of them.
std::string ProofLine(const EntryProof& proof, uint32_t language);
std::string ProofSummary(const std::vector<EntryProof>& proofs, uint32_t language);

}  // namespace krt

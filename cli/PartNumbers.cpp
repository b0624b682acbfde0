// SPDX-License-Identifier: GPL-3.0-or-later
// A device named by its part number alone: `krt write 27C256 fw.hex`
// stands for `krt write EPROM Intel 27C256 fw.hex` when the catalogue leaves
// no doubt which entry is meant.
//
// A word that is a type key of the catalogue starts the three-word form,
// which is kept as it is. Any other word is looked up, without regard to
// case, among the part numbers of every type and maker: one entry is used;
// several entries are used only when they load the same programming record
// (they then program the chip alike and the first is as good as any),
// otherwise the run stops with a usage error that lists them.
#include "cli/PartNumbers.h"

#include <strings.h>

#include <cstdio>

#include "base/Log.h"
#include "catalogue/CatalogueTexts.h"
#include "catalogue/DeviceLoader.h"
#include "catalogue/PartSearch.h"
#include "cli/CliSession.h"
#include "session/Job.h"

namespace krt {

namespace {

// Where each command takes its device: the index of the TYPE word among its
// arguments, and whether a single word there may be a part number.
struct DeviceWords {
    const char* command;
    size_t index;
};

constexpr DeviceWords kDeviceWords[] = {
    {"read", 0},   {"write", 0},   {"verify", 0}, {"compare", 0}, {"blank", 0},   {"erase", 0}, {"secure", 0},
    {"option", 0}, {"auto", 0},   {"sdp", 1},    {"convert", 0}, {"sum", 0},   {"info", 0},
    {"selftest", 0}, {"batch", 1}, {"check", 0},
};

bool SameText(const std::string& a, const std::string& b) { return strcasecmp(a.c_str(), b.c_str()) == 0; }

}  // namespace

std::string EntryLine(const DeviceList& list, int32_t entry) {
    const size_t i = static_cast<size_t>(entry);
    return list.types[i] + " " + list.makers[i] + " " + list.names[i];
}

int ExpandPartNumber(CliSession& session, const std::string& command, std::vector<std::string>& args) {
    const DeviceWords* words = nullptr;
    for (const DeviceWords& w : kDeviceWords)
        if (command == w.command) words = &w;
    if (!words || args.size() <= words->index) return 0;
    // selftest takes a type, a type and maker, or all three: a part number
    // alone is its only one-word form that is not a type.
    if (command == "selftest" && args.size() != 1) return 0;

    Catalogue catalogue;
    // Without a catalogue the command itself says so.
    if (!OpenCatalogue(session.options.catalogue, nullptr, catalogue)) return 0;
    const DeviceList& list = catalogue.list;
    const std::string& word = args[words->index];
    for (const std::string& type : list.TypesOf())
        if (SameText(type, word)) return 0;

    // The entries of the part number, and whether they program the chip alike.
    const PartEntries found = FindPartEntries(list, catalogue.directory, word, session.options.language);
    const std::vector<int32_t>& entries = found.entries;
    if (entries.empty()) {
        // The number printed on a chip: the entry to use is named, not taken
        // (the same number may be a windowed and a one-time part).
        const PartSearch search = SearchParts(list, word);
        if (search.marking) {
            std::fprintf(stderr, "krt: %s\n",
                         Format(CatalogueTextOf(session.options.language, CatalogueText::PrintedNumber), word.c_str(),
                                search.number.c_str(), EntryLine(list, search.entries.front()).c_str())
                             .c_str());
            return kExitUsage;
        }
        std::string near;
        for (int32_t entry : search.entries) {
            if (near.size() > 200) {
                near += ", ...";
                break;
            }
            near += (near.empty() ? "" : ", ") + list.names[static_cast<size_t>(entry)];
        }
        std::fprintf(stderr, "krt: \"%s\" is neither a device type nor a part number of the catalogue%s%s%s\n",
                     word.c_str(), near.empty() ? " (krt list shows the types" : " (part numbers that contain it: ",
                     near.c_str(), near.empty() ? "; krt list --find TEXT finds parts)" : ")");
        return kExitUsage;
    }

    if (entries.size() > 1 && !found.alike) {
        std::fprintf(stderr, "krt: part number %s is in the catalogue %zu times with different parameters; "
                             "name one of them in full:\n", word.c_str(), entries.size());
        for (int32_t entry : entries) std::fprintf(stderr, "  %s\n", EntryLine(list, entry).c_str());
        return kExitUsage;
    }

    const size_t first = static_cast<size_t>(entries.front());
    const auto at = args.begin() + static_cast<std::ptrdiff_t>(words->index);
    *at = list.names[first];
    args.insert(at, {list.types[first], list.makers[first]});
    return 0;
}

}  // namespace krt

// SPDX-License-Identifier: GPL-3.0-or-later
// krt complete: the words the bash completion offers, one per line, taken
// from krt itself and the catalogue it would use, so that the completion
// never knows less than the program.
#include <strings.h>

#include <cstdio>
#include <set>
#include <string>
#include <vector>

#include "catalogue/DeviceLoader.h"
#include "cli/Cli.h"
#include "cli/PartNumbers.h"
#include "cli/CliSession.h"
#include "sim/VirtualKrt.h"

namespace krt {

namespace {

bool StartsWith(const std::string& word, const std::string& prefix) {
    return word.size() >= prefix.size() && strncasecmp(word.c_str(), prefix.c_str(), prefix.size()) == 0;
}

// The fault names of --sim-fault without their arguments.
std::vector<std::string> FaultNames() {
    std::vector<std::string> names;
    const std::string list = VirtualKrt::FaultList();
    size_t from = 0;
    while (from < list.size()) {
        size_t end = list.find(", ", from);
        if (end == std::string::npos) end = list.size();
        const std::string item = list.substr(from, end - from);
        names.push_back(item.substr(0, item.find(':')));
        from = end + 2;
    }
    return names;
}

int RunComplete(CliSession& session, const std::vector<std::string>& args) {
    if (args.empty() || args.size() > 2) {
        std::fprintf(stderr, "krt: usage: krt complete commands|options|faults|types|parts [PREFIX]\n");
        return kExitUsage;
    }
    const std::string& what = args[0];
    const std::string prefix = args.size() > 1 ? args[1] : "";
    std::vector<std::string> words;
    if (what == "commands") {
        words = CommandNames();
    } else if (what == "options") {
        words = OptionNames();
    } else if (what == "faults") {
        words = FaultNames();
    } else if (what == "types" || what == "parts") {
        Catalogue catalogue;
        if (!OpenCatalogue(session.options.catalogue, nullptr, catalogue)) return 2;
        if (what == "types") {
            words = catalogue.list.TypesOf();
        } else {
            std::set<std::string> seen;
            for (int32_t i = 0; i < catalogue.list.count; ++i) {
                const std::string& name = catalogue.list.names[static_cast<size_t>(i)];
                if (seen.insert(name).second) words.push_back(name);
            }
        }
    } else {
        std::fprintf(stderr, "krt: complete wants commands, options, faults, types or parts, not \"%s\"\n",
                     what.c_str());
        return kExitUsage;
    }
    for (const std::string& word : words)
        if (StartsWith(word, prefix) && word != "complete") std::printf("%s\n", word.c_str());
    return std::fflush(stdout) == 0 && !std::ferror(stdout) ? 0 : kExitCannotCreate;
}

}  // namespace

void RegisterCompletionCommands(std::vector<CliCommand>& table) {
    table.push_back({"complete", "complete WHAT [PREFIX]",
                     "the words of WHAT (commands, options, faults, types, parts) that start with PREFIX, "
                     "one per line (for the bash completion)",
                     &RunComplete});
}

}  // namespace krt

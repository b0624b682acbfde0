// SPDX-License-Identifier: GPL-3.0-or-later
// krt identify: reads the product ID of the chip in the socket with the
// 5 V flash command set and names the catalogue entries with that ID.
#include <cstdio>
#include <string>
#include <vector>

#include "base/Log.h"
#include "catalogue/DeviceLoader.h"
#include "cli/Cli.h"
#include "cli/CliSession.h"
#include "session/Identify.h"

namespace krt {

namespace {

int RunIdentify(CliSession& session, const std::vector<std::string>& args) {
    if (args.size() > 1 || (args.size() == 1 && args[0] != "3" && args[0] != "6")) {
        std::fprintf(stderr, "krt: usage: krt identify [3|6]\n");
        return kExitUsage;
    }
    LogSink* log = SessionLog(session);
    Catalogue catalogue;
    if (!OpenCatalogue(session.options.catalogue, log, catalogue)) {
        std::fprintf(stderr, "krt: no device list (DEVICE.LST) found; name the catalogue with --catalogue DIR\n");
        return kExitNoInput;
    }
    std::string error;
    if (!session.OpenPort(error)) {
        if (!error.empty()) std::fprintf(stderr, "krt: %s\n", error.c_str());
        return session.openFailure;
    }
    const uint8_t found = session.StartUp();
    if (found != RESULT_OK && !session.options.force) return found;
    const uint8_t entry = args.empty() ? 3 : static_cast<uint8_t>(args[0] == "6" ? 6 : 3);
    const IdentifyReport report = IdentifyChip(session.core, catalogue, session.options.language, entry);
    if (!report.restoreLine.empty()) Log(log, "%s", report.restoreLine.c_str());
    if (!report.line.empty()) Log(log, "%s", report.line.c_str());
    return report.result;
}

}  // namespace

void RegisterIdentifyCommands(std::vector<CliCommand>& table) {
    table.push_back({"identify", "identify [3|6]",
                     "read the product ID of the chip in the socket with the 5 V flash command set (3: AA 55 90, "
                     "the default; 6: AA 55 80 AA 55 60, which the W29EE011 and W29C020 need) and name the "
                     "catalogue entries with that maker and device code. Exit 7 when no chip answers",
                     &RunIdentify});
}

}  // namespace krt

// krt list and krt info: the catalogue without the programmer. Neither
// command opens a port or starts the link.
#include <cstdio>
#include <string>
#include <vector>

#include "catalogue/CatalogueFiles.h"
#include "catalogue/CatalogueTexts.h"
#include "catalogue/DeviceLoader.h"
#include "catalogue/TextLines.h"
#include "cli/Cli.h"
#include "cli/Session.h"
#include "base/Log.h"

namespace krt {

namespace {

bool OpenOrExplain(CliSession& session, LogSink* log, Catalogue& catalogue) {
    if (OpenCatalogue(session.options.catalogue, log, catalogue)) return true;
    std::string searched;
    for (const std::string& dir : CatalogueDirectories(session.options.catalogue))
        searched += (searched.empty() ? "" : ", ") + dir;
    std::fprintf(stderr, "krt: %s (searched: %s; name the catalogue with --catalogue DIR)\n",
                 CatalogueTextOf(session.options.language, CatalogueText::ListOpenFailed),
                 searched.empty() ? "nothing" : searched.c_str());
    return false;
}

void PrintLines(LogSink* log, const std::vector<std::string>& lines) {
    for (const std::string& line : lines) Log(log, "%s", line.c_str());
}

int RunList(CliSession& session, const std::vector<std::string>& args) {
    if (args.size() > 2) {
        std::fprintf(stderr, "krt: usage: krt list [TYPE [MAKER]]\n");
        return 2;
    }
    LogSink* log = SessionLog(session);
    Catalogue catalogue;
    if (!OpenOrExplain(session, log, catalogue)) return 2;
    const DeviceList& list = catalogue.list;
    std::vector<std::string> lines;
    if (args.empty()) lines = list.TypesOf();
    else if (args.size() == 1) lines = list.MakersOf(args[0]);
    else lines = list.NamesOf(args[0], args[1]);
    if (lines.empty()) {
        std::fprintf(stderr, "krt: nothing in the catalogue for %s%s%s (see krt list%s%s)\n",
                     args[0].c_str(), args.size() > 1 ? " " : "", args.size() > 1 ? args[1].c_str() : "",
                     args.size() > 1 ? " " : "", args.size() > 1 ? args[0].c_str() : "");
        return 1;
    }
    PrintLines(log, lines);
    return 0;
}

std::string Hex(uint32_t value, int digits) { return Format("0x%0*X", digits, value); }

// Every field of the record, one per line, in the record's order.
std::vector<std::string> DescribeRecord(const DeviceRecord& r) {
    auto size = [](uint32_t v) { return Format("0x%06X (%u)", v, v); };
    auto byte = [](uint8_t v) { return Hex(v, 2); };
    auto volts = [](double v) { return Format("%g V", v); };
    auto seconds = [](double v) { return Format("%g s", v); };
    std::vector<std::pair<const char*, std::string>> fields = {
        {"name", r.name},
        {"type", r.type},
        {"manufacture", r.manufacture},
        {"note", r.note},
        {"algol", r.algol},
        {"maxsize", size(r.maxsize)},
        {"bufsize", size(r.bufsize)},
        {"pagesize", std::to_string(r.pagesize)},
        {"tpw", seconds(r.tpw)},
        {"tpr", seconds(r.tpr)},
        {"waitmode", std::to_string(r.waitmode)},
        {"retry", std::to_string(r.retry)},
        {"verify", std::to_string(r.verify)},
        {"swap", std::to_string(r.swap)},
        {"wordsize", std::to_string(r.wordsize)},
        {"wordaccess", std::to_string(r.wordaccess)},
        {"bwalt", std::to_string(r.bwalt)},
        {"bytesPerWord", std::to_string(r.bytesPerWord)},
        {"typecode", byte(r.typecode)},
        {"ahand", byte(r.ahand)},
        {"ahor", byte(r.ahor)},
        {"amand", byte(r.amand)},
        {"amor", byte(r.amor)},
        {"aland", byte(r.aland)},
        {"alor", byte(r.alor)},
        {"dhand", byte(r.dhand)},
        {"dhor", byte(r.dhor)},
        {"dland", byte(r.dland)},
        {"dlor", byte(r.dlor)},
        {"VppR", volts(r.VppR)},
        {"VccR", volts(r.VccR)},
        {"VppW", volts(r.VppW)},
        {"VccW", volts(r.VccW)},
        {"addrlen", std::to_string(r.addrlen)},
        {"controlcode", byte(r.controlcode)},
        {"ACWBase", std::to_string(r.ACWBase)},
        {"ASRBase", std::to_string(r.ASRBase)},
        {"SigBase", std::to_string(r.SigBase)},
        {"PinNumber", std::to_string(r.PinNumber)},
        {"LineNumber", std::to_string(r.LineNumber)},
        {"ArrayLen", std::to_string(r.ArrayLen)},
    };
    std::vector<std::string> lines;
    for (const auto& [key, value] : fields) lines.push_back(std::string(key) + ": " + value);
    return lines;
}

int RunInfo(CliSession& session, const std::vector<std::string>& args) {
    if (args.size() != 3) {
        std::fprintf(stderr, "krt: usage: krt info TYPE MAKER NAME\n");
        return 2;
    }
    LogSink* log = SessionLog(session);
    Catalogue catalogue;
    if (!OpenOrExplain(session, log, catalogue)) return 2;
    DeviceRecord record;
    const DeviceLoadResult load =
        LoadDeviceRecord(catalogue.list, catalogue.directory, args[0], args[1], args[2],
                         session.options.language, log, record);
    if (!load.selected) {
        if (load.entry >= catalogue.list.count)
            std::fprintf(stderr, "krt: no device %s %s %s in the catalogue (see krt list)\n",
                         args[0].c_str(), args[1].c_str(), args[2].c_str());
        return 1;
    }
    Log(log, "parameter file: %s", load.path.c_str());
    PrintLines(log, DescribeRecord(record));
    session.record = record;
    return 0;
}

}  // namespace

void RegisterCatalogueCommands(std::vector<CliCommand>& table) {
    table.push_back({"list", "list [TYPE [MAKER]]",
                     "device types, the makers of a type, or the devices of a type and maker, "
                     "in catalogue order (TYPE in any case: EPROM, OTPROM, EEPROM, FLASH, SEEPROM, "
                     "GAL, PIC)",
                     RunList});
    table.push_back({"info", "info TYPE MAKER NAME",
                     "load a device from the catalogue and show every field of its record, with "
                     "the load messages",
                     RunInfo});
}

}  // namespace krt

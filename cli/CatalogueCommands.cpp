// SPDX-License-Identifier: GPL-3.0-or-later
// krt list and krt info: the catalogue without the programmer. Neither
// command opens a port or starts the link.
#include <cstdio>
#include <utility>
#include <string>
#include <vector>

#include "catalogue/CatalogueFiles.h"
#include "catalogue/CatalogueTexts.h"
#include "catalogue/DeviceLoader.h"
#include "catalogue/PartSearch.h"
#include "session/Job.h"
#include "catalogue/TextLines.h"
#include "cli/Cli.h"
#include "cli/PartNumbers.h"
#include "cli/CliSession.h"
#include "base/Log.h"
#include "data/DataBuffer.h"
#include "session/BufferDigests.h"

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

// A JSON string: quoted, with the characters JSON requires escaped. The
// catalogue's texts are UTF-8 and pass through unchanged.
std::string JsonString(const std::string& text) {
    std::string out = "\"";
    for (unsigned char c : text) {
        switch (c) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        default:
            if (c < 0x20) out += Format("\\u%04X", c);
            else out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

std::string JsonArray(const std::vector<std::string>& items) {
    std::string out = "[";
    for (size_t i = 0; i < items.size(); ++i) out += (i ? ", " : "") + JsonString(items[i]);
    return out + "]";
}

// One JSON document on stdout, whatever the session's log does.
void PrintJson(const std::string& document) { std::fprintf(stdout, "%s\n", document.c_str()); }

// krt list --find TEXT: every entry whose part number contains TEXT, across
// types and makers, in list order; or, for the number printed on a chip,
// the entries of the part number inside it and the one to use.
int RunFind(CliSession& session, const std::vector<std::string>& args) {
    if (!args.empty()) {
        std::fprintf(stderr, "krt: usage: krt list --find TEXT (without TYPE or MAKER)\n");
        return kExitUsage;
    }
    LogSink* log = SessionLog(session);
    if (session.options.json) LogToStandardError(session);
    Catalogue catalogue;
    if (!OpenOrExplain(session, log, catalogue)) return 2;
    const DeviceList& list = catalogue.list;
    const PartSearch found = SearchParts(list, session.options.find);
    const std::vector<int32_t>& entries = found.entries;
    // A printed part number: the entry to use, after the list.
    const std::string use = found.marking ? EntryLine(list, entries.front()) : std::string();
    if (entries.empty()) {
        std::fprintf(stderr, "krt: no part number in the catalogue contains \"%s\"\n", session.options.find.c_str());
        return 1;
    }
    if (!session.options.json) {
        for (int32_t entry : entries) Log(log, "%s", EntryLine(list, entry).c_str());
        if (found.marking)
            Log(log, CatalogueTextOf(session.options.language, CatalogueText::PrintedNumber),
                session.options.find.c_str(), found.number.c_str(), use.c_str());
        return 0;
    }
    std::string devices;
    for (int32_t entry : entries) {
        const size_t i = static_cast<size_t>(entry);
        devices += std::string(devices.empty() ? "" : ", ") + "{\"type\": " + JsonString(list.types[i]) +
                   ", \"maker\": " + JsonString(list.makers[i]) + ", \"name\": " + JsonString(list.names[i]) + "}";
    }
    const std::string marking = found.marking ? ", \"use\": " + JsonString(use) : "";
    PrintJson("{\"find\": " + JsonString(session.options.find) + ", \"devices\": [" + devices + "]" + marking + "}");
    return 0;
}

int RunList(CliSession& session, const std::vector<std::string>& args) {
    if (session.options.findGiven) return RunFind(session, args);
    if (args.size() > 2) {
        std::fprintf(stderr, "krt: usage: krt list [TYPE [MAKER]]\n");
        return 2;
    }
    LogSink* log = SessionLog(session);
    if (session.options.json) LogToStandardError(session);
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
    if (!session.options.json) {
        PrintLines(log, lines);
        return 0;
    }
    if (args.empty()) PrintJson("{\"types\": " + JsonArray(lines) + "}");
    else if (args.size() == 1) PrintJson("{\"type\": " + JsonString(args[0]) + ", \"makers\": " + JsonArray(lines) + "}");
    else
        PrintJson("{\"type\": " + JsonString(args[0]) + ", \"maker\": " + JsonString(args[1]) +
                  ", \"devices\": " + JsonArray(lines) + "}");
    return 0;
}

std::string Hex(uint32_t value, int digits) { return Format("0x%0*X", digits, value); }

// Every field of the record in the record's order: its name, its text for
// people, and its value for JSON (a number, or a quoted string).
struct RecordField {
    const char* key;
    std::string text;
    std::string json;
};

std::vector<RecordField> RecordFields(const DeviceRecord& r) {
    auto size = [](uint32_t v) { return Format("0x%06X (%u)", v, v); };
    auto byte = [](uint8_t v) { return Hex(v, 2); };
    auto volts = [](double v) { return Format("%g V", v); };
    auto seconds = [](double v) { return Format("%g s", v); };
    auto text = [](const std::string& v) { return std::make_pair(v, JsonString(v)); };
    auto number = [](auto v, const std::string& shown) { return std::make_pair(shown, std::to_string(v)); };
    auto real = [](double v, const std::string& shown) { return std::make_pair(shown, Format("%.15g", v)); };
    auto plain = [](auto v) { return std::make_pair(std::to_string(v), std::to_string(v)); };
    const std::vector<std::pair<const char*, std::pair<std::string, std::string>>> fields = {
        {"name", text(r.name)},
        {"type", text(r.type)},
        {"manufacture", text(r.manufacture)},
        {"note", text(r.note)},
        {"algol", text(r.algol)},
        {"maxsize", number(r.maxsize, size(r.maxsize))},
        {"bufsize", number(r.bufsize, size(r.bufsize))},
        {"pagesize", plain(r.pagesize)},
        {"tpw", real(r.tpw, seconds(r.tpw))},
        {"tpr", real(r.tpr, seconds(r.tpr))},
        {"waitmode", plain(r.waitmode)},
        {"retry", plain(r.retry)},
        {"verify", plain(r.verify)},
        {"swap", plain(r.swap)},
        {"wordsize", plain(r.wordsize)},
        {"wordaccess", plain(r.wordaccess)},
        {"bwalt", plain(r.bwalt)},
        {"bytesPerWord", plain(r.bytesPerWord)},
        {"typecode", number(r.typecode, byte(r.typecode))},
        {"ahand", number(r.ahand, byte(r.ahand))},
        {"ahor", number(r.ahor, byte(r.ahor))},
        {"amand", number(r.amand, byte(r.amand))},
        {"amor", number(r.amor, byte(r.amor))},
        {"aland", number(r.aland, byte(r.aland))},
        {"alor", number(r.alor, byte(r.alor))},
        {"dhand", number(r.dhand, byte(r.dhand))},
        {"dhor", number(r.dhor, byte(r.dhor))},
        {"dland", number(r.dland, byte(r.dland))},
        {"dlor", number(r.dlor, byte(r.dlor))},
        {"VppR", real(r.VppR, volts(r.VppR))},
        {"VccR", real(r.VccR, volts(r.VccR))},
        {"VppW", real(r.VppW, volts(r.VppW))},
        {"VccW", real(r.VccW, volts(r.VccW))},
        {"addrlen", plain(r.addrlen)},
        {"controlcode", number(r.controlcode, byte(r.controlcode))},
        {"ACWBase", plain(r.ACWBase)},
        {"ASRBase", plain(r.ASRBase)},
        {"SigBase", plain(r.SigBase)},
        {"PinNumber", plain(r.PinNumber)},
        {"LineNumber", plain(r.LineNumber)},
        {"ArrayLen", plain(r.ArrayLen)},
    };
    std::vector<RecordField> out;
    for (const auto& [key, value] : fields) out.push_back({key, value.first, value.second});
    return out;
}

std::vector<std::string> DescribeRecord(const DeviceRecord& r) {
    std::vector<std::string> lines;
    for (const RecordField& f : RecordFields(r)) lines.push_back(std::string(f.key) + ": " + f.text);
    return lines;
}

std::string RecordJson(const std::string& path, const DeviceRecord& r) {
    std::string out = "{\"parameterFile\": " + JsonString(path) + ", \"record\": {";
    bool first = true;
    for (const RecordField& f : RecordFields(r)) {
        out += (first ? "" : ", ") + JsonString(f.key) + ": " + f.json;
        first = false;
    }
    return out + "}}";
}

int RunInfo(CliSession& session, const std::vector<std::string>& args) {
    if (args.size() != 3) {
        std::fprintf(stderr, "krt: usage: krt info TYPE MAKER NAME\n");
        return 2;
    }
    LogSink* log = SessionLog(session);
    if (session.options.json) LogToStandardError(session);
    Catalogue catalogue;
    if (!OpenOrExplain(session, log, catalogue)) return 2;
    session.core.catalogueDirectory = catalogue.directory;
    session.core.devices = std::move(catalogue.list);
    Job job;
    job.type = args[0];
    job.maker = args[1];
    job.name = args[2];
    LogJobFace face(log);
    session.link.language = session.options.language;
    const JobReport report = session.core.RunJob(job, face);
    if (report.stop != JobStop::None) {
        if (report.stop == JobStop::UnknownDevice)
            std::fprintf(stderr, "krt: no device %s %s %s in the catalogue (see krt list)\n",
                         args[0].c_str(), args[1].c_str(), args[2].c_str());
        return 1;
    }
    const DeviceRecord& record = session.record;
    if (session.options.json) {
        // The figures of a blank chip over the whole device: what a read of
        // an erased part shows, to compare with a published list.
        std::string document = RecordJson(report.load.path, record);
        DataBuffer blank;
        OperationRange whole;
        if (record.bufsize && blank.Allocate(record.bufsize)) {
            ClearBuffer(blank, record, whole);
            document.pop_back();
            document += ", \"blank\": {" + DigestsJsonMembers(DigestsOf(record, blank, whole)) + "}}";
        }
        PrintJson(document);
    } else {
        Log(log, "parameter file: %s", report.load.path.c_str());
        PrintLines(log, DescribeRecord(record));
    }
    return 0;
}

}  // namespace

void RegisterCatalogueCommands(std::vector<CliCommand>& table) {
    table.push_back({"list", "list [TYPE [MAKER] | --find TEXT] [--json]",
                     "device types, the makers of a type, or the devices of a type and maker, "
                     "in catalogue order (TYPE in any case: EPROM, OTPROM, EEPROM, FLASH, SEEPROM, "
                     "GAL, PIC)",
                     RunList});
    table.push_back({"info", "info TYPE MAKER NAME [--json]",
                     "load a device from the catalogue and show every field of its record, with "
                     "the load messages",
                     RunInfo});
}

}  // namespace krt

// SPDX-License-Identifier: GPL-3.0-or-later
// The one option parser of krt and the command table.
//
// Options may stand before or after the command; the words after the command
// name that are not options are the command's arguments ("--" ends the
// options). Defaults come from CliOptions, then from the window's settings
// store, then from the command line, which wins for this run only.
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Log.h"
#include "base/Version.h"
#include "data/DataFile.h"
#include "cli/ProjectOption.h"
#include "session/Job.h"
#include "session/OptionValues.h"
#include "session/Project.h"
#include "cli/Cli.h"
#include "cli/PartNumbers.h"
#include "cli/CliSession.h"
#include "cli/Settings.h"
#include "sim/SimTexts.h"
#include "sim/VirtualKrt.h"

namespace krt {

namespace {


struct OptionDef {
    const char* name;
    const char* value;   // the value's name in --help; null: a flag
    const char* help;
    // Applies the value; returns an error text, empty when it is accepted.
    std::function<std::string(CliOptions&, const std::string&)> apply;
};

const std::vector<OptionDef>& Options() {
    static const std::vector<OptionDef> options = {
        {"--port", "sim|ppdev[:DEV]|direct",
         "programmer: the simulated one, Linux ppdev (the /dev/parportN at the port base, "
         "or DEV), or x86 direct I/O",
         [](CliOptions& o, const std::string& v) -> std::string {
             if (v == "sim" || v == "ppdev" || v == "direct" ||
                 (v.rfind("ppdev:", 0) == 0 && v.size() > 6)) {
                 o.port = v;
                 return {};
             }
             return "--port wants sim, ppdev, ppdev:/dev/parportN or direct";
         }},
        {"--port-base", "HEX", "printer-port base address (default 378; a PCI or PCIe card's, such as D010, "
         "is in /proc/sys/dev/parport/parportN/base-addr, in decimal, or in lspci -v)",
         [](CliOptions& o, const std::string& v) -> std::string {
             uint64_t n = 0;
             if (!ParseUnsigned(v, 16, 0xFFFF, n) || !PortBaseAccepted(static_cast<uint32_t>(n)))
                 return "--port-base wants a hexadecimal address from 100 to FFF8, a multiple of 4 (378, 278, 3BC, D010...)";
             o.portBase = static_cast<uint16_t>(n);
             return {};
         }},
        {"--clock", "HZ", "the programmer's clock frequency in Hz, 450001 to 3500000 as in the window's "
         "settings (default 3500000)",
         [](CliOptions& o, const std::string& v) -> std::string {
             uint64_t n = 0;
             if (!ParseUnsigned(v, 10, 0xFFFFFFFFu, n) || n < kMinClockHz || n > kMaxClockHz)
                 return Format("--clock wants a frequency in Hz from %u to %u", kMinClockHz, kMaxClockHz);
             o.clock = static_cast<uint32_t>(n);
             return {};
         }},
        {"--power-circuit", "1|2", "power-circuit version (default 2)",
         [](CliOptions& o, const std::string& v) -> std::string {
             if (v != "1" && v != "2") return "--power-circuit wants 1 or 2";
             o.powerCircuit = static_cast<uint8_t>(v[0] - '0');
             return {};
         }},
        {"--lang", "ja|en", "language of the messages (default en)",
         [](CliOptions& o, const std::string& v) -> std::string {
             if (v == "ja") o.language = 0;
             else if (v == "en") o.language = 1;
             else return "--lang wants ja or en";
             return {};
         }},
        {"--json", nullptr, "list, info and check: one JSON document on stdout (messages go to stderr)",
         [](CliOptions& o, const std::string&) -> std::string {
             o.json = true;
             return {};
         }},
        {"--keep", "FILE", "check: keep the chip's content in FILE before anything is written",
         [](CliOptions& o, const std::string& v) -> std::string {
             o.keep = v;
             return {};
         }},
        {"--find", "TEXT", "list: every device whose part number contains TEXT (any case), as TYPE MAKER NAME",
         [](CliOptions& o, const std::string& v) -> std::string {
             o.find = v;
             o.findGiven = true;
             return {};
         }},
        {"--wait-mode", "N|timer|busyflag|toggle|polling|sleep",
         "parallel EEPROM write: how to wait for each page this run (0 timer, 1 busyflag, 2 toggle, 3 polling, "
         "4 sleep of the computer)",
         [](CliOptions& o, const std::string& v) -> std::string {
             int mode = -1;
             if (std::string problem = CheckWaitModeValue(v, mode); !problem.empty()) return problem;
             o.waitMode = mode;
             return {};
         }},
        {"--byte-write", nullptr, "two-wire serial EEPROM: write and erase a byte per write cycle this run",
         [](CliOptions& o, const std::string&) -> std::string {
             o.byteWrite = true;
             return {};
         }},
        {"--quiet", nullptr,
         "device operations: print only the result line, and the operation's lines when it did not "
         "succeed (no progress, no banner)",
         [](CliOptions& o, const std::string&) -> std::string {
             o.quiet = true;
             return {};
         }},
        {"--verbose", nullptr, "at the end, how often each programmer command was sent (on stderr)",
         [](CliOptions& o, const std::string&) -> std::string {
             o.verbose = true;
             return {};
         }},
        {"--format", "hex|srec|bin|jed",
         "data files: the format, whatever the name (standard input is otherwise told by its first "
         "bytes, standard output is binary and refused on a terminal unless --format or --force is given)",
         [](CliOptions& o, const std::string& v) -> std::string {
             if (v == "hex") o.format = FORMAT_INTEL_HEX;
             else if (v == "srec" || v == "mot") o.format = FORMAT_MOTOROLA;
             else if (v == "bin") o.format = FORMAT_BINARY;
             else if (v == "jed") o.format = FORMAT_JEDEC;
             else return "--format wants hex, srec, bin or jed";
             return {};
         }},
        {"-o", "LIST", "compare: write the listing of the differences to LIST instead of standard output",
         [](CliOptions& o, const std::string& v) -> std::string {
             o.list = v;
             return {};
         }},
        {"--trace", "FILE", "write every port access to FILE, one line each (W 0378 0A, R 0379 40)",
         [](CliOptions& o, const std::string& v) -> std::string {
             o.trace = v;
             return {};
         }},
        {"--settings", "FILE", "read the window's settings from FILE instead of its own file",
         [](CliOptions& o, const std::string& v) -> std::string {
             o.settings = v;
             return {};
         }},
        {"--catalogue", "DIR", "directory of DEVICE.LST and the parameter files",
         [](CliOptions& o, const std::string& v) -> std::string {
             o.catalogue = v;
             return {};
         }},
        {"--sim-chip", "FILE", "simulator: the chip file in the socket (created when missing)",
         [](CliOptions& o, const std::string& v) -> std::string {
             o.simChip = v;
             return {};
         }},
        {"--sim-revisions", "HEX,HEX", "simulator: the KRT1 and KRT2 revisions (default 20,10)",
         [](CliOptions& o, const std::string& v) -> std::string {
             // Checked now on a scratch simulator, so that a bad value is a
             // usage error like any other option's.
             std::string error;
             VirtualKrt scratch;
             if (!scratch.ApplyRevisions(v, error))
                 return error.find("--sim-revisions") == std::string::npos ? "--sim-revisions: " + error : error;
             o.simRevisions = v;
             return {};
         }},
        {"--sim-fault", "NAME[:ARGS]", "simulator: inject a fault (repeatable)",
         [](CliOptions& o, const std::string& v) -> std::string {
             std::string error;
             VirtualKrt scratch;
             if (!scratch.ApplyFault(v, error)) return "--sim-fault: " + error;
             o.simFaults.push_back(v);
             return {};
         }},
        {"--sim-strict", nullptr, "simulator: any breach of the wire protocol ends krt with status 70",
         [](CliOptions& o, const std::string&) -> std::string {
             o.simStrict = true;
             return {};
         }},
        {"--start", "HEX",
         "device operations: first address (a GAL is read and written whole: its range only has to lie "
         "in the device)",
         [](CliOptions& o, const std::string& v) -> std::string { return CheckHexValue("--start", v, o.start); }},
        {"--length", "HEX", "device operations: number of addresses",
         [](CliOptions& o, const std::string& v) -> std::string { return CheckHexValue("--length", v, o.length); }},
        {"--errors", "N", "device operations: permitted error count (decimal)",
         [](CliOptions& o, const std::string& v) -> std::string {
             uint32_t n = 0;
             if (std::string problem = CheckErrorsValue(v, n); !problem.empty()) return problem;
             o.errors = std::to_string(n);
             return {};
         }},
        {"--force", nullptr,
         "device operations: run even when the start-up found no programmer (they then fail "
         "on every address); read and convert: write binary data to a terminal",
         [](CliOptions& o, const std::string&) -> std::string {
             o.force = true;
             return {};
         }},
        {"--page-write", nullptr,
         "device operations: a two-wire serial EEPROM is written a page per write cycle (as the pagewrite key)",
         [](CliOptions& o, const std::string&) -> std::string {
             o.pageWrite = true;
             return {};
         }},
        {"--no-id-check", nullptr,
         "device operations: write and erase without first reading the part's own identity (PIC device ID)",
         [](CliOptions& o, const std::string&) -> std::string {
             o.noIdCheck = true;
             return {};
         }},
        {"--fixed-level", nullptr,
         "device operations: write or erase an Atmel ATF part on a programmer with fixed levels only, at 12.5 V "
         "(under the chip's 14.0 V maximum, above the 10.5-12 V its programmers use)",
         [](CliOptions& o, const std::string&) -> std::string {
             o.fixedLevel = true;
             return {};
         }},
        {"--changed-only", nullptr,
         "device operations: an EEPROM write reads each page first and writes only the pages that "
         "differ (as the changedonly key)",
         [](CliOptions& o, const std::string&) -> std::string {
             o.changedOnly = true;
             return {};
         }},
        {"--no-verify", nullptr,
         "device operations and batch: write and erase without reading each page or word back (as the "
         "parameter editor's verify box cleared): a serial EEPROM is written about 2.5 times faster, but a "
         "chip that did not take the data (write-protected, worn) still reports success; verify it later",
         [](CliOptions& o, const std::string&) -> std::string {
             o.noVerify = true;
             return {};
         }},
        {"--count", "N", "batch: the number of chips (decimal)",
         [](CliOptions& o, const std::string& v) -> std::string {
             return CheckCountValue(v, o.batchCount);
         }},
        {"--serial", "ADDR:WIDTH:START[:STEP][:le|be|bcd|ascii]",
         "batch: a serial number per chip, WIDTH bytes at the hexadecimal ADDR, from START by STEP; without "
         "START the series of the log goes on",
         [](CliOptions& o, const std::string& v) -> std::string {
             o.batchSerial = v;
             return {};
         }},
        {"--log", "FILE", "batch: append one JSON line per chip to FILE",
         [](CliOptions& o, const std::string& v) -> std::string {
             o.batchLog = v;
             return {};
         }},
        {"--stop-on-failure", nullptr, "batch: end the batch at the first chip that fails",
         [](CliOptions& o, const std::string&) -> std::string {
             o.stopOnFailure = true;
             return {};
         }},
        {"--restart-series", nullptr,
         "batch: a START begins the serials again though the log's series already used them (the log "
         "then holds them twice)",
         [](CliOptions& o, const std::string&) -> std::string {
             o.restartSeries = true;
             return {};
         }},
        {"--sim-chip-dir", "DIR", "simulator, batch: each chip of the batch has its own chip file in DIR",
         [](CliOptions& o, const std::string& v) -> std::string {
             o.simChipDir = v;
             return {};
         }},
        {"--sim-bad-chip", "N[:FAULT]",
         "simulator, batch: chip N of the batch has FAULT (a --sim-fault; default dead-cells:0)",
         [](CliOptions& o, const std::string& v) -> std::string {
             const size_t colon = v.find(':');
             uint64_t n = 0;
             if (!ParseUnsigned(v.substr(0, colon), 10, 0xFFFFFFFFu, n) || n == 0)
                 return "--sim-bad-chip wants a chip number from 1, optionally :FAULT";
             std::string fault = colon == std::string::npos ? std::string() : v.substr(colon + 1);
             if (!fault.empty()) {
                 std::string error;
                 VirtualKrt scratch;
                 if (!scratch.ApplyFault(fault, error)) return "--sim-bad-chip: " + error;
             }
             o.simBadChip = static_cast<uint32_t>(n);
             o.simBadFault = fault;
             return {};
         }},
        {"--crc32", nullptr, "sum: also the CRC-32 of the same bytes (as crc32 prints it for a binary file of them)",
         [](CliOptions& o, const std::string&) -> std::string {
             o.crc32 = true;
             return {};
         }},
        {"--sha1", nullptr, "sum: also the SHA-1 of the same bytes (as sha1sum prints it)",
         [](CliOptions& o, const std::string&) -> std::string {
             o.sha1 = true;
             return {};
         }},
        {"--even", "FILE", "split and join: the file of the even bytes (lane 0)",
         [](CliOptions& o, const std::string& v) -> std::string {
             o.even = v;
             return {};
         }},
        {"--odd", "FILE", "split and join: the file of the odd bytes (lane 1)",
         [](CliOptions& o, const std::string& v) -> std::string {
             o.odd = v;
             return {};
         }},
        {"--ways", "N", "split and join: the number of chips (lanes), 2 to 16",
         [](CliOptions& o, const std::string& v) -> std::string {
             uint64_t n = 0;
             if (!ParseUnsigned(v, 10, 16, n) || n < 2) return "--ways wants a number of chips from 2 to 16";
             o.ways = static_cast<uint32_t>(n);
             return {};
         }},
        {"--bytes", "1|2|4", "split and join: bytes per chip word (2 for 16-bit chips, 4 for 32-bit ones)",
         [](CliOptions& o, const std::string& v) -> std::string {
             if (v != "1" && v != "2" && v != "4") return "--bytes wants 1, 2 or 4";
             o.laneBytes = static_cast<uint32_t>(v[0] - '0');
             return {};
         }},
        {"--swap", nullptr,
         "split and join: the image's words (of the chips' width, at least 16 bits) in the other byte order",
         [](CliOptions& o, const std::string&) -> std::string {
             o.swap = true;
             return {};
         }},
        {"--project", "FILE",
         "run the job saved in the project FILE (the window's Project menu): its device, data file, range and "
         "settings fill what the command line leaves out; an option on the line takes precedence",
         // Read before the other options (see RunCli).
         [](CliOptions& o, const std::string& v) -> std::string {
             o.project = v;
             return {};
         }},
        {"--help", nullptr, "this text (also -h)", nullptr},
        {"--version", nullptr, "the program's version (also -V)", nullptr},
    };
    return options;
}

std::vector<CliCommand> CommandTable() {
    std::vector<CliCommand> table;
    RegisterLinkCommands(table);
    RegisterSimCommands(table);
    RegisterCatalogueCommands(table);
    RegisterDataCommands(table);
    RegisterDeviceCommands(table);
    RegisterSelftestCommands(table);
    RegisterCompletionCommands(table);
    RegisterBatchCommands(table);
    RegisterIdentifyCommands(table);
    RegisterCheckCommands(table);
    RegisterSplitJoinCommands(table);
    return table;
}

void PrintHelp(std::FILE* out, const std::vector<CliCommand>& table) {
    std::fprintf(out,
                 "usage: krt [OPTIONS] COMMAND [ARGS] [OPTIONS]\n"
                 "\n"
                 "krt drives the KRT device programmer (units KRT1 and KRT2) through the same\n"
                 "requests as the KRTwin window. Every command that uses the programmer first\n"
                 "does the window's start-up: settings to the link, reset and detection.\n"
                 "\n"
                 "Commands:\n");
    // Short names share a line with their help; long ones stand alone above it.
    constexpr int kColumn = 22;
    auto item = [out](const std::string& left, const char* help) {
        if (static_cast<int>(left.size()) <= kColumn)
            std::fprintf(out, "  %-*s  %s\n", kColumn, left.c_str(), help);
        else
            std::fprintf(out, "  %s\n  %-*s  %s\n", left.c_str(), kColumn, "", help);
    };
    for (const CliCommand& c : table) item(c.synopsis, c.help);
    std::fprintf(out, "\nOptions:\n");
    for (const OptionDef& o : Options())
        item(std::string(o.name) + (o.value ? std::string(" ") + o.value : std::string()), o.help);
    std::fprintf(out, "\nSimulator faults for --sim-fault:\n  %s\n", krt::VirtualKrt::FaultList().c_str());
    std::fprintf(out,
                 "\nData files: a FILE (IN, OUT) of - is standard input for the data a command\n"
                 "reads (its format told by its first bytes: Intel HEX, Motorola S, JEDEC, else\n"
                 "binary) and standard output for the data it writes (binary); --format names\n"
                 "the format of every data file of the command, whatever its name. When\n"
                 "the data goes to standard output (read ... -, convert ... -), krt's own lines\n"
                 "go to standard error, so that standard output holds the data alone.\n"
                 "\nThe chip file of --sim-chip is locked for the run (a POSIX advisory lock):\n"
                 "a second krt on the same file stops at once with status 75. A read or a\n"
                 "--trace into the chip file itself (under any name) is refused.\n"
                 "\nA device is named by TYPE MAKER NAME, or by its part number alone where\n"
                 "the catalogue has it once, or several times with the same parameters\n"
                 "(krt --port sim write TMS27C256 fw.hex); krt list --find TEXT finds part\n"
                 "numbers.\n"
                 "\nDefaults come from the window's settings (%s)\n"
                 "where it holds them; options override them for one run and are never saved.\n"
                 "A command that uses the programmer needs its port: --port, or the port (or\n"
                 "the simulator) chosen in the window's settings; without either it stops with\n"
                 "status 64. krt uses the simulated programmer only when asked to.\n"
                 "\nSIGTERM and SIGHUP are taken as Ctrl-C: the running operation is canceled,\n"
                 "the programmer powered down and the chip file saved; a second one ends krt\n"
                 "at once.\n",
                 DefaultSettingsPath().empty() ? "~/.config/Kavimeru/KRTwin.conf"
                                               : DefaultSettingsPath().c_str());
    std::fprintf(out, "\nExit status:\n");
    for (const ExitStatusRow& row : kExitStatuses) std::fprintf(out, "  %-22s  %s\n", row.status, row.meaning);
}

struct ParsedLine {
    std::vector<std::pair<const OptionDef*, std::string>> options;
    std::vector<std::string> words;   // the command name and its arguments
    bool help = false;
    bool version = false;
};

bool ParseLine(const std::vector<std::string>& args, ParsedLine& parsed, std::string& error) {
    bool optionsEnded = false;
    for (size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        if (optionsEnded || arg.size() < 2 || (arg.compare(0, 2, "--") != 0 && arg != "-o")) {
            if (arg == "-h") {
                parsed.help = true;
                continue;
            }
            if (arg == "-V") {
                parsed.version = true;
                continue;
            }
            parsed.words.push_back(arg);
            // krt complete's words are what the shell has typed so far: a
            // prefix such as --no is a word to complete, not an option.
            if (parsed.words.size() == 1 && arg == "complete") optionsEnded = true;
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        const size_t eq = arg.find('=');
        const std::string name = arg.substr(0, eq);
        const OptionDef* def = nullptr;
        for (const OptionDef& o : Options())
            if (name == o.name) def = &o;
        if (!def) {
            error = "unknown option " + name + " (krt --help lists them)";
            return false;
        }
        if (!def->value) {
            if (eq != std::string::npos) {
                error = name + " takes no value";
                return false;
            }
            if (def->apply) parsed.options.emplace_back(def, std::string());
            else if (name == "--version") parsed.version = true;
            else parsed.help = true;
            continue;
        }
        std::string value;
        if (eq != std::string::npos) {
            value = arg.substr(eq + 1);
        } else if (i + 1 < args.size()) {
            value = args[++i];
        } else {
            error = name + " wants a value: " + def->value;
            return false;
        }
        parsed.options.emplace_back(def, value);
    }
    return true;
}

}  // namespace

std::vector<std::string> OptionNames() {
    std::vector<std::string> names;
    for (const OptionDef& o : Options()) names.emplace_back(o.name);
    return names;
}

std::vector<std::string> CommandNames() {
    std::vector<std::string> names;
    for (const CliCommand& c : CommandTable()) names.emplace_back(c.name);
    return names;
}

int RunCli(const std::vector<std::string>& args) {
    const std::vector<CliCommand> table = CommandTable();
    ParsedLine parsed;
    std::string error;
    if (!ParseLine(args, parsed, error)) {
        std::fprintf(stderr, "krt: %s\n", error.c_str());
        return kExitUsage;
    }
    if (parsed.help) {
        PrintHelp(stdout, table);
        if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
            std::fprintf(stderr, "krt: cannot write standard output: %s\n", std::strerror(errno ? errno : EIO));
            return kExitCannotCreate;
        }
        return 0;
    }
    if (parsed.version) {
        std::printf("krt %s\n", ProgramVersion());
        return std::fflush(stdout) == 0 ? 0 : kExitCannotCreate;
    }
    if (parsed.words.empty()) {
        PrintHelp(stderr, table);
        return kExitUsage;
    }

    // The settings file may itself be named on the command line.
    CliOptions options;
    for (const auto& [def, value] : parsed.options)
        if (std::strcmp(def->name, "--settings") == 0) options.settings = value;
    StoredSettings stored;
    const std::string settingsPath = options.settings.empty() ? DefaultSettingsPath() : options.settings;
    // A named settings file must be one; the default one may be missing,
    // but what stands under its name is looked at before it is read (a FIFO
    // would wait for ever, a directory would be taken as no settings).
    std::error_code missing;
    const bool present = !options.settings.empty() || std::filesystem::status(settingsPath, missing).type() !=
                                                          std::filesystem::file_type::not_found;
    if (const std::string why = present && !settingsPath.empty() ? InputFileProblem(settingsPath) : std::string();
        !why.empty() || (settingsPath == "-" && present)) {
        std::fprintf(stderr, "krt: cannot read the settings file %s: %s\n", settingsPath.c_str(),
                     why.empty() ? "standard input holds no settings" : why.c_str());
        return kExitNoInput;
    }
    if (!ReadSettingsFile(settingsPath, stored) && !options.settings.empty()) {
        std::fprintf(stderr, "krt: cannot read the settings file %s\n", options.settings.c_str());
        return kExitNoInput;
    }
    ApplySettings(stored, options);
    // A project's settings come before the line's options, which take precedence.
    Project project;
    std::string projectPath;
    for (const auto& [def, value] : parsed.options)
        if (std::strcmp(def->name, "--project") == 0) projectPath = value;
    if (!projectPath.empty())
        if (const int refused = LoadProjectOptions(projectPath, project, options)) return refused;
    for (const auto& [def, value] : parsed.options) {
        const std::string problem = def->apply(options, value);
        if (!problem.empty()) {
            std::fprintf(stderr, "krt: %s, not \"%s\"\n", problem.c_str(), value.c_str());
            return kExitUsage;
        }
    }
    // Options that ask for opposite things: neither silently wins.
    if (options.pageWrite && options.byteWrite) {
        std::fprintf(stderr, "krt: --page-write and --byte-write ask for opposite writes: give one of them\n");
        return kExitUsage;
    }

    const std::string& name = parsed.words.front();
    const CliCommand* command = nullptr;
    for (const CliCommand& c : table)
        if (name == c.name) command = &c;
    if (!command) {
        std::fprintf(stderr, "krt: unknown command \"%s\" (krt --help lists them)\n", name.c_str());
        return kExitUsage;
    }
    // SIGTERM and SIGHUP, like Ctrl-C, let the command end in order, up to
    // the session's last save of the chip file.
    SignalGuard signals;
    CliSession session;
    session.options = options;
    session.log = MakeStdoutLog();
    std::vector<std::string> commandArgs(parsed.words.begin() + 1, parsed.words.end());
    if (!projectPath.empty())
        if (const int refused = ProjectWordsFor(project, name, commandArgs)) return refused;
    if (const int refused = ExpandPartNumber(session, name, commandArgs)) return refused;
    if (options.quiet && IsDeviceOperation(name)) HoldLog(session);
    int status = command->run(session, commandArgs);
    if (status != 0) ReleaseLog(session);
    std::fflush(stdout);
    PrintBreaches(session);
    if (options.verbose) PrintCommandCounts(session);
    if (session.options.simStrict && session.Simulator() && session.Simulator()->HasBreaches()) status = kExitProtocolBreach;
    return FinishOutputs(session, status);
}

}  // namespace krt

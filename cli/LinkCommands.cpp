// SPDX-License-Identifier: GPL-3.0-or-later
// The link's commands of krt: detect, reset, cmd, in, out, pins, vpp, vcc.
// Each goes through Dispatch as the debug window would send it, after the
// window's start-up; the exit status is the request's result code.
#include <charconv>
#include <cstdio>
#include <strings.h>

#include "cli/Cli.h"
#include "cli/CliSession.h"
#include "base/Log.h"
#include "link/Protocol.h"
#include "base/StatusMessages.h"

namespace krt {

namespace {

constexpr uint8_t kErrors = 3;

// This file's own texts: [0] Japanese (the debug window's wording), [1] English.
enum class Text { CommandWithOperand, Command, ByteIn, ByteOut, Pins, Levels, Supply, SupplyOff, Negative };
const char* const kTexts[][2] = {
    {"コマンド%s(0x%02X),%02Xを送信しました。 結果は「%s」です。",
     "Command %s(0x%02X),%02X was sent. The result is \"%s\"."},
    {"コマンド%s(0x%02X)を送信しました。 結果は「%s」です。",
     "Command %s(0x%02X) was sent. The result is \"%s\"."},
    {"KRTから1バイト読みました。 結果は「%s」です。", "One byte was read from KRT. The result is \"%s\"."},
    {"パラレルポート(%X)に'%02X'を送信しました。 結果は「%s」です。",
     "'%02X' was sent to the parallel port (%X). The result is \"%s\"."},
    {"データポートに%02Xを出力して、ステータス%02Xが返りました",
     "%02X was written to the data port, and the status %02X came back"},
    {"KRT1出力(ACK)=%d キー(BUSY)=%d キー(PE)=%d TDO(SLCT)=%d PWR(#ERROR)=%d",
     "KRT1 output (ACK)=%d key (BUSY)=%d key (PE)=%d TDO (SLCT)=%d PWR (#ERROR)=%d"},
    {"%sを%sVに設定しました。 結果は「%s」です。", "%s was set to %s V. The result is \"%s\"."},
    {"Vppをオフにしました（%s Vはプログラム電圧の範囲より下です）。 結果は「%s」です。",
     "Vpp was switched off (%s V is below the programming voltages). The result is \"%s\"."},
    {"%sに負の電圧(%s V)は設定できません。0 V以上を指定してください（Vppは8 V以下でオフ）。",
     "%s cannot be set to a negative voltage (%s V): give 0 V or more (Vpp at or below 8 V is off)."},
};

const char* TextOf(const CliSession& s, Text t) {
    return kTexts[static_cast<int>(t)][s.options.language == 0 ? 0 : 1];
}

bool ParseByte(const std::string& text, uint8_t& out) {
    std::string digits = text;
    if (digits.size() > 2 && digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) digits = digits.substr(2);
    unsigned value = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value, 16);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size() || value > 0xFF)
        return false;
    out = static_cast<uint8_t>(value);
    return true;
}

bool ParseVolts(const std::string& text, float& out) {
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), out);
    return !text.empty() && error == std::errc() && end == text.data() + text.size();
}

int Usage(const char* synopsis) {
    std::fprintf(stderr, "krt: usage: krt %s\n", synopsis);
    return kExitUsage;
}

// Opens the port and does the window's start-up. False: the port could not
// be opened (the message is on stderr, the exit status in session.openFailure).
bool Begin(CliSession& session, uint8_t* detection = nullptr) {
    std::string error;
    if (!session.OpenPort(error)) {
        if (!error.empty()) std::fprintf(stderr, "krt: %s\n", error.c_str());
        return false;
    }
    const uint8_t result = session.StartUp();
    if (detection) *detection = result;
    return true;
}

uint8_t Send(CliSession& session, uint8_t code, uint32_t parameter = 0, uint32_t* value = nullptr) {
    LinkRequest request;
    request.code = code;
    request.parameter = parameter;
    DeviceRecord empty;
    const uint8_t result = Dispatch(session.link, request, empty);
    if (value) *value = request.resultValue;
    return result;
}

void PrintLine(CliSession& session, const std::string& line) { session.log->line(line); }

std::string ResultOf(const CliSession& session, uint8_t result) {
    return ResultText(session.options.language, result);
}

int Detect(CliSession& session, const std::vector<std::string>& args) {
    if (!args.empty()) return Usage("detect");
    uint8_t result = 0;
    if (!Begin(session, &result)) return session.openFailure;
    PrintLine(session, ResultOf(session, result));
    return result;
}

// The window's hardware reset: reset and detection (here, the start-up),
// then message 5 or 6.
int Reset(CliSession& session, const std::vector<std::string>& args) {
    if (!args.empty()) return Usage("reset");
    uint8_t result = 0;
    if (!Begin(session, &result)) return session.openFailure;
    PrintLine(session, MessageText(session.options.language, result == 0 ? 5 : 6));
    return result;
}

int LinkCommand(CliSession& session, const std::vector<std::string>& args) {
    constexpr const char* kSynopsis = "cmd MNEMONIC [HEX]";
    if (args.empty() || args.size() > 2) return Usage(kSynopsis);
    const CommandMnemonic* m = nullptr;
    for (const CommandMnemonic& candidate : kCommandMnemonics)
        if (strcasecmp(candidate.name, args[0].c_str()) == 0) m = &candidate;
    if (!m) {
        std::string names;
        for (const CommandMnemonic& candidate : kCommandMnemonics) names += std::string(" ") + candidate.name;
        std::fprintf(stderr, "krt: unknown programmer command \"%s\"; one of:%s\n", args[0].c_str(), names.c_str());
        return kExitUsage;
    }
    uint8_t operand = 0;
    if (m->operand) {
        if (args.size() != 2) {
            std::fprintf(stderr, "krt: %s wants an operand byte in hexadecimal\n", m->name);
            return kExitUsage;
        }
        if (!ParseByte(args[1], operand)) {
            std::fprintf(stderr, "krt: the operand must be a hexadecimal byte (00 to FF), not \"%s\"\n", args[1].c_str());
            return kExitUsage;
        }
    } else if (args.size() == 2) {
        std::fprintf(stderr, "krt: %s takes no operand\n", m->name);
        return kExitUsage;
    }
    if (!Begin(session)) return session.openFailure;
    const uint8_t result = Send(session, m->request, operand);
    const std::string text = ResultOf(session, result);
    if (m->operand)
        PrintLine(session, Format(TextOf(session, Text::CommandWithOperand), m->name, m->opcode, operand, text.c_str()));
    else
        PrintLine(session, Format(TextOf(session, Text::Command), m->name, m->opcode, text.c_str()));
    return result;
}

int ByteIn(CliSession& session, const std::vector<std::string>& args) {
    if (!args.empty()) return Usage("in");
    if (!Begin(session)) return session.openFailure;
    uint32_t value = 0;
    const uint8_t result = Send(session, 15, 0, &value);
    PrintLine(session, Format("%02X", value & 0xFF));
    PrintLine(session, Format(TextOf(session, Text::ByteIn), ResultOf(session, result).c_str()));
    return result;
}

int ByteOut(CliSession& session, const std::vector<std::string>& args) {
    uint8_t value = 0;
    if (args.size() != 1 || !ParseByte(args[0], value)) return Usage("out HEX");
    if (!Begin(session)) return session.openFailure;
    uint32_t base = 0;
    Send(session, 38, 0, &base);
    const uint8_t result = Send(session, 34, value);
    const std::string text = ResultOf(session, result);
    if (session.options.language == 0)
        PrintLine(session, Format(TextOf(session, Text::ByteOut), base, value, text.c_str()));
    else
        PrintLine(session, Format(TextOf(session, Text::ByteOut), value, base, text.c_str()));
    return result;
}

int Pins(CliSession& session, const std::vector<std::string>& args) {
    uint8_t value = 0;
    if (args.size() != 1 || !ParseByte(args[0], value)) return Usage("pins HEX");
    if (!Begin(session)) return session.openFailure;
    Send(session, 34, value);
    uint32_t status = 0;
    const uint8_t result = Send(session, 36, 0, &status);
    PrintLine(session, Format(TextOf(session, Text::Pins), value, status & 0xFF));
    // BUSY is inverted by the port: the key line is 1 when bit 7 reads 0.
    PrintLine(session, Format(TextOf(session, Text::Levels), (status >> 6) & 1, (status & 0x80) ? 0 : 1,
                              (status >> 5) & 1, (status >> 4) & 1, (status >> 3) & 1));
    return result;
}

// Sets one supply as the debug window's scroll bar does. A programmer
// without the supply DAC only changes the host copy of the voltage register;
// krt then sends that copy with a VOLTSET (request 31), as the debug window's
// user would, so that the setting reaches the programmer before krt exits.
// A refused voltage (the message is logged) exits with 3.
int Supply(CliSession& session, const std::vector<std::string>& args, bool vpp) {
    float volts = 0.0f;
    if (args.size() != 1 || !ParseVolts(args[0], volts)) return Usage(vpp ? "vpp VOLTS" : "vcc VOLTS");
    // No supply of the programmer goes below 0 V.
    if (volts < 0.0f) {
        std::fprintf(stderr, "krt: %s\n",
                     Format(TextOf(session, Text::Negative), vpp ? "Vpp" : "Vcc", args[0].c_str()).c_str());
        return kExitUsage;
    }
    if (!Begin(session)) return session.openFailure;
    LinkContext& link = session.link;
    const bool applied = vpp ? link.SetVpp(volts) : link.SetVcc(volts);
    uint8_t result = kErrors;
    if (applied) {
        if (link.krt1Revision != 0x20) result = Send(session, 31, link.voltageRegister);
        else result = link.programmerFound ? 0 : 7;
    }
    // A Vpp below the programming voltages switches it off: say so, as the
    // register now holds it, rather than claim the voltage was set.
    const bool vppOff = link.krt1Revision == 0x20 ? (link.voltageRegister & 0x08) == 0
                                                  : (link.voltageRegister & 0x0F) == 0;
    if (vpp && applied && vppOff)
        PrintLine(session, Format(TextOf(session, Text::SupplyOff), args[0].c_str(), ResultOf(session, result).c_str()));
    else
        PrintLine(session, Format(TextOf(session, Text::Supply), vpp ? "Vpp" : "Vcc", args[0].c_str(),
                                  ResultOf(session, result).c_str()));
    return result;
}

int Vpp(CliSession& session, const std::vector<std::string>& args) { return Supply(session, args, true); }
int Vcc(CliSession& session, const std::vector<std::string>& args) { return Supply(session, args, false); }

}  // namespace

void RegisterLinkCommands(std::vector<CliCommand>& table) {
    table.push_back({"detect", "detect", "start-up: settings to the link, reset, detection (prints its lines)", Detect});
    table.push_back({"reset", "reset", "the hardware reset: link reset and detection", Reset});
    table.push_back({"cmd", "cmd MNEMONIC [HEX]",
                     "one programmer command (NOP INC DLREAD DHREAD REVREAD DLSEND DHSEND ALSET AHSET "
                     "DLSET DHSET CSET DEVSET TIMLOSET TIMHISET OPORTSET VOLTSET WAITTIM)",
                     LinkCommand});
    table.push_back({"in", "in", "read one byte from the programmer (no command first)", ByteIn});
    table.push_back({"out", "out HEX", "write a byte to the data register, no strobe", ByteOut});
    table.push_back({"pins", "pins HEX", "write a byte to the data register and show the status lines", Pins});
    table.push_back({"vpp", "vpp VOLTS", "set the programming voltage", Vpp});
    table.push_back({"vcc", "vcc VOLTS", "set the supply voltage", Vcc});
}

}  // namespace krt

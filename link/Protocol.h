// SPDX-License-Identifier: GPL-3.0-or-later
// The names of the protocol between the program and its link: request codes,
// result codes, which requests need the port, and the mnemonics of the
// eighteen programmer commands. Each is defined here and nowhere else.
#pragma once

#include <cstdint>

namespace krt {

// Request codes of Dispatch (0 to 46; 3 is not defined).
enum RequestCode : uint8_t {
    REQ_NOTHING = 0,
    REQ_RESET = 1,
    REQ_DETECT = 2,
    REQ_READ = 4,
    REQ_WRITE = 5,
    REQ_VERIFY = 6,
    REQ_ERASE = 7,
    REQ_SECURE = 8,
    REQ_BLANK_CHECK = 9,
    REQ_DEVICE_OPTION = 10,
    REQ_STOP = 11,
    REQ_DETECT_REVISIONS = 12,
    REQ_RESULT_INDICATOR = 13,
    REQ_CURRENT_ADDRESS = 14,
    REQ_READ_REPLY = 15,
    REQ_NOP = 16,
    REQ_INC = 17,
    REQ_DLREAD = 18,
    REQ_DHREAD = 19,
    REQ_REVREAD = 20,
    REQ_DLSEND = 21,
    REQ_DHSEND = 22,
    REQ_ALSET = 23,
    REQ_AHSET = 24,
    REQ_DLSET = 25,
    REQ_DHSET = 26,
    REQ_CSET = 27,
    REQ_DEVSET = 28,
    REQ_TIMLOSET = 29,
    REQ_TIMHISET = 30,
    REQ_VOLTSET = 31,
    REQ_WAITTIM = 32,
    REQ_OPORTSET = 33,
    REQ_PORT_WRITE_DATA = 34,
    REQ_PORT_READ_DATA = 35,
    REQ_PORT_READ_STATUS = 36,
    REQ_SET_PORT_BASE = 37,
    REQ_GET_PORT_BASE = 38,
    REQ_SET_CLOCK = 39,
    REQ_GET_CLOCK = 40,
    REQ_GET_KRT1_REVISION = 41,
    REQ_GET_KRT2_REVISION = 42,
    REQ_SET_POWER_CIRCUIT = 43,
    REQ_GET_POWER_CIRCUIT = 44,
    REQ_SET_LANGUAGE = 45,
    REQ_GET_LANGUAGE = 46,
};

// Result codes of every request (texts: ResultText).
enum ResultCode : uint8_t {
    RESULT_OK = 0,
    RESULT_CANCELED = 1,
    RESULT_ZERO_LENGTH = 2,
    RESULT_ERRORS = 3,
    RESULT_FATAL = 4,
    RESULT_UNDEFINED_COMMAND = 5,
    RESULT_UNDEFINED_DEVICE = 6,
    RESULT_NOT_FOUND = 7,
    RESULT_INCOMPLETE = 8,
    RESULT_UNSUPPORTED = 9,
};

// The result indicator's states (request 13's parameter).
enum IndicatorState : uint32_t { INDICATOR_OFF = 0, INDICATOR_FAILED = 1, INDICATOR_OK = 2 };

inline constexpr bool IsDeviceOperation(uint8_t code) { return code >= REQ_READ && code <= REQ_STOP; }

// The requests that drive the port themselves: reset, detection, the single
// commands and the raw port access. The device operations check the port on
// their own (after the family is known), and the settings of the link context
// need none.
inline constexpr bool RequestNeedsPort(uint8_t code) {
    return code == REQ_RESET || code == REQ_DETECT ||
           (code >= REQ_DETECT_REVISIONS && code <= REQ_PORT_READ_STATUS && code != REQ_CURRENT_ADDRESS);
}

// One of the eighteen programmer commands as the debug views send it.
struct CommandMnemonic {
    const char* name;
    uint8_t request;  // the request code that sends it
    uint8_t opcode;   // the programmer's opcode
    bool operand;     // takes a byte
};

// In the debug window's order.
inline constexpr CommandMnemonic kCommandMnemonics[] = {
    {"NOP", REQ_NOP, 0x00, false},          {"INC", REQ_INC, 0x01, false},
    {"DLREAD", REQ_DLREAD, 0x04, false},    {"DHREAD", REQ_DHREAD, 0x05, false},
    {"REVREAD", REQ_REVREAD, 0x06, false},  {"DLSEND", REQ_DLSEND, 0x08, true},
    {"DHSEND", REQ_DHSEND, 0x09, true},     {"ALSET", REQ_ALSET, 0x0A, true},
    {"AHSET", REQ_AHSET, 0x0B, true},       {"DLSET", REQ_DLSET, 0x0C, true},
    {"DHSET", REQ_DHSET, 0x0D, true},       {"CSET", REQ_CSET, 0x0E, true},
    {"DEVSET", REQ_DEVSET, 0x0F, true},     {"TIMLOSET", REQ_TIMLOSET, 0x10, true},
    {"TIMHISET", REQ_TIMHISET, 0x11, true}, {"OPORTSET", REQ_OPORTSET, 0x12, true},
    {"VOLTSET", REQ_VOLTSET, 0x13, true},   {"WAITTIM", REQ_WAITTIM, 0x14, false},
};

}  // namespace krt

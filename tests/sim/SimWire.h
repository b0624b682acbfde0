// SPDX-License-Identifier: GPL-3.0-or-later
// Drives the simulated programmer from the wire side, the way the protocol
// describes it: strobed frames, read slots, ready polling, and the voltage
// register's DAC bit sequence. Independent of the link's host code.
#pragma once

#include <cstdint>

#include "sim/VirtualKrt.h"

namespace krt::simtest {

enum : uint8_t {
    NOP = 0x00, INC = 0x01, DLREAD = 0x04, DHREAD = 0x05, REVREAD = 0x06, DLSEND = 0x08, DHSEND = 0x09,
    ALSET = 0x0A, AHSET = 0x0B, DLSET = 0x0C, DHSET = 0x0D, CSET = 0x0E, DEVSET = 0x0F, TIMLOSET = 0x10,
    TIMHISET = 0x11, OPORTSET = 0x12, VOLTSET = 0x13, WAITTIM = 0x14,
};

class Wire {
public:
    explicit Wire(VirtualKrt& krt, uint16_t base = 0x378) : k(krt), data(base), status(base + 1), control(base + 2) {}

    void Frame(uint8_t byte) {
        k.write(data, byte);
        k.write(control, 1);
        k.write(control, 0);
    }
    void Cmd(uint8_t opcode) { Frame(opcode); }
    void Cmd(uint8_t opcode, uint8_t operand) {
        Frame(opcode);
        Frame(operand);
    }
    bool Ack() { return k.read(status) & 0x40; }
    // Eight NOP read slots; ACK low is a 1, least significant bit first.
    uint8_t Reply() {
        uint8_t value = 0;
        for (int i = 0; i < 8; ++i) {
            k.write(data, 0);
            k.write(control, 1);
            const bool bit = !(k.read(status) & 0x40);
            value = static_cast<uint8_t>((value >> 1) | (bit ? 0x80 : 0));
            k.write(control, 0);
        }
        return value;
    }
    // Status reads until ACK is high; the number of busy reads, or -1.
    long WaitReady(long limit = 3'000'000) {
        for (long i = 0; i < limit; ++i)
            if (Ack()) return i;
        return -1;
    }
    uint8_t Fetch(uint8_t opcode) {
        Cmd(opcode);
        WaitReady();
        return Reply();
    }
    void Address(uint32_t a) {
        Cmd(ALSET, a & 0xFF);
        Cmd(AHSET, (a >> 8) & 0xFF);
        Cmd(CSET, (a >> 16) & 0xFF);
    }
    void Timer(uint8_t high, uint8_t low) {
        Cmd(TIMLOSET, low);
        Cmd(TIMHISET, high);
    }

    // Voltage register with the DAC bits kept in a copy, as the host does.
    uint8_t volt = 0x20;
    void Volt(uint8_t v) {
        volt = v;
        Cmd(VOLTSET, v);
    }
    void ShiftBit(int bit) {
        Volt(volt | 0x02);
        Volt(static_cast<uint8_t>((volt & ~0x01) | (bit & 1)));
        Volt(volt & ~0x02);
    }
    void DacWord(int channel, uint8_t code, int range = 1) {
        Volt(volt | 0x20);
        ShiftBit((channel >> 1) & 1);
        ShiftBit(channel & 1);
        ShiftBit(range);
        for (int b = 7; b >= 0; --b) ShiftBit((code >> b) & 1);
        Volt(volt & ~0x20);
        Volt(volt | 0x20);
    }

    VirtualKrt& k;
    uint16_t data, status, control;
};

}  // namespace krt::simtest

// SPDX-License-Identifier: GPL-3.0-or-later
// Test doubles for the link's three seams.
//
//   RecordingPort  records every register access in order and answers reads
//                  of the status register (base + 1) from a script;
//   ManualClock    virtual time that moves only when told (or by a fixed
//                  step on every now() call), so time-outs cost no real time;
//   CollectingLog  keeps every logged line; safe from any thread.
//
// Typical use (TestLink.h wires all three to a link context):
//   TestLink t;                      // port base 0x378; status 0x40 (ready) when unscripted
//   t.port.ScriptReply(0x20);        // the next ReadReply() returns 0x20
//   t.link.ReadReply();
//   EXPECT_EQ(t.port.Trace(), (Lines{"W 0378 00", "W 037A 01", "R 0379 00", ...}));
#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

#include "link/PortIo.h"

namespace krt::test {

using Lines = std::vector<std::string>;

// The first or last element, or an empty one when there is none: a check of
// "the last line" then fails instead of reading past the end of an empty log.
template <class Container>
typename Container::value_type First(const Container& c) {
    return c.empty() ? typename Container::value_type{} : c.front();
}
template <class Container>
typename Container::value_type Last(const Container& c) {
    return c.empty() ? typename Container::value_type{} : c.back();
}

struct PortAccess {
    bool write;
    uint16_t address;
    uint8_t value;
    bool operator==(const PortAccess&) const = default;
};

class RecordingPort : public PortIo {
public:
    explicit RecordingPort(uint16_t base = 0x378) : base(base) {}

    uint8_t read(uint16_t address) override;
    void write(uint16_t address, uint8_t value) override;

    // Status bytes returned, in order, by the next reads of base + 1; once
    // the script is used up every status read returns statusDefault.
    void ScriptStatus(uint8_t status) { statusScript.push_back(status); }
    // Scripts the eight read slots of one ReadReply() that yields value
    // (least significant bit first, ACK active low).
    void ScriptReply(uint8_t value);
    // Scripts `count` busy status reads (ACK low) before the default answer.
    void ScriptBusy(unsigned count);

    // Every access as "W 0378 0A" / "R 0379 40".
    Lines Trace() const;
    // The bytes of every strobed frame in order (the data register's value
    // when the strobe rises): opcodes, operands and the NOP read slots.
    std::vector<uint8_t> Frames() const;
    // The frames with the NOP read slots left out (the commands as sent).
    std::vector<uint8_t> CommandFrames() const;
    void Clear() { accesses.clear(); }

    uint16_t base;
    uint8_t statusDefault = 0x40;   // ACK high: ready, and reads 0
    bool record = true;             // false: count only (for very long polls)
    std::deque<uint8_t> statusScript;
    std::vector<PortAccess> accesses;
    uint64_t reads = 0;
    uint64_t writes = 0;
    uint8_t data = 0;      // last value written to the data register
    uint8_t control = 0;   // last value written to the control register
};

class ManualClock : public Clock {
public:
    std::chrono::nanoseconds now() override {
        const auto t = time;
        time += step;
        return t;
    }
    void sleepMs(unsigned ms) override {
        time += std::chrono::milliseconds(ms);
        sleptMs += ms;
    }
    void Advance(std::chrono::nanoseconds d) { time += d; }

    std::chrono::nanoseconds time{0};
    std::chrono::nanoseconds step{0};   // added after every now()
    uint64_t sleptMs = 0;
};

class CollectingLog : public LogSink {
public:
    void line(std::string_view utf8) override {
        std::lock_guard<std::mutex> lock(mutex_);
        lines_.emplace_back(utf8);
    }
    Lines lines() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return lines_;
    }
    void clear() {
        std::lock_guard<std::mutex> lock(mutex_);
        lines_.clear();
    }

private:
    mutable std::mutex mutex_;
    Lines lines_;
};

}  // namespace krt::test

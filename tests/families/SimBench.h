// SPDX-License-Identifier: GPL-3.0-or-later
// A link on the simulated programmer, started up as the window does, with a
// blank chip of the record in the socket. Strict: a test fails when the
// host breaches the wire protocol (unless the test expects it and says so
// with ExpectBreaches).
#pragma once

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "families/CreateFamily.h"
#include "sim/ChipFactory.h"
#include "sim/VirtualKrt.h"
#include "support/RecordingPort.h"

namespace krt::test {

constexpr uint32_t kAll = 100;

struct SimBench {
    VirtualKrt sim;
    CollectingLog log;
    LinkContext link;
    DeviceRecord record;
    std::vector<uint8_t> buffer;

    // krt1Revision 0x20 carries the supply DAC; 0x10 has fixed levels.
    explicit SimBench(DeviceRecord r, bool insertBlankChip = true,
                      uint8_t krt1Revision = VirtualKrt::kDefaultKrt1Revision)
        : record(std::move(r)) {
        sim.SetStrict(true);
        sim.SetRevisions(krt1Revision, VirtualKrt::kDefaultKrt2Revision);
        if (insertBlankChip) {
            std::string note;
            sim.InsertChip(MakeBlankChip(record, note));
            EXPECT_NE(sim.SocketChip(), nullptr) << note;
        }
        link.port = &sim;
        link.clock = &sim;
        link.log = &log;
        link.createFamily = &CreateFamily;
        Request(39, 4000000);
        Request(43, 2);
        Request(37, 0x378);
        Request(45, 1);
        Request(1);
        EXPECT_EQ(Request(2), 0) << "the simulated programmer is found";
        log.clear();
        buffer.assign(record.bufsize, 0xFF);
    }

    ~SimBench() {
        if (sim.Strict()) {
            for (const std::string& line : sim.BreachLines()) ADD_FAILURE() << line;
        }
    }

    // Puts one of the simulator's named faults on the programmer or its chip.
    void Fault(const std::string& name) {
        std::string error;
        EXPECT_TRUE(sim.ApplyFault(name, error)) << name << ": " << error;
    }

    // Cells of the chip that never program, or that take their value only
    // after a number of good pulses.
    void DeadCells(std::vector<uint32_t> cells) {
        CellFaults faults;
        faults.dead = std::move(cells);
        sim.SetCellFaults(faults);
    }
    void WeakCells(std::vector<WeakCell> cells) {
        CellFaults faults;
        faults.weak = std::move(cells);
        sim.SetCellFaults(faults);
    }

    // For tests of faults that make the host breach the protocol on purpose.
    void ExpectBreaches() { sim.SetStrict(false); }

    uint8_t Request(uint8_t code, uint32_t parameter = 0) {
        LinkRequest request;
        request.code = code;
        request.parameter = parameter;
        return Dispatch(link, request, record);
    }

    uint8_t Operation(uint8_t code, uint32_t start, uint32_t length, uint32_t permitted = kAll) {
        LinkRequest request;
        request.code = code;
        request.buffer = buffer.data();
        request.startAddress = start;
        request.length = length;
        request.permittedErrorCount = permitted;
        return Dispatch(link, request, record);
    }

    size_t CountLines(const std::string& prefix) const {
        size_t n = 0;
        for (const auto& l : log.lines()) n += l.rfind(prefix, 0) == 0;
        return n;
    }
};

// Forwards to the simulator and makes the programmer stop answering (stay
// busy) once the running operation has reached `stopAt` addresses.
class StopsAnsweringPort : public PortIo {
public:
    StopsAnsweringPort(SimBench& b, int32_t stopAt) : b_(b), stopAt_(stopAt) {}
    uint8_t read(uint16_t a) override { return b_.sim.read(a); }
    void write(uint16_t a, uint8_t v) override {
        b_.sim.write(a, v);
        if (b_.link.OperationProgress() >= stopAt_) b_.sim.SetStaysBusy(true);
    }

private:
    SimBench& b_;
    int32_t stopAt_;
};

inline std::vector<uint8_t> RandomBytes(size_t n, uint32_t seed) {
    std::mt19937 random(seed);
    std::vector<uint8_t> out(n);
    for (auto& b : out) b = static_cast<uint8_t>(random());
    return out;
}

}  // namespace krt::test

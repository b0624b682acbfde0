// SPDX-License-Identifier: GPL-3.0-or-later
// Static RAM family (type "SRAM": 6116, 6264, 62256 in the parallel EEPROM
// socket configuration). Reading is the EPROM family's; a RAM keeps nothing
// once its supply is off, so writing, verifying, erasing and blank checking
// are refused: its test is the march test below.
#pragma once

#include <cstdint>
#include <vector>

#include "families/ZVROM.h"

namespace krt {

// One cell that read other than the march test had written.
struct MarchError {
    uint32_t address = 0;
    uint8_t expected = 0;
    uint8_t read = 0;
};

class ZVSRAM : public ZVROM {
public:
    // The cells kept for the report (the first wrong read of each); more are only counted.
    static constexpr size_t kKeptErrors = 8;

    ZVSRAM(LinkContext& link, const LinkRequest& request, DeviceRecord& record);
    uint8_t Write() override { return RESULT_UNSUPPORTED; }
    uint8_t Verify() override { return RESULT_UNSUPPORTED; }
    uint8_t BlankCheck() override { return RESULT_UNSUPPORTED; }

    // March C- over the whole chip with the backgrounds 00/FF and 55/AA:
    //   up(w0); up(r0,w1); up(r1,w0); down(r0,w1); down(r1,w0); up(r0)
    // It finds stuck-at and transition faults, coupling between cells and
    // address lines that reach no cell of their own (a write lands on
    // another cell). Result 0 when it ran to its end (errors or not), 1
    // when cancelled, 4 when the programmer stopped answering.
    uint8_t MarchTest(std::vector<MarchError>& errors, uint64_t& errorTotal);

private:
    bool ReadByteAt(uint8_t& value);
    bool WriteByteAt(uint8_t value);
};

}  // namespace krt

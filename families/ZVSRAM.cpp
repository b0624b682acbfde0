// SPDX-License-Identifier: GPL-3.0-or-later
#include "families/ZVSRAM.h"

namespace krt {

ZVSRAM::ZVSRAM(LinkContext& link, const LinkRequest& request, DeviceRecord& record) : ZVROM(link, request, record) {}

bool ZVSRAM::ReadByteAt(uint8_t& value) {
    link_.DLREAD();
    if (!link_.WaitReady()) return false;
    value = static_cast<uint8_t>(link_.ReadReply());
    return true;
}

bool ZVSRAM::WriteByteAt(uint8_t value) {
    link_.DLSEND(value);
    return link_.WaitReady();
}

uint8_t ZVSRAM::MarchTest(std::vector<MarchError>& errors, uint64_t& errorTotal) {
    struct Step {
        bool read;
        bool one;  // the background's second value
    };
    struct Element {
        bool down;
        Step steps[2];
        int count;
    };
    static constexpr Element kMarch[] = {
        {false, {{false, false}, {}}, 1},            {false, {{true, false}, {false, true}}, 2},
        {false, {{true, true}, {false, false}}, 2},  {true, {{true, false}, {false, true}}, 2},
        {true, {{true, true}, {false, false}}, 2},   {false, {{true, false}, {}}, 1},
    };
    static constexpr uint8_t kBackgrounds[][2] = {{0x00, 0xFF}, {0x55, 0xAA}};
    const uint32_t size = record->maxsize;
    if (size == 0) return RESULT_ZERO_LENGTH;
    if (!PowerOn(true)) return RESULT_FATAL;
    link_.SetTimer(0, 3);
    uint8_t result = RESULT_OK;
    for (const auto& background : kBackgrounds) {
        for (const Element& element : kMarch) {
            if (!element.down) SetAddress(0);
            for (uint32_t i = 0; i < size && result == RESULT_OK; ++i) {
                const uint32_t address = element.down ? size - 1 - i : i;
                if (element.down) SetAddress(address);
                for (int s = 0; s < element.count; ++s) {
                    const uint8_t value = background[element.steps[s].one ? 1 : 0];
                    uint8_t seen = 0;
                    const bool answered = element.steps[s].read ? ReadByteAt(seen) : WriteByteAt(value);
                    if (!answered) result = RESULT_FATAL;
                    if (element.steps[s].read && answered && seen != value) {
                        const bool listed = !errors.empty() && errors.back().address == address;
                        if (!listed && errors.size() < kKeptErrors) errors.push_back({address, value, seen});
                        ++errorTotal;
                    }
                }
                if (cancel.load(std::memory_order_relaxed)) result = RESULT_CANCELED;
                if (!element.down) NextAddress();
            }
            if (result != RESULT_OK) break;
        }
        if (result != RESULT_OK) break;
    }
    PowerOff();
    if (link_.readyTimedOut) return RESULT_FATAL;
    return result;
}

}  // namespace krt

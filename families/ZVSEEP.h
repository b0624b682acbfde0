// Serial EEPROM family (two-wire 24Cxx, three-wire 93Cx6). Its bus
// primitives are not written yet, so every operation answers "incomplete"
// (the EPROM read cycle it would otherwise inherit does not fit a serial
// chip) and the device cannot be secured.
#pragma once

#include "families/ZVROM.h"

namespace krt {

class ZVSEEP : public ZVROM {
public:
    ZVSEEP(LinkContext& link, const LinkRequest& request, DeviceRecord& record);
    uint8_t Read() override;
    uint8_t Write() override;
    uint8_t Verify() override;
    uint8_t Erase() override;
    uint8_t BlankCheck() override;
};

}  // namespace krt

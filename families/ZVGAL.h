// GAL/PLD family. Not written yet: every operation answers "incomplete"
// without touching the programmer.
#pragma once

#include "families/ZVDevice.h"

namespace krt {

class ZVGAL : public ZVDevice {
public:
    ZVGAL(LinkContext& link, const LinkRequest& request, DeviceRecord& record);
    bool PowerOn(bool programming) override;
    void PowerOff() override;
    uint8_t Read() override;
    uint8_t Write() override;
    uint8_t Verify() override;
    uint8_t Erase() override;
    uint8_t Secure() override;
    uint8_t BlankCheck() override;
    uint8_t DeviceOption() override;
    uint8_t Stop() override;
};

}  // namespace krt

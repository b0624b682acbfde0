// PIC microcontroller family. Not written yet: its operations answer
// "incomplete"; securing and the device option do not exist for it.
#pragma once

#include "families/ZVDevice.h"

namespace krt {

class ZVPIC : public ZVDevice {
public:
    ZVPIC(LinkContext& link, const LinkRequest& request, DeviceRecord& record);
    bool PowerOn(bool programming) override;
    void PowerOff() override;
    uint8_t Read() override;
    uint8_t Write() override;
    uint8_t Verify() override;
    uint8_t Erase() override;
    uint8_t Secure() override { return RESULT_UNSUPPORTED; }
    uint8_t BlankCheck() override;
    uint8_t DeviceOption() override { return RESULT_UNSUPPORTED; }
    uint8_t Stop() override { return RESULT_INCOMPLETE; }
};

}  // namespace krt

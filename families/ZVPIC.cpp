#include "families/ZVPIC.h"

namespace krt {

// The program memory is always walked from word 0.
ZVPIC::ZVPIC(LinkContext& link, const LinkRequest& request, DeviceRecord& record) : ZVDevice(link) {
    TakeRequest(request, record, 0);
}

bool ZVPIC::PowerOn(bool programming) {
    (void)programming;
    return false;
}
void ZVPIC::PowerOff() {}
uint8_t ZVPIC::Read() { return RESULT_INCOMPLETE; }
uint8_t ZVPIC::Write() { return RESULT_INCOMPLETE; }
uint8_t ZVPIC::Verify() { return RESULT_INCOMPLETE; }
uint8_t ZVPIC::Erase() { return RESULT_INCOMPLETE; }
uint8_t ZVPIC::BlankCheck() { return RESULT_INCOMPLETE; }

}  // namespace krt

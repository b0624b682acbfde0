#include "families/ZVGAL.h"

namespace krt {

ZVGAL::ZVGAL(LinkContext& link, const LinkRequest& request, DeviceRecord& record) : ZVDevice(link) {
    TakeRequest(request, record, request.startAddress);
}

bool ZVGAL::PowerOn(bool programming) {
    (void)programming;
    return false;
}
void ZVGAL::PowerOff() {}
uint8_t ZVGAL::Read() { return RESULT_INCOMPLETE; }
uint8_t ZVGAL::Write() { return RESULT_INCOMPLETE; }
uint8_t ZVGAL::Verify() { return RESULT_INCOMPLETE; }
uint8_t ZVGAL::Erase() { return RESULT_INCOMPLETE; }
uint8_t ZVGAL::Secure() { return RESULT_INCOMPLETE; }
uint8_t ZVGAL::BlankCheck() { return RESULT_INCOMPLETE; }
uint8_t ZVGAL::DeviceOption() { return RESULT_INCOMPLETE; }
uint8_t ZVGAL::Stop() { return RESULT_INCOMPLETE; }

}  // namespace krt

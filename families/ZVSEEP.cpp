#include "families/ZVSEEP.h"

namespace krt {

ZVSEEP::ZVSEEP(LinkContext& link, const LinkRequest& request, DeviceRecord& record)
    : ZVROM(link, request, record) {}

uint8_t ZVSEEP::Read() { return RESULT_INCOMPLETE; }
uint8_t ZVSEEP::Write() { return RESULT_INCOMPLETE; }
uint8_t ZVSEEP::Verify() { return RESULT_INCOMPLETE; }
uint8_t ZVSEEP::Erase() { return RESULT_INCOMPLETE; }
uint8_t ZVSEEP::BlankCheck() { return RESULT_INCOMPLETE; }

}  // namespace krt

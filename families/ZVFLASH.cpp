#include "families/ZVFLASH.h"

namespace krt {

ZVFLASH::ZVFLASH(LinkContext& link, const LinkRequest& request, DeviceRecord& record)
    : ZVROM(link, request, record) {}

uint8_t ZVFLASH::Write() { return RESULT_INCOMPLETE; }
uint8_t ZVFLASH::Erase() { return RESULT_INCOMPLETE; }

}  // namespace krt

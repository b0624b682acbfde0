#include "families/ZVEEPROM.h"

namespace krt {

ZVEEPROM::ZVEEPROM(LinkContext& link, const LinkRequest& request, DeviceRecord& record)
    : ZVROM(link, request, record) {}

uint8_t ZVEEPROM::Write() { return RESULT_INCOMPLETE; }
uint8_t ZVEEPROM::Erase() { return RESULT_INCOMPLETE; }

}  // namespace krt

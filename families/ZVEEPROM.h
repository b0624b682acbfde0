// Parallel EEPROM family (28Cxx). Reading, verifying and blank checking are
// the EPROM family's; the page write and the erase are not written yet.
#pragma once

#include "families/ZVROM.h"

namespace krt {

class ZVEEPROM : public ZVROM {
public:
    ZVEEPROM(LinkContext& link, const LinkRequest& request, DeviceRecord& record);
    uint8_t Write() override;
    uint8_t Erase() override;
};

}  // namespace krt

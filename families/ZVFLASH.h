// Parallel 28F flash family. Reading, verifying and blank checking are the
// EPROM family's; programming and erasing are not written yet.
#pragma once

#include "families/ZVROM.h"

namespace krt {

class ZVFLASH : public ZVROM {
public:
    ZVFLASH(LinkContext& link, const LinkRequest& request, DeviceRecord& record);
    uint8_t Write() override;
    uint8_t Erase() override;
};

}  // namespace krt

// SPDX-License-Identifier: GPL-3.0-or-later
#include "families/ZVDevice.h"

#include "base/Log.h"
#include "families/FamilyTexts.h"

namespace krt {

void ZVDevice::LogWriteEnd(bool brokenOff) const {
    if (errorCount != 0) Log(link_.log, Text(texts::kWriteErrorCount), static_cast<long>(errorCount));
    if (cancel.load(std::memory_order_relaxed) != 0) {
        const uint32_t start = StartAddress();
        const uint32_t reached = CurrentAddress();
        Log(link_.log, texts::kWriteCanceledAt[link_.language == 0 ? 0 : 1], static_cast<unsigned long>(reached),
            static_cast<unsigned long>(reached >= start ? reached - start : 0), static_cast<unsigned long>(start));
        if (blankSkipped != 0)
            Log(link_.log, texts::kWriteCanceledBlank[link_.language == 0 ? 0 : 1],
                static_cast<unsigned long>(blankSkipped));
        return;
    }
    if (errorCount == 0 && !brokenOff) Log(link_.log, "%s", Text(texts::kWriteWithoutErrors));
}

}  // namespace krt

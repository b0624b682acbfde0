// SPDX-License-Identifier: GPL-3.0-or-later
// A link context wired to the test doubles of RecordingPort.h.
#pragma once

#include "RecordingPort.h"
#include "catalogue/DeviceRecord.h"
#include "link/Link.h"

namespace krt::test {

// The port base is 0x378; every other field is as the program starts.
struct TestLink {
    RecordingPort port;
    ManualClock clock;
    CollectingLog log;
    LinkContext link;
    DeviceRecord record;

    TestLink() {
        link.port = &port;
        link.clock = &clock;
        link.log = &log;
        link.portBase = 0x378;
    }

    // One request through Dispatch; returns the result code.
    uint8_t Request(uint8_t code, uint32_t parameter = 0, uint32_t* resultValue = nullptr) {
        LinkRequest request;
        request.code = code;
        request.parameter = parameter;
        const uint8_t result = Dispatch(link, request, record);
        if (resultValue) *resultValue = request.resultValue;
        return result;
    }

    // Answers the detection's two revision reads (KRT1, then KRT2) and runs code 2.
    uint8_t Detect(uint8_t krt1, uint8_t krt2) {
        port.ScriptReply(krt1);
        port.ScriptStatus(0x40);  // WaitReady after DLREAD: ready
        port.ScriptReply(krt2);
        return Request(2);
    }
};

}  // namespace krt::test

// SPDX-License-Identifier: GPL-3.0-or-later
#include "session/Identify.h"

#include <strings.h>

#include "base/Log.h"
#include "families/ZVFLASH5V.h"
#include "session/SessionTexts.h"

namespace krt {

namespace {

constexpr const char* kFlashType = "FLASH5V";
// The C-port bit of address bit 18: pin 1 of the 32-pin socket.
constexpr uint8_t kPin1High = 0x04;

// The probe: the 32-pin socket of the 5 V flash parts at 5 V, page mode so
// that the reset after the ID is the three-cycle AA 55 F0 (a lone F0 would
// be a page byte on the page-mode parts), no identity of its own.
DeviceRecord ProbeRecord(uint8_t entry) {
    DeviceRecord r;
    r.type = kFlashType;
    r.manufacture = "-";
    r.name = "identify";
    r.typecode = 0x12;
    r.maxsize = r.bufsize = 0x80000;
    r.pagesize = 128;
    r.pagewrite = 1;
    r.VppR = r.VccR = r.VppW = r.VccW = 5.0;
    r.ahand = r.amand = r.aland = r.dhand = r.dland = 0xFF;
    r.retry = 1;
    r.verify = 1;
    r.bytesPerWord = 1;
    r.identry = entry == 6 ? 6 : 3;
    return r;
}

}  // namespace

std::vector<std::string> EntriesWithId(const Catalogue& catalogue, uint8_t maker, uint8_t device) {
    std::vector<std::string> out;
    const DeviceList& list = catalogue.list;
    for (size_t i = 0; i < list.types.size(); ++i) {
        if (strcasecmp(list.types[i].c_str(), kFlashType) != 0) continue;
        DeviceRecord record;
        if (!LoadDeviceRecord(list, catalogue.directory, list.types[i], list.makers[i], list.names[i], 1, nullptr,
                              record)
                 .selected)
            continue;
        if (record.chipid == (maker << 8 | device))
            out.push_back(list.types[i] + " " + list.makers[i] + " " + list.names[i]);
    }
    return out;
}

IdentifyReport IdentifyChip(Session& session, const Catalogue& catalogue, uint32_t language, uint8_t entry) {
    IdentifyReport report;
    LinkContext& link = session.link;
    LinkRequest request;
    request.code = 10;  // never dispatched: only the record of what runs
    if (!link.port || !link.clock) {
        report.result = RESULT_FATAL;
        return report;
    }
    link.readyTimedOut = false;
    // pin1High: the C port's OR mask keeps address bit 18, which the socket
    // puts on pin 1, high: a part with RESET# there leaves its reset.
    auto probeOnce = [&](bool pin1High) {
        DeviceRecord probe = ProbeRecord(entry);
        if (pin1High) probe.ahor = kPin1High;
        ZVFLASH5V family(link, request, probe);
        if (!link.Publish(&family)) return false;
        bool read = family.PowerOn(true);
        read = read && family.ReadProductIdKeepingChip(report.maker, report.device, report.answered,
                                                       report.restored, report.lost);
        family.PowerOff();
        link.Withdraw();
        return read && !link.readyTimedOut;
    };
    // Pin 1 low first: on the 4 Mbit parts it is A18, and the ID is read at
    // addresses 0 and 1.
    if (!probeOnce(false) || (!report.answered && !probeOnce(true))) {
        report.result = RESULT_FATAL;
        return report;
    }
    if (report.lost > 0)
        report.restoreLine = Format(InLanguage(kIdentifyLostText, language), static_cast<unsigned>(report.lost));
    else if (report.restored > 0)
        report.restoreLine =
            Format(InLanguage(kIdentifyRestoredText, language), static_cast<unsigned>(report.restored));
    if (!report.answered) {
        report.result = RESULT_NOT_FOUND;
        report.line = Format(InLanguage(kIdentifyNoAnswerText, language), report.maker, report.device);
        return report;
    }
    report.matches = EntriesWithId(catalogue, report.maker, report.device);
    std::string names;
    for (const std::string& m : report.matches) names += (names.empty() ? "" : ", ") + m;
    report.line = report.matches.empty()
                      ? Format(InLanguage(kIdentifyUnknownText, language), report.maker, report.device)
                      : Format(InLanguage(kIdentifyMatchText, language), report.maker, report.device, names.c_str());
    report.result = RESULT_OK;
    return report;
}

}  // namespace krt

// SPDX-License-Identifier: GPL-3.0-or-later
#include "families/CreateFamily.h"

#include <cctype>
#include <string_view>

#include "families/ZVEEPROM.h"
#include "families/ZVFLASH.h"
#include "families/ZVFLASH5V.h"
#include "families/ZVGAL.h"
#include "families/ZVPIC.h"
#include "families/ZVROM.h"
#include "families/ZVSEEP.h"
#include "families/ZVSRAM.h"

namespace krt {

namespace {

bool SameKey(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (std::toupper(static_cast<unsigned char>(a[i])) != std::toupper(static_cast<unsigned char>(b[i])))
            return false;
    return true;
}

template <class Family>
std::unique_ptr<ZVDevice> Make(LinkContext& link, const LinkRequest& request, DeviceRecord& record) {
    return std::make_unique<Family>(link, request, record);
}

struct Keyword {
    const char* key;
    FamilyFactory make;
};

constexpr Keyword kKeywords[] = {
    {"GAL", &Make<ZVGAL>},         {"OTPROM", &Make<ZVROM>}, {"EPROM", &Make<ZVROM>},
    {"EEPROM", &Make<ZVEEPROM>},   {"SEEPROM", &Make<ZVSEEP>}, {"FLASH", &Make<ZVFLASH>},
    {"PIC", &Make<ZVPIC>},         {"FLASH5V", &Make<ZVFLASH5V>}, {"SRAM", &Make<ZVSRAM>},
};

}  // namespace

std::unique_ptr<ZVDevice> CreateFamily(LinkContext& link, const LinkRequest& request, DeviceRecord& record) {
    for (const Keyword& k : kKeywords)
        if (SameKey(record.type, k.key)) return k.make(link, request, record);
    return nullptr;
}

}  // namespace krt

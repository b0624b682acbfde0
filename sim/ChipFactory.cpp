#include "sim/ChipFactory.h"

#include <cstdio>
#include <cstdlib>
#include <strings.h>

#include "catalogue/DeviceRecord.h"
#include "sim/EpromChip.h"
#include "sim/SimTexts.h"

namespace krt {

namespace {

bool SameText(const std::string& a, const char* b) { return strcasecmp(a.c_str(), b) == 0; }

uint32_t ValueOf(const ChipImage& image, const char* key) {
    auto it = image.values.find(key);
    return it == image.values.end() ? 0 : static_cast<uint32_t>(std::strtoul(it->second.c_str(), nullptr, 10));
}

}  // namespace

std::unique_ptr<Chip> MakeBlankChip(const DeviceRecord& record, std::string& note) {
    char text[256];
    const bool eprom = SameText(record.type, "EPROM");
    const bool otp = SameText(record.type, "OTPROM");
    if (!eprom && !otp) {
        std::snprintf(text, sizeof text, kSimTextNoModel, record.type.c_str(), record.typecode);
        note = text;
        return nullptr;
    }
    if (record.maxsize == 0 || record.maxsize > EpromChip::kMaxWords) {
        std::snprintf(text, sizeof text, kSimTextBadSize, record.name.c_str(),
                      static_cast<unsigned long>(record.maxsize));
        note = text;
        return nullptr;
    }
    const bool wide = (record.typecode >= 0x18 && record.typecode <= 0x1B) || record.wordaccess == 1;
    note.clear();
    return std::make_unique<EpromChip>(record.name, record.maxsize, wide, otp, EpromElectricalFor(record));
}

std::unique_ptr<Chip> MakeChipFromImage(const ChipImage& image, std::string& error) {
    std::unique_ptr<Chip> chip;
    if (image.kind == "EPROM" || image.kind == "OTPROM") {
        const uint32_t words = ValueOf(image, "words");
        if (words == 0 || words > EpromChip::kMaxWords) {
            error = kSimTextChipFileBadContents;
            return nullptr;
        }
        EpromElectrical facts;
        LookUpEpromPart(image.device, facts);  // the file's own facts override these in Load
        chip = std::make_unique<EpromChip>(image.device, words, ValueOf(image, "width") == 16,
                                           image.kind == "OTPROM", facts);
    } else {
        char text[200];
        std::snprintf(text, sizeof text, kSimTextUnknownKind, image.kind.c_str());
        error = text;
        return nullptr;
    }
    if (!chip->Load(image, error)) return nullptr;
    return chip;
}

}  // namespace krt

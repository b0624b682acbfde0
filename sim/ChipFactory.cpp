// SPDX-License-Identifier: GPL-3.0-or-later
#include "sim/ChipFactory.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <strings.h>

#include "catalogue/DeviceRecord.h"
#include "sim/SimTexts.h"

namespace krt {

std::unique_ptr<Chip> MakeBlankChip(const DeviceRecord& record, std::string& note) {
    note.clear();
    for (const ChipKind& kind : ChipKinds()) {
        if (strcasecmp(kind.deviceType, record.type.c_str()) != 0) continue;
        std::unique_ptr<Chip> chip = kind.blank(record, note);
        if (chip) {
            chip->SetSocketConfig(record.typecode);
            note.clear();
            return chip;
        }
    }
    if (note.empty()) {
        char text[256];
        std::snprintf(text, sizeof text, kSimTextNoModel, record.type.c_str(), record.typecode);
        note = text;
    }
    return nullptr;
}

std::unique_ptr<Chip> MakeChipFromImage(const ChipImage& image, std::string& error) {
    for (const ChipKind& kind : ChipKinds()) {
        if (image.kind != kind.kind) continue;
        std::unique_ptr<Chip> chip = kind.shaped(image, error);
        if (!chip) return nullptr;
        // Files written before the socket configuration was saved keep the
        // model's own default.
        if (auto it = image.values.find("config"); it != image.values.end()) {
            // One or two hexadecimal digits: anything else would put the
            // chip in a socket wired for no device, where it reads as absent.
            const std::string& text = it->second;
            bool hex = !text.empty() && text.size() <= 2;
            for (char c : text) hex = hex && std::isxdigit(static_cast<unsigned char>(c));
            if (!hex) {
                error = std::string(kSimTextBadConfig) + " \"" + text + "\"";
                return nullptr;
            }
            chip->SetSocketConfig(static_cast<uint8_t>(std::strtoul(text.c_str(), nullptr, 16)));
        }
        if (!chip->Load(image, error)) return nullptr;
        return chip;
    }
    char text[200];
    std::snprintf(text, sizeof text, kSimTextUnknownKind, image.kind.c_str());
    error = text;
    return nullptr;
}

}  // namespace krt

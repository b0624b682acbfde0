#include "sim/Chip.h"

#include "sim/SimTexts.h"

namespace krt {

std::string Chip::Describe() const { return std::string(Kind()) + " " + deviceName_; }

bool Chip::UvErase(std::string& reason) {
    reason = kSimTextNoErase;
    return false;
}

}  // namespace krt

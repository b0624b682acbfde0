// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Platform.h"

namespace krt {

namespace {

class TracingPort final : public PortIo {
public:
    TracingPort(std::unique_ptr<PortIo> inner, std::FILE* out) : inner_(std::move(inner)), out_(out) {}
    uint8_t read(uint16_t address) override {
        const uint8_t value = inner_->read(address);
        std::fprintf(out_, "R %04X %02X\n", address, value);
        return value;
    }
    void write(uint16_t address, uint8_t value) override {
        std::fprintf(out_, "W %04X %02X\n", address, value);
        inner_->write(address, value);
    }

private:
    std::unique_ptr<PortIo> inner_;
    std::FILE* out_;
};

}  // namespace

std::unique_ptr<PortIo> MakeTracingPort(std::unique_ptr<PortIo> inner, std::FILE* out) {
    return std::make_unique<TracingPort>(std::move(inner), out);
}

}  // namespace krt

// SPDX-License-Identifier: GPL-3.0-or-later
#include "cli/Settings.h"

#include <cerrno>
#include <cstdlib>
#include <fstream>

#include "platform/Platform.h"

namespace krt {

namespace {

std::string Trim(const std::string& s) {
    const size_t first = s.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return std::string();
    const size_t last = s.find_last_not_of(" \t\r\n");
    return s.substr(first, last - first + 1);
}

// Decimal as QSettings writes it; "0x378" as a user might write it by hand.
std::optional<int32_t> ParseInt(std::string text) {
    text = Trim(text);
    if (text.size() >= 2 && text.front() == '"' && text.back() == '"') text = text.substr(1, text.size() - 2);
    if (text.empty()) return std::nullopt;
    errno = 0;
    char* end = nullptr;
    const long long v = std::strtoll(text.c_str(), &end, 0);
    if (errno != 0 || *end != '\0' || v < INT32_MIN || v > UINT32_MAX) return std::nullopt;
    return static_cast<int32_t>(static_cast<uint32_t>(v));
}

}  // namespace

std::string DefaultSettingsPath() {
    const char* xdg = std::getenv("XDG_CONFIG_HOME");
    if (xdg && *xdg) return std::string(xdg) + "/Kavimeru/KRTwin.conf";
    const char* home = std::getenv("HOME");
    if (home && *home) return std::string(home) + "/.config/Kavimeru/KRTwin.conf";
    return std::string();
}

bool ReadSettingsFile(const std::string& path, StoredSettings& settings) {
    std::ifstream file(path);
    if (!file) return false;
    std::string line, section;
    while (std::getline(file, line)) {
        line = Trim(line);
        if (line.empty() || line[0] == ';' || line[0] == '#') continue;
        if (line.front() == '[' && line.back() == ']') {
            section = line.substr(1, line.size() - 2);
            continue;
        }
        if (section != "General") continue;
        const size_t eq = line.find('=');
        if (eq == std::string::npos) continue;
        const std::string key = Trim(line.substr(0, eq));
        const std::optional<int32_t> value = ParseInt(line.substr(eq + 1));
        if (!value) continue;
        if (key == "ClockFreq") settings.clockFreq = value;
        else if (key == "PwrCircuitVersion") settings.pwrCircuitVersion = value;
        else if (key == "LprPort") settings.lprPort = value;
        else if (key == "Language") settings.language = value;
        else if (key == "UseSimulator") settings.useSimulator = value;
    }
    return true;
}

// The ranges are those the window accepts at start-up; a value outside them
// is a setting the window itself would ask the user to correct, so the
// command line does not run hardware on it and keeps its default instead.
void ApplySettings(const StoredSettings& s, CliOptions& options) {
    if (s.clockFreq && *s.clockFreq >= static_cast<int32_t>(kMinClockHz) && *s.clockFreq <= static_cast<int32_t>(kMaxClockHz))
        options.clock = static_cast<uint32_t>(*s.clockFreq);
    if (s.pwrCircuitVersion && (*s.pwrCircuitVersion == 1 || *s.pwrCircuitVersion == 2))
        options.powerCircuit = static_cast<uint8_t>(*s.pwrCircuitVersion);
    if (s.lprPort) {
        const uint16_t base = static_cast<uint16_t>(*s.lprPort);
        if (PortBaseAccepted(base)) options.portBase = base;
    }
    if (s.language && (*s.language == 0 || *s.language == 1))
        options.language = static_cast<uint32_t>(*s.language);
    if (s.useSimulator) options.port = *s.useSimulator == 0 ? "ppdev" : "sim";
}

}  // namespace krt

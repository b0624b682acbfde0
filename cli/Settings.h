// SPDX-License-Identifier: GPL-3.0-or-later
// The window's settings store, read without Qt. On Linux QSettings keeps it
// as the INI file $XDG_CONFIG_HOME/Kavimeru/KRTwin.conf (by default
// ~/.config/Kavimeru/KRTwin.conf), keys in the [General] section. krt only
// reads it: options given on the command line are never written back.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "cli/Cli.h"

namespace krt {

struct StoredSettings {
    std::optional<int32_t> clockFreq;
    std::optional<int32_t> pwrCircuitVersion;
    std::optional<int32_t> lprPort;
    std::optional<int32_t> language;
    std::optional<int32_t> useSimulator;   // 1: simulated programmer, 0: printer port
};

// The window's settings file; empty when neither XDG_CONFIG_HOME nor HOME is set.
std::string DefaultSettingsPath();

// Reads the integer keys of [General]. A missing file gives no values and
// returns false; unreadable values are left out.
bool ReadSettingsFile(const std::string& path, StoredSettings& settings);

// Takes every stored value that the window would accept into the options;
// the rest keep the command line's defaults.
void ApplySettings(const StoredSettings& settings, CliOptions& options);

}  // namespace krt

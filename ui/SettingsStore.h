// SPDX-License-Identifier: GPL-3.0-or-later
// The per-user settings store: QSettings of organisation "Kavimeru",
// application "KRTwin" (the registry key SOFTWARE\Kavimeru\KRTwin of the
// current user on Windows, the user's configuration file elsewhere). All
// values are 32-bit integers. The krt command line reads the same file.
#pragma once

#include <QString>
#include <cstdint>
#include <memory>

class QSettings;

namespace krt {

inline constexpr const char* kSettingsKey = "SOFTWARE\\Kavimeru\\KRTwin";
inline constexpr const char* kSettingsOrganisation = "Kavimeru";
inline constexpr const char* kSettingsApplication = "KRTwin";

// Value names.
inline constexpr const char* kClockFreq = "ClockFreq";
inline constexpr const char* kPwrCircuitVersion = "PwrCircuitVersion";
inline constexpr const char* kLprPort = "LprPort";
inline constexpr const char* kLanguage = "Language";
// 1: the simulated programmer, 0: the printer port at LprPort.
inline constexpr const char* kUseSimulator = "UseSimulator";
// The main window's size when it was closed last.
inline constexpr const char* kWindowWidth = "WindowWidth";
inline constexpr const char* kWindowHeight = "WindowHeight";
// The last device selected: a list of type key, maker and name (text, the
// one value that is not an integer; krt does not read it).
inline constexpr const char* kLastDevice = "LastDevice";

class SettingsStore {
public:
    SettingsStore();
    ~SettingsStore();
    SettingsStore(const SettingsStore&) = delete;
    SettingsStore& operator=(const SettingsStore&) = delete;

    // Closes any open key and opens the store. Without create, a store that
    // holds no value at all counts as missing (a first run). With create,
    // the store is opened when it can be written. Returns IsOpen().
    bool Open(const QString& path, bool create);
    // The value as a 32-bit integer, or def when the key is closed, the value
    // is absent or it is not an integer.
    int32_t ReadInt(const QString& name, int32_t def) const;
    // Stores a 32-bit integer; false when the key is closed or not writable.
    bool WriteInt(const QString& name, int32_t value);
    void Close();
    bool IsOpen() const { return settings_ != nullptr; }

private:
    std::unique_ptr<QSettings> settings_;
};

}  // namespace krt

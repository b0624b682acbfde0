// SPDX-License-Identifier: GPL-3.0-or-later
#include "SettingsStore.h"

#include <QSettings>

namespace krt {

SettingsStore::SettingsStore() = default;
SettingsStore::~SettingsStore() { Close(); }

// The path names the key in the registry's terms; QSettings maps the
// organisation and application to the same place on every platform, so the
// path only documents the caller's intent.
bool SettingsStore::Open(const QString& path, bool create) {
    (void)path;
    Close();
    auto settings = std::make_unique<QSettings>(QString::fromLatin1(kSettingsOrganisation),
                                                QString::fromLatin1(kSettingsApplication));
    if (!create && settings->allKeys().isEmpty()) return false;
    if (create && !settings->isWritable()) return false;
    settings_ = std::move(settings);
    return true;
}

int32_t SettingsStore::ReadInt(const QString& name, int32_t def) const {
    if (!settings_) return def;
    const QVariant v = settings_->value(name);
    if (!v.isValid()) return def;
    bool ok = false;
    const qlonglong n = v.toLongLong(&ok);
    if (!ok) {
        // Values written by hand may be hexadecimal ("0x378").
        const QString text = v.toString().trimmed();
        const qlonglong h = text.toLongLong(&ok, 0);
        if (!ok) return def;
        return static_cast<int32_t>(static_cast<uint32_t>(h));
    }
    return static_cast<int32_t>(static_cast<uint32_t>(n));
}

bool SettingsStore::WriteInt(const QString& name, int32_t value) {
    if (!settings_ || !settings_->isWritable()) return false;
    settings_->setValue(name, static_cast<int>(value));
    settings_->sync();
    return settings_->status() == QSettings::NoError;
}

void SettingsStore::Close() {
    if (settings_) settings_->sync();
    settings_.reset();
}

}  // namespace krt

// SPDX-License-Identifier: GPL-3.0-or-later
#include "FileFolders.h"

#include <QCryptographicHash>
#include <QFileInfo>
#include <QSettings>

#include "SettingsStore.h"

namespace krt {

namespace {

QString KeyOf(const QString& kind) {
    const QByteArray hash = QCryptographicHash::hash(kind.toUtf8(), QCryptographicHash::Sha1).toHex().left(12);
    return QStringLiteral("Folders/") + QString::fromLatin1(hash);
}

}  // namespace

QString FolderFor(const QString& kind) {
    QSettings settings(QString::fromLatin1(kSettingsOrganisation), QString::fromLatin1(kSettingsApplication));
    return settings.value(KeyOf(kind)).toString();
}

void RememberFolder(const QString& kind, const QString& file) {
    if (file.isEmpty()) return;
    QSettings settings(QString::fromLatin1(kSettingsOrganisation), QString::fromLatin1(kSettingsApplication));
    settings.setValue(KeyOf(kind), QFileInfo(file).absolutePath());
}

}  // namespace krt

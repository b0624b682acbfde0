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

// The kernel's own file systems: their files are no data files, and some
// block whoever reads them.
bool SystemFolder(const QString& folder) {
    for (const char* root : {"/proc", "/sys", "/dev"}) {
        const QString r = QString::fromLatin1(root);
        if (folder == r || folder.startsWith(r + QLatin1Char('/'))) return true;
    }
    return false;
}

}  // namespace

QString FolderFor(const QString& kind) {
    QSettings settings(QString::fromLatin1(kSettingsOrganisation), QString::fromLatin1(kSettingsApplication));
    const QString folder = settings.value(KeyOf(kind)).toString();
    return SystemFolder(QFileInfo(folder).canonicalFilePath()) ? QString() : folder;
}

void RememberFolder(const QString& kind, const QString& file) {
    if (file.isEmpty() || SystemFolder(QFileInfo(file).absolutePath())) return;
    QSettings settings(QString::fromLatin1(kSettingsOrganisation), QString::fromLatin1(kSettingsApplication));
    settings.setValue(KeyOf(kind), QFileInfo(file).absolutePath());
}

}  // namespace krt

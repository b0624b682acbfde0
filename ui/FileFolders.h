// SPDX-License-Identifier: GPL-3.0-or-later
// The folder each kind of file dialog opens in: the one its last file was
// chosen in, kept in the settings between runs. A kind is the dialog's
// filter (data files, JEDEC files, logs, batch logs each have their own).
#pragma once

#include <QString>

namespace krt {

// Empty when no file of the kind was read or written yet (the dialog's own
// start), and for a folder of the kernel's (/proc, /sys, /dev).
QString FolderFor(const QString& kind);
// Called once the file was read or written: a failed save or open leaves
// the folder of the last one that worked.
void RememberFolder(const QString& kind, const QString& file);

}  // namespace krt

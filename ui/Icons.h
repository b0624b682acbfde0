// SPDX-License-Identifier: GPL-3.0-or-later
// The toolbar's and menus' icons: the platform style's where it has a
// fitting one, small drawn ones for the device operations.
#pragma once

#include <QIcon>

class QStyle;

namespace krt {

QIcon CommandIcon(const char* name, QStyle* style);

// The program's own icon (the desktop entry's), for the windows and the About box.
QIcon ProgramIcon();

}  // namespace krt

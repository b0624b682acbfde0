// The toolbar's and menus' icons: the platform style's where it has a
// fitting one, small drawn ones for the device operations.
#pragma once

#include <QIcon>

class QStyle;

namespace krt {

QIcon CommandIcon(const char* name, QStyle* style);

}  // namespace krt

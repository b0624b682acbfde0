// SPDX-License-Identifier: GPL-3.0-or-later
// The device boxes' search across types and makers: a piece of a part
// number, or the number printed on a chip ("W27C512-45Z").
#pragma once

#include <QComboBox>
#include <QString>

#include "catalogue/DeviceList.h"

namespace krt {

// The entry to point the boxes at: the Type box's row, the maker and number
// to choose, and the line that names it. typeIndex -1: nothing found.
struct FoundPart {
    int typeIndex = -1;
    QString maker, name, line;
};

// When `typed` is no number of the Number box, the entry the catalogue
// search finds first (for a printed number, the one to use).
FoundPart FindPartForBoxes(const DeviceList& list, const QString& typed, const QComboBox* type,
                           const QComboBox* number, uint32_t language);

}  // namespace krt

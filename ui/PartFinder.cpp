// SPDX-License-Identifier: GPL-3.0-or-later
#include "PartFinder.h"

#include "WindowTexts.h"
#include "base/Log.h"
#include "catalogue/CatalogueTexts.h"
#include "catalogue/PartSearch.h"

namespace krt {

FoundPart FindPartForBoxes(const DeviceList& list, const QString& typed, const QComboBox* type,
                           const QComboBox* number, uint32_t language) {
    FoundPart part;
    if (typed.trimmed().isEmpty() || number->findText(typed, Qt::MatchFixedString) >= 0) return part;
    const PartSearch found = SearchParts(list, typed.toStdString());
    if (found.entries.empty()) return part;
    const size_t entry = static_cast<size_t>(found.entries.front());
    const QString key = QString::fromStdString(list.types[entry]);
    for (int i = 0; i < type->count() && part.typeIndex < 0; ++i)
        if (TypeKeyOf(type->itemText(i)).compare(key, Qt::CaseInsensitive) == 0) part.typeIndex = i;
    part.maker = QString::fromStdString(list.makers[entry]);
    part.name = QString::fromStdString(list.names[entry]);
    const std::string use = list.types[entry] + " " + list.makers[entry] + " " + list.names[entry];
    const std::string printed = found.marking ? found.number : list.names[entry];
    part.line = QString::fromStdString(Format(CatalogueTextOf(language, CatalogueText::PrintedNumber),
                                              typed.toStdString().c_str(), printed.c_str(), use.c_str()));
    return part;
}

}  // namespace krt

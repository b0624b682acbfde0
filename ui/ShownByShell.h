// SPDX-License-Identifier: GPL-3.0-or-later
// What the about box and the welcome window do when the main window opens
// them: speak the language it last chose and stand in the middle of the
// screen.
#pragma once

#include <QDialog>
#include <QScreen>
#include <QShowEvent>

#include "ShellServices.h"
#include "link/Link.h"

namespace krt {

template <class Dialog>
void PrepareShownByShell(Dialog* dialog, QShowEvent* event) {
    if (event->spontaneous()) return;
    if (auto* shell = dynamic_cast<ShellServices*>(dialog->parentWidget()))
        dialog->SetLanguage(shell->Link().language);
    if (QScreen* s = dialog->screen()) dialog->move(s->availableGeometry().center() - dialog->rect().center());
}

}  // namespace krt

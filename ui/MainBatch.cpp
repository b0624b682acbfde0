// SPDX-License-Identifier: GPL-3.0-or-later
// Operation, Batch: the production-run dialog over the loaded device and image.
#include <QDir>

#include "Prompter.h"
#include "TBatchForm.h"
#include "TQV17MainForm.h"

namespace krt {

void TQV17MainForm::BatchClick() {
    if (Inert() || !CheckSelected(false) || !CheckListsMatch()) return;
    // With the simulator each chip of a batch has its own file, apart from
    // the one chip per device that the window keeps.
    TBatchForm dialog(this, *session_, language_, QDir(chipDir_).filePath(QStringLiteral("batch")));
    Prompter::Current().Exec(dialog);
}

}  // namespace krt

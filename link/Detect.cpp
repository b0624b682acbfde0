// SPDX-License-Identifier: GPL-3.0-or-later
// Programmer detection: both revision bytes, their lines, the found flag.
#include "link/DetectionTexts.h"
#include "link/Link.h"
#include "base/Log.h"

namespace krt {

namespace {

// Posts the row's lines; returns whether the row is a working revision.
bool Report(LinkContext& link, const DetectionRow& row) {
    const char* const* lines = link.language == 0 ? row.japanese : row.english;
    for (int i = 0; i < 3 && lines[i]; ++i) Log(link.log, "%s", lines[i]);
    return row.listed;
}

}  // namespace

void LinkContext::DetectProgrammer() {
    programmerFound = false;
    REVREAD();
    krt1Revision = ReadReply();
    DEVSET(0);
    DLREAD();
    // A fetch that never finished leaves nothing in the reply slots: they
    // are not read, and the unit counts as answering nothing (revision 0).
    krt2Revision = WaitReady() ? ReadReply() : 0;

    if (language != 0 && language != 1) return;
    const bool krt1Listed = Report(*this, FindDetectionRow(KrtUnit::Krt1, krt1Revision));
    programmerFound = krt1Listed;
    const DetectionRow& krt2Row = FindDetectionRow(KrtUnit::Krt2, krt2Revision);
    const bool krt2Listed = Report(*this, krt2Row);
    if (!krt2Listed) {
        programmerFound = false;
        // An unlisted revision is not kept: 0 stands for "no usable unit".
        if (krt2Revision != 0) krt2Revision = 0;
    }
}

}  // namespace krt

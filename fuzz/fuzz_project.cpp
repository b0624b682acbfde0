// SPDX-License-Identifier: GPL-3.0-or-later
// Project files: any text is either refused with a reason or read into a
// job whose every value the command line would accept too.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "session/OptionValues.h"
#include "session/Project.h"

namespace {

void Check(bool ok) {
    if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    krt::Project project;
    std::string error;
    krt::ProjectRefusal refusal = krt::ProjectRefusal::None;
    if (!krt::ParseProject(text, "fuzz/p.krtproj", project, error, &refusal)) {
        Check(!error.empty() && refusal != krt::ProjectRefusal::None);
        return 0;
    }
    Check(refusal == krt::ProjectRefusal::None && error.empty());
    const krt::Job& job = project.job;
    Check(!job.type.empty() && !job.maker.empty() && !job.name.empty());
    std::string digits;
    Check(job.start.empty() || krt::CheckHexValue("--start", job.start, digits).empty());
    Check(job.length.empty() || krt::CheckHexValue("--length", job.length, digits).empty());
    Check(job.overrides.waitMode >= -1 && job.overrides.waitMode <= 4);
    Check(!(job.overrides.pageWrite && job.overrides.byteWrite));
    return 0;
}

// SPDX-License-Identifier: GPL-3.0-or-later
// krt split and krt join: a ROM image into the chips of a wider bus and
// back (data/RomSet). Needs neither a device nor a programmer.
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "base/Log.h"
#include "cli/Cli.h"
#include "cli/CliSession.h"
#include "data/DataFile.h"
#include "data/RomSet.h"
#include "session/Job.h"

namespace krt {

namespace {

// The data of the files do not fit together (sizes).
constexpr int kExitDataError = 65;

// The layout from --ways/--bytes/--swap, and the lane files: --even and
// --odd, or the words given. False after a usage message.
bool LaneFiles(CliSession& session, const char* name, std::vector<std::string> words, size_t fixed,
               RomSetLayout& layout, std::vector<std::string>& lanes, std::vector<std::string>& rest) {
    const CliOptions& o = session.options;
    layout.bytes = o.laneBytes;
    layout.swap = o.swap;
    const bool evenOdd = !o.even.empty() || !o.odd.empty();
    if (evenOdd) {
        if (o.even.empty() || o.odd.empty() || (o.ways != 0 && o.ways != 2)) {
            std::fprintf(stderr, "krt: %s: --even and --odd go together, for two chips\n", name);
            return false;
        }
        layout.ways = 2;
        lanes = {o.even, o.odd};
        rest = words;
    } else {
        layout.ways = o.ways ? o.ways : 2;
        if (words.size() < fixed + layout.ways) {
            std::fprintf(stderr, "krt: %s: %u chips want %u files (or --even FILE --odd FILE)\n", name, layout.ways,
                         layout.ways);
            return false;
        }
        // split IN LANES...; join LANES... OUT.
        if (std::string(name) == "split") {
            rest.assign(words.begin(), words.begin() + static_cast<std::ptrdiff_t>(fixed));
            lanes.assign(words.begin() + static_cast<std::ptrdiff_t>(fixed), words.end());
        } else {
            lanes.assign(words.begin(), words.end() - static_cast<std::ptrdiff_t>(fixed));
            rest.assign(words.end() - static_cast<std::ptrdiff_t>(fixed), words.end());
        }
    }
    if (rest.size() != fixed || lanes.size() != layout.ways) {
        std::fprintf(stderr, "krt: usage: krt %s\n",
                     std::string(name) == "split"
                         ? "split IN (--even OUT0 --odd OUT1 | --ways N OUT0 ... OUTN-1) [--bytes 1|2|4] [--swap]"
                         : "join (--even IN0 --odd IN1 | --ways N IN0 ... INN-1) OUT [--bytes 1|2|4] [--swap]");
        return false;
    }
    return true;
}

// Every input is looked at before it is read: a directory, a FIFO or a
// socket is refused (the read of a directory would throw, a FIFO's wait).
int RefuseUnreadable(const std::vector<std::string>& inputs) {
    for (const std::string& in : inputs)
        if (const std::string why = InputFileProblem(in); !why.empty()) {
            std::fprintf(stderr, "krt: cannot read %s: %s\n", in.c_str(), why.c_str());
            return kExitNoInput;
        }
    return 0;
}

// No output may be another output, an input or a file the run holds; a
// directory where an output goes is refused before anything is written.
int RefuseOutputs(const CliOptions& options, const std::vector<std::string>& outs,
                  const std::vector<std::string>& ins) {
    for (size_t i = 0; i < outs.size(); ++i) {
        for (size_t j = 0; j < i; ++j)
            if (SameFile(outs[i], outs[j])) {
                std::fprintf(stderr, "krt: %s and %s are the same file: each output needs a file of its own\n",
                             outs[j].c_str(), outs[i].c_str());
                return kExitUsage;
            }
        if (const int refused = RefuseOutputClash(options, outs[i], "", ins)) return refused;
        std::error_code ec;
        if (std::filesystem::is_directory(outs[i], ec)) {
            std::fprintf(stderr, "krt: cannot write %s: %s\n", outs[i].c_str(), std::strerror(EISDIR));
            return kExitCannotCreate;
        }
    }
    return 0;
}

// Each output is written beside its place under a name of its own, and the
// outputs take their names only when every one was written: a failure
// leaves every file as it was.
int WriteTogether(LogSink* log, const std::vector<std::string>& outs, const std::vector<std::vector<uint8_t>>& images,
                  uint32_t language) {
    std::vector<std::string> temporaries;
    const auto discard = [&temporaries] {
        for (const std::string& t : temporaries)
            if (!t.empty()) ::unlink(t.c_str());
    };
    for (size_t i = 0; i < outs.size(); ++i) {
        temporaries.emplace_back();
        if (outs[i] == kStandardStream) continue;  // written straight to standard output below
        const std::filesystem::path out(outs[i]);
        const std::string temporary =
            (out.parent_path() / ("." + out.filename().string() + Format(".%d.%zu.tmp", ::getpid(), i))).string();
        temporaries.back() = temporary;
        std::string error;
        // Each output in its own format (by its name): --format is for the input.
        if (!WriteImageFile(temporary, ChooseFormat(outs[i], FORMAT_BY_NAME), images[i], error, language)) {
            std::fprintf(stderr, "krt: cannot write %s\n", outs[i].c_str());
            discard();
            return kExitCannotCreate;
        }
    }
    for (size_t i = 0; i < outs.size(); ++i) {
        std::string error;
        if (temporaries[i].empty() && !WriteImageFile(outs[i], FORMAT_BY_NAME, images[i], error, language)) {
            std::fprintf(stderr, "krt: %s\n", error.c_str());
            discard();
            return kExitCannotCreate;
        }
        if (!temporaries[i].empty() && std::rename(temporaries[i].c_str(), outs[i].c_str()) != 0) {
            std::fprintf(stderr, "krt: cannot write %s: %s\n", outs[i].c_str(), std::strerror(errno));
            discard();
            return kExitCannotCreate;
        }
        Log(log, "%s: %zu bytes", outs[i].c_str(), images[i].size());
    }
    return 0;
}

int RunSplit(CliSession& session, const std::vector<std::string>& args) {
    RomSetLayout layout;
    std::vector<std::string> outs, in;
    if (!LaneFiles(session, "split", args, 1, layout, outs, in)) return kExitUsage;
    if (const int refused = RefuseUnreadable(in)) return refused;
    if (const int refused = RefuseOutputs(session.options, outs, in)) return refused;
    const uint32_t language = session.options.language;
    std::string error;
    std::vector<uint8_t> image;
    if (!ReadImageFile(in[0], session.options.format, image, error, language)) {
        std::fprintf(stderr, "krt: %s\n", error.c_str());
        return kExitNoInput;
    }
    std::vector<std::vector<uint8_t>> lanes;
    if (!SplitImage(image, layout, lanes, error, language)) {
        std::fprintf(stderr, "krt: %s\n", error.c_str());
        return kExitDataError;
    }
    return WriteTogether(SessionLog(session), outs, lanes, language);
}

int RunJoin(CliSession& session, const std::vector<std::string>& args) {
    RomSetLayout layout;
    std::vector<std::string> ins, out;
    if (!LaneFiles(session, "join", args, 1, layout, ins, out)) return kExitUsage;
    if (const int refused = RefuseUnreadable(ins)) return refused;
    if (const int refused = RefuseOutputs(session.options, out, ins)) return refused;
    const uint32_t language = session.options.language;
    std::string error;
    std::vector<std::vector<uint8_t>> lanes(ins.size());
    for (size_t i = 0; i < ins.size(); ++i)
        if (!ReadImageFile(ins[i], session.options.format, lanes[i], error, language)) {
            std::fprintf(stderr, "krt: %s\n", error.c_str());
            return kExitNoInput;
        }
    std::vector<uint8_t> image;
    if (!JoinImages(lanes, ins, layout, image, error, language)) {
        std::fprintf(stderr, "krt: %s\n", error.c_str());
        return kExitDataError;
    }
    return WriteTogether(SessionLog(session), out, {image}, language);
}

}  // namespace

void RegisterSplitJoinCommands(std::vector<CliCommand>& table) {
    table.push_back({"split", "split IN (--even OUT0 --odd OUT1 | --ways N OUT0...)",
                     "split the image IN into the chips of a wider bus: chip j gets the j-th word of every "
                     "N words (--bytes: bytes of a chip's word, 1, 2 or 4; --swap: the image's words in the "
                     "other byte order); formats by each file's name. Exit 0, 64 usage, 65 the size is not "
                     "a multiple of the words of all chips, 66 IN unreadable, 73 an output not written",
                     RunSplit});
    table.push_back({"join", "join (--even IN0 --odd IN1 | --ways N IN0...) OUT",
                     "interleave the chips' files back into one image OUT (options as split); files of "
                     "different sizes are refused with both sizes (exit 65)",
                     RunJoin});
}

}  // namespace krt

// SPDX-License-Identifier: GPL-3.0-or-later
// krt selftest: the catalogue check for a user. Every selected entry of the
// device list is proven on a simulated chip of its own (whatever --port
// says), one line per device, then the summary.
#include <algorithm>
#include <condition_variable>
#include <cstdio>
#include <exception>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "base/Hex.h"
#include "base/Log.h"
#include "catalogue/CatalogueFiles.h"
#include "cli/Cli.h"
#include "cli/CliSession.h"
#include "session/CatalogueCheck.h"

namespace krt {

namespace {

// Exit status when an entry failed: result 3, "there were errors".
constexpr int kExitFailedEntries = 3;

// Proves count entries side by side, one thread per processor (each entry
// has a session and a simulated programmer of its own), and reports each in
// catalogue order as soon as it and every entry before it are done. What an
// entry's proof throws stops the others from starting and is thrown again
// here, after every thread has ended, as the entries proven one by one did.
void ProveSideBySide(size_t count, const std::function<void(size_t)>& prove,
                     const std::function<void(size_t)>& report) {
    const size_t workers = std::clamp<size_t>(std::thread::hardware_concurrency(), 1, count);
    std::mutex mutex;
    std::condition_variable proven;
    std::vector<bool> done(count, false);
    std::vector<std::exception_ptr> failures(count);
    size_t next = 0;
    std::vector<std::thread> threads;
    for (size_t w = 0; w < workers; ++w) {
        threads.emplace_back([&] {
            for (;;) {
                size_t k;
                {
                    std::lock_guard<std::mutex> lock(mutex);
                    if (next == count) return;
                    k = next++;
                }
                std::exception_ptr failure;
                try {
                    prove(k);
                } catch (...) {
                    failure = std::current_exception();
                }
                {
                    std::lock_guard<std::mutex> lock(mutex);
                    failures[k] = failure;
                    if (failure) next = count;
                    done[k] = true;
                }
                proven.notify_one();
            }
        });
    }
    std::exception_ptr failure;
    for (size_t k = 0; k < count && !failure; ++k) {
        std::unique_lock<std::mutex> lock(mutex);
        proven.wait(lock, [&] { return done[k]; });
        failure = failures[k];
        lock.unlock();
        if (!failure) report(k);
    }
    for (std::thread& t : threads) t.join();
    if (failure) std::rethrow_exception(failure);
}

int RunSelftest(CliSession& session, const std::vector<std::string>& args) {
    if (args.size() > 3) {
        std::fprintf(stderr, "krt: usage: krt selftest [TYPE [MAKER [NAME]]] [--length HEX]\n");
        return kExitUsage;
    }
    LogSink* log = SessionLog(session);
    Catalogue catalogue;
    if (!OpenCatalogue(session.options.catalogue, log, catalogue)) {
        std::fprintf(stderr, "krt: no device list (DEVICE.LST) found; name the catalogue with --catalogue DIR\n");
        return kExitNoInput;
    }
    const std::string type = args.size() > 0 ? args[0] : "";
    const std::string maker = args.size() > 1 ? args[1] : "";
    const std::string name = args.size() > 2 ? args[2] : "";
    const std::vector<int32_t> entries = SelectEntries(catalogue.list, type, maker, name);
    if (entries.empty()) {
        std::fprintf(stderr, "krt: nothing in the catalogue for %s %s %s (see krt list)\n", type.c_str(),
                     maker.c_str(), name.c_str());
        return 1;
    }
    CatalogueCheckOptions options;
    if (!session.options.length.empty()) options.sampleWords = ParseHex(session.options.length);
    std::vector<EntryProof> proofs(entries.size());
    ProveSideBySide(entries.size(), [&](size_t k) {
        CatalogueCheckOptions own = options;
        own.seed = static_cast<uint32_t>(entries[k] + 1);
        proofs[k] = ProveCatalogueEntry(catalogue, entries[k], own);
    }, [&](size_t k) { Log(log, "%s", ProofLine(proofs[k], session.options.language).c_str()); });
    Log(log, "%s", ProofSummary(proofs, session.options.language).c_str());
    for (const EntryProof& p : proofs)
        if (p.outcome == ProofOutcome::Failed) return kExitFailedEntries;
    return 0;
}

}  // namespace

void RegisterSelftestCommands(std::vector<CliCommand>& table) {
    table.push_back({"selftest", "selftest [TYPE [MAKER [NAME]]] [--length HEX]",
                     "prove each catalogue entry on a simulated chip (strict): blank check, write a random "
                     "image, verify, read back, erase, blank check; read only where this programmer cannot "
                     "program the part. --length: only the first and last HEX words and a word on each address line. "
                     "Entries are proven side by side, one per processor, and reported in catalogue order. "
                     "Exit 3 when one failed",
                     &RunSelftest});
}

}  // namespace krt

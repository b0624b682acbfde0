// SPDX-License-Identifier: GPL-3.0-or-later
#include "catalogue/CatalogueFiles.h"

#include <algorithm>
#include <filesystem>
#include <system_error>

#include "catalogue/TextLines.h"

namespace krt {

namespace fs = std::filesystem;

std::string ProgramDirectory() {
    std::error_code ec;
    fs::path exe = fs::read_symlink("/proc/self/exe", ec);
    if (ec || exe.empty()) return {};
    return exe.parent_path().string();
}

std::vector<std::string> DataDirectories() {
    std::vector<std::string> dirs;
    auto add = [&dirs](const std::string& dir) {
        if (!dir.empty() && std::find(dirs.begin(), dirs.end(), dir) == dirs.end()) dirs.push_back(dir);
    };
    const std::string own = ProgramDirectory();
    // Beside the program (the build tree), then the installed layout of any
    // prefix (bin/ next to share/krtwin/), then the prefix it was built for.
    add(own);
    if (!own.empty()) add((fs::path(own).parent_path() / "share" / "krtwin").lexically_normal().string());
#ifdef KRT_DATA_DIR
    add(KRT_DATA_DIR);
#endif
    return dirs;
}

std::vector<std::string> CatalogueDirectories(const std::string& overrideDir) {
    if (!overrideDir.empty()) return {overrideDir};
    return DataDirectories();
}

std::string ResolveCatalogueFile(const std::string& dir, const std::string& name) {
    fs::path exact = fs::path(dir) / fs::path(name).relative_path();
    std::error_code ec;
    if (name.empty() || fs::exists(exact, ec)) return exact.string();
    fs::path current = dir.empty() ? fs::path(".") : fs::path(dir);
    fs::path shown = fs::path(dir);
    for (const fs::path& part : fs::path(name).relative_path()) {
        fs::path next = current / part;
        if (!fs::exists(next, ec)) {
            // Of several names that differ only in case, the first in byte
            // order wins, so the choice does not depend on directory order.
            bool found = false;
            for (fs::directory_iterator it(current, ec), end; !ec && it != end; it.increment(ec)) {
                if (!EqualsNoCase(it->path().filename().string(), part.string())) continue;
                if (!found || it->path().filename() < next.filename()) next = it->path();
                found = true;
            }
            if (!found) return exact.string();
        }
        current = next;
        shown /= next.filename();
    }
    return shown.string();
}

std::string DeviceListPath(const std::string& dir) { return ResolveCatalogueFile(dir, "DEVICE.LST"); }

std::string FindCatalogueDirectory(const std::string& overrideDir) {
    for (const std::string& dir : CatalogueDirectories(overrideDir)) {
        std::error_code ec;
        if (fs::is_regular_file(DeviceListPath(dir), ec)) return dir;
    }
    return {};
}

}  // namespace krt

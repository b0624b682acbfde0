// SPDX-License-Identifier: GPL-3.0-or-later
// fontconfig keeps its font caches until the process ends and never frees
// them; under LeakSanitizer that would fail every window test at exit.
// Only that library's allocations are let through.
extern "C" const char* __lsan_default_suppressions() {
    return "leak:libfontconfig.so\n";
}

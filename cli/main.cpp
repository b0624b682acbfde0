// SPDX-License-Identifier: GPL-3.0-or-later
#include <string>
#include <vector>

#include "cli/Cli.h"

int main(int argc, char** argv) {
    std::vector<std::string> args(argv + 1, argv + argc);
    return krt::RunCli(args);
}

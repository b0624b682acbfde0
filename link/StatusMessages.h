// SPDX-License-Identifier: GPL-3.0-or-later
// The status messages live in base/; this name stays for the code that includes it.
#pragma once

#include "base/StatusMessages.h"

// SPDX-License-Identifier: GPL-3.0-or-later
// The log helpers live in base/; this name stays for the code that includes it.
#pragma once

#include "base/Log.h"

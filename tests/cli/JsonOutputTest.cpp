// SPDX-License-Identifier: GPL-3.0-or-later
// krt list --json and krt info --json, read back by a JSON parser (python3's),
// as a script would.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

std::string JsonQuote(const std::string& s) { return "'" + s + "'"; }

// Runs krt with the arguments and hands its stdout to a python3 check that
// exits 0 when the document parses and the check holds.
int KrtJsonCheck(const std::string& args, const std::string& check) {
    const std::string command = JsonQuote(KRT_CLI_PATH) + " --catalogue " + JsonQuote(std::string(KRT_SOURCE_DIR) + "/devices") +
                                " " + args + " --json 2>/dev/null | python3 -c " +
                                JsonQuote("import json,sys; d=json.load(sys.stdin); sys.exit(0 if (" + check + ") else 1)");
    return std::system(command.c_str());
}

TEST(KrtJson, ListAndInfoParseBack) {
    if (std::system("command -v python3 >/dev/null") != 0) GTEST_SKIP() << "python3 is not installed";
    EXPECT_EQ(KrtJsonCheck("list", "\"EEPROM\" in d[\"types\"] and \"PIC\" in d[\"types\"]"), 0);
    EXPECT_EQ(KrtJsonCheck("list EEPROM", "d[\"type\"]==\"EEPROM\" and \"Atmel\" in d[\"makers\"]"), 0);
    EXPECT_EQ(KrtJsonCheck("list EEPROM Atmel", "\"AT28C256\" in d[\"devices\"]"), 0);
    EXPECT_EQ(KrtJsonCheck("info EEPROM Atmel AT28C256",
                           "d[\"record\"][\"name\"]==\"AT28C256\" and d[\"record\"][\"maxsize\"]==32768 and "
                           "d[\"record\"][\"typecode\"]==18 and d[\"record\"][\"VccW\"] == 5 and d[\"record\"][\"tpw\"] > 0 and "
                           "d[\"parameterFile\"].endswith(\".prm\")"),
              0)
        << "messages stay off stdout, numbers are numbers";
}

}  // namespace

// SPDX-License-Identifier: GPL-3.0-or-later
// The two languages of a family line take the same arguments: a conversion
// that differs in one language reads the wrong argument (undefined
// behaviour) only for the users of that language, where no compiler check
// reaches, since the format is picked at run time.
#include <gtest/gtest.h>

#include <regex>
#include <string>
#include <vector>

#include "families/FamilyTexts.h"
#include "link/LinkTexts.h"

namespace krt {
namespace {

// The length modifier and conversion of each printf directive, in order.
std::vector<std::string> Conversions(const char* format) {
    static const std::regex directive(R"(%(%|[-+ #0]*[0-9]*(?:\.[0-9]+)?((?:hh|h|ll|l|L|z|j|t)?[diouxXeEfgGcsp])))");
    std::vector<std::string> out;
    const std::string text(format);
    for (auto it = std::sregex_iterator(text.begin(), text.end(), directive); it != std::sregex_iterator(); ++it)
        if ((*it)[1] != "%") out.push_back((*it)[2]);
    return out;
}

struct Pair {
    const char* name;
    const char* japanese;
    const char* english;
};

#define PAIR(t) Pair{#t, texts::t[0], texts::t[1]}

TEST(FamilyTexts, BothLanguagesOfALineTakeTheSameArguments) {
    const std::vector<Pair> pairs = {
        PAIR(kTooManyErrors),
        PAIR(kWriteWithoutErrors),
        PAIR(kWriteErrorCount),
        PAIR(kWriteCanceledAt),
        PAIR(kVerifyErrorWord),
        PAIR(kVerifyErrorByte),
        PAIR(kBlankErrorWord),
        PAIR(kBlankErrorByte),
        PAIR(kWriteVerifyWord),
        PAIR(kWriteVerifyByte),
        PAIR(kFlashNotErased),
        PAIR(kSeepNoAck),
        PAIR(kSeepStillBusy),
        PAIR(kSeepNoByteAccess),
        PAIR(kSeepNoWordAccess),
        PAIR(kCycleTimeout),
        PAIR(kProtectionHint),
        PAIR(kProtectionUnobserved),
        PAIR(kNoProtection),
        PAIR(kProtectionRestoreFailed),
        PAIR(kPicCodeProtected),
        PAIR(kPicProtectedAsFileAsks),
        PAIR(kWrongPart),
        PAIR(kFlashIdUnconfirmed),
        PAIR(kPicNoDeviceId),
        PAIR(kGalWriteFailed),
        PAIR(kGalWriteSucceededAt),
        PAIR(kGalReadingLine),
        PAIR(kGalWritingLine),
        PAIR(kGalWritingSignature),
        PAIR(kGalWritingAcw),
        PAIR(kGalWritingAsr),
        PAIR(kGalWriteEnd),
        PAIR(kGalVerifyDifference),
        PAIR(kGalTooManyErrors),
        PAIR(kGalVerifyOk),
        PAIR(kGalVerifyErrors),
        PAIR(kGalSecureUnsupported),
        PAIR(kGalPesStart),
        PAIR(kGalSignatureUsed),
        PAIR(kGalSignatureUnknown),
        PAIR(kGalSignatureShown),
        PAIR(kGalOtherAlgorithm),
        PAIR(kGalAtfSignatureUsed),
        PAIR(kGalSignatureInvalid),
        PAIR(kGalEraseNotBlank),
        PAIR(kGalSecureNotSet),
        PAIR(kGalReadsSecured),
        PAIR(kProtectionHintWindow),
        PAIR(kRetryLinesHidden),
        PAIR(kEraseFirst),
        PAIR(kFlashCleared),
        PAIR(kFlashErased),
        Pair{"kProtectionState off", texts::kProtectionState[0][0], texts::kProtectionState[1][0]},
        Pair{"kProtectionState on", texts::kProtectionState[0][1], texts::kProtectionState[1][1]},
        Pair{"kPortFallbackLine", kPortFallbackLine[0], kPortFallbackLine[1]},
        Pair{"kTimerOverflowLine", kTimerOverflowLine[0], kTimerOverflowLine[1]},
        Pair{"kTimerTextOverflowLine", kTimerTextOverflowLine[0], kTimerTextOverflowLine[1]},
        Pair{"kVoltageRefusedLine", kVoltageRefusedLine[0], kVoltageRefusedLine[1]},
    };
    for (const Pair& p : pairs) {
        EXPECT_EQ(Conversions(p.japanese), Conversions(p.english)) << p.name;
        EXPECT_STRNE(p.japanese, p.english) << p.name;
    }
    // The directive reader itself.
    EXPECT_EQ(Conversions("%06lX %% %5.1f %s %02X %d"), (std::vector<std::string>{"lX", "f", "s", "X", "d"}));
}

}  // namespace
}  // namespace krt

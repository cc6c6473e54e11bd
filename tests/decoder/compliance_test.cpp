// The ISO compliance streams, each decoded in this process and compared with
// the reference decoder's output.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <string>

#include "tests/support/pcm_samples.h"
#include "tests/support/temp_dir.h"

namespace {

struct CComplianceStream {
    const char* pszName;
    int nChannels;
    std::size_t nSamples;  // per channel; the reference is padded beyond
};

constexpr CComplianceStream kStreams[] = {
    {"l1-fl1", 2, 18816},  {"l1-fl2", 2, 18816},  {"l1-fl3", 2, 18816},  {"l1-fl4", 1, 18816},
    {"l1-fl5", 2, 18816},  {"l1-fl6", 2, 18816},  {"l1-fl7", 2, 24192},  {"l1-fl8", 2, 18816},
    {"l2-fl10", 2, 56448}, {"l2-fl11", 2, 56448}, {"l2-fl12", 2, 56448}, {"l2-fl13", 1, 56448},
    {"l2-fl14", 2, 18432}, {"l2-fl15", 2, 18432}, {"l2-fl16", 2, 72576},
};

// The stream's name in test names and failures.
void PrintTo(const CComplianceStream& stream, std::ostream* pOut) {
    *pOut << stream.pszName;
}

class ComplianceTest : public ::testing::TestWithParam<CComplianceStream> {};

TEST_P(ComplianceTest, MatchesTheReferenceWithinOneLsb) {
    const CComplianceStream& stream = GetParam();
    const std::filesystem::path base = std::filesystem::path(CORVINA_VECTORS_DIR) / stream.pszName;
    const std::string strBit = base.string() + ".bit";
    if (!std::filesystem::exists(strBit)) {
        GTEST_SKIP() << "no compliance stream at " << strBit;
    }
    int nChannels = 0;
    const std::vector<int16_t> decoded = DecodedPcm(strBit, &nChannels);
    const std::vector<int16_t> reference = RawSamples(ReadFileBytes(base.string() + ".pcm"));
    const std::size_t nValues = stream.nSamples * static_cast<std::size_t>(stream.nChannels);
    EXPECT_EQ(nChannels, stream.nChannels);
    ASSERT_EQ(decoded.size(), nValues);
    ASSERT_GE(reference.size(), nValues);
    int nMax = 0;
    double dSquares = 0.0;
    for (std::size_t i = 0; i < nValues; ++i) {
        const int nDiff = std::abs(decoded[i] - reference[i]);
        nMax = std::max(nMax, nDiff);
        dSquares += static_cast<double>(nDiff) * nDiff;
    }
    const double dRms = std::sqrt(dSquares / static_cast<double>(nValues));
    std::printf("%s: max error %d LSB, rms %.4f LSB\n", stream.pszName, nMax, dRms);
    EXPECT_LE(nMax, 1);
    EXPECT_LE(dRms, 0.1);
}

INSTANTIATE_TEST_SUITE_P(Iso, ComplianceTest, ::testing::ValuesIn(kStreams),
                         [](const ::testing::TestParamInfo<CComplianceStream>& param) {
                             std::string strName = param.param.pszName;
                             std::replace(strName.begin(), strName.end(), '-', '_');
                             return strName;
                         });

}  // namespace

// Every input the fuzzers found that crashed, hung or leaked, and every seed
// of their corpora, run through the fuzz harnesses: a harness aborts on a
// failed expectation, and the sanitizer builds catch what it cannot see.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "fuzz/fuzz_harness.h"
#include "tests/support/temp_dir.h"

namespace {

struct CTarget {
    const char* pszName;
    int (*fnHarness)(const uint8_t*, std::size_t);
};

const CTarget kTargets[] = {
    {"frame_search", FuzzFrameSearch},
    {"decoder", FuzzDecoder},
    {"wave_output", FuzzWaveOutput},
    {"wave_source", FuzzWaveSource},
    {"program_stream", FuzzProgramStream},
    {"cdxa", FuzzCdxa},
    {"transport_stream", FuzzTransportStream},
    {"format_container", FuzzFormatContainer},
    {"tag_reader", FuzzTagReader},
};

std::vector<std::filesystem::path> FilesIn(const std::filesystem::path& dir) {
    std::vector<std::filesystem::path> files;
    if (std::filesystem::is_directory(dir)) {
        for (const auto& entry : std::filesystem::directory_iterator(dir)) {
            if (entry.is_regular_file() && entry.path().filename() != "README") {
                files.push_back(entry.path());
            }
        }
    }
    std::sort(files.begin(), files.end());
    return files;
}

class FuzzReplayTest : public testing::TestWithParam<CTarget> {
  protected:
    static void SetUpTestSuite() { PrepareFuzzHarnesses(); }

    // The name goes out first: a failed expectation aborts the whole test.
    static int Replay(const CTarget& target, const std::filesystem::path& path) {
        std::printf("replaying %s on %s\n", target.pszName, path.filename().c_str());
        std::fflush(stdout);
        const std::vector<uint8_t> bytes = ReadFileBytes(path.string());
        return target.fnHarness(bytes.data(), bytes.size());
    }
};

TEST_P(FuzzReplayTest, FoundInputsRunClean) {
    const CTarget& target = GetParam();
    for (const auto& path :
         FilesIn(std::filesystem::path(CORVINA_REGRESSIONS_DIR) / target.pszName)) {
        EXPECT_EQ(Replay(target, path), 0);
    }
}

TEST_P(FuzzReplayTest, SeedsRunClean) {
    const CTarget& target = GetParam();
    const auto files = FilesIn(std::filesystem::path(CORVINA_CORPUS_DIR) / target.pszName);
    ASSERT_FALSE(files.empty()) << "no seeds for " << target.pszName;
    for (const auto& path : files) {
        EXPECT_EQ(Replay(target, path), 0);
    }
}

// Inputs too short to hold what the harnesses read first.
TEST_P(FuzzReplayTest, EmptyAndTinyInputsRunClean) {
    const CTarget& target = GetParam();
    const uint8_t bBytes[] = {0xFF, 0xFF, 0xFF};
    for (std::size_t nSize = 0; nSize <= sizeof bBytes; ++nSize) {
        EXPECT_EQ(target.fnHarness(bBytes, nSize), 0);
    }
}

// A target that the fuzzers run but this test does not would leave the inputs
// filed for it unchecked.
TEST(FuzzTargetsTest, EveryFuzzTargetIsReplayed) {
    std::ifstream list(std::string(CORVINA_SOURCE_DIR) + "/fuzz/targets.txt");
    ASSERT_TRUE(list.is_open());
    int nTargets = 0;
    for (std::string strLine; std::getline(list, strLine);) {
        if (strLine.empty() || strLine[0] == '#') {
            continue;
        }
        ++nTargets;
        EXPECT_TRUE(std::any_of(std::begin(kTargets), std::end(kTargets),
                                [&](const CTarget& target) { return strLine == target.pszName; }))
            << strLine;
    }
    EXPECT_EQ(nTargets, static_cast<int>(std::size(kTargets)));
}

INSTANTIATE_TEST_SUITE_P(Targets, FuzzReplayTest, testing::ValuesIn(kTargets),
                         [](const testing::TestParamInfo<CTarget>& param) {
                             return std::string(param.param.pszName);
                         });

}  // namespace

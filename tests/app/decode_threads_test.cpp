// --threads: a long file decoded on several threads gives the bytes of the
// one-thread decode, from the start and from a --start; bad counts are usage
// errors.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/stream_builder.h"
#include "tests/support/temp_dir.h"

namespace {

const std::string kCorvina = CORVINA_BINARY;

TEST(DecodeThreadsTest, SeveralThreadsWriteTheBytesOfOne) {
    // The sample three times over: long enough to be split.
    const std::vector<uint8_t> sample =
        ReadFileBytes(std::string(CORVINA_SOURCE_DIR) + "/samples/corvina-sample.mp2");
    std::vector<uint8_t> bytes;
    for (int i = 0; i < 3; ++i) {
        bytes.insert(bytes.end(), sample.begin(), sample.end());
    }
    CTempDir dir;
    const std::string strInput = dir.Write("long.mp2", bytes);
    for (const std::vector<std::string>& extra :
         {std::vector<std::string>{"--raw"}, {"--start", "0:21.5", "--wav"}}) {
        std::vector<std::vector<uint8_t>> outputs;
        for (const char* pszThreads : {"1", "2", "5"}) {
            const std::string strOutput = dir.File(std::string("out") + pszThreads);
            std::vector<std::string> args = {kCorvina, "--threads", pszThreads};
            args.insert(args.end(), extra.begin(), extra.end());
            args.insert(args.end(), {strOutput, strInput});
            const CChildResult result = RunChild(args, 120000);
            ASSERT_EQ(result.nExitStatus, 0) << result.strErr;
            EXPECT_EQ(result.strErr, "");
            outputs.push_back(ReadFileBytes(strOutput));
        }
        EXPECT_GT(outputs[0].size(), 3 * sample.size());
        EXPECT_TRUE(outputs[1] == outputs[0]) << extra.front();
        EXPECT_TRUE(outputs[2] == outputs[0]) << extra.front();
    }
    for (const char* pszBad : {"0", "-2", "x", "3x", ""}) {
        const CChildResult result =
            RunChild({kCorvina, "--threads", pszBad, "--raw", dir.File("bad"), strInput});
        EXPECT_EQ(result.nExitStatus, 2) << pszBad;
        EXPECT_NE(result.strErr.find("--threads"), std::string::npos) << result.strErr;
    }
}

// Parts of other rates and channel counts, the changes in the middle of
// segments and at their edges: every thread count writes the same files.
TEST(DecodeThreadsTest, FormatChangesGoToTheSameFilesOnEveryThreadCount) {
    std::vector<uint8_t> bytes;
    for (const auto& [nFrequency, nMode, nFrames] :
         {std::tuple{0, 0, 300}, {1, 3, 212}, {0, 0, 256}, {2, 1, 100}}) {
        CFrameShape shape;
        shape.nFrequencyIndex = nFrequency;
        shape.nMode = nMode;
        shape.nBitrateIndex = 10;
        shape.SetAll(3, 12 + nFrequency, 5, 20);
        Append(bytes, BuildStream(shape, nFrames));
    }
    CTempDir dir;
    const std::string strInput = dir.Write("changing.mp2", bytes);
    std::vector<std::vector<uint8_t>> outputs;
    for (const char* pszThreads : {"1", "3"}) {
        const std::string strOutput = dir.File(std::string("out") + pszThreads + ".wav");
        const CChildResult result =
            RunChild({kCorvina, "--threads", pszThreads, "--wav", strOutput, strInput}, 120000);
        ASSERT_EQ(result.nExitStatus, 0) << result.strErr;
        std::vector<uint8_t> all;
        for (const char* pszSuffix : {".wav", "-2.wav", "-3.wav", "-4.wav"}) {
            const std::vector<uint8_t> file =
                ReadFileBytes(dir.File(std::string("out") + pszThreads + pszSuffix));
            EXPECT_GT(file.size(), 44u) << pszSuffix;
            all.insert(all.end(), file.begin(), file.end());
        }
        outputs.push_back(all);
    }
    EXPECT_TRUE(outputs[0] == outputs[1]);
}

}  // namespace

// --threads: a long file decoded on several threads gives the bytes of the
// one-thread decode, from the start and from a --start; bad counts are usage
// errors.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/support/child_process.h"
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

}  // namespace

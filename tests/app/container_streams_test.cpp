// Files that ffmpeg wrote around a Layer II stream (program, video-CD, DVD and
// transport streams, WAVE with and without a bext chunk) decode with --raw to
// what mpg123 makes of the stream they carry, which `ffmpeg -c:a copy -f mp2`
// takes out of each as the very bytes of ffmpeg-stereo-48k.mp2.
#include <gtest/gtest.h>

#include <filesystem>

#include "tests/support/child_process.h"
#include "tests/support/pcm_samples.h"

using namespace corvina;

namespace {

const std::filesystem::path kStreams = std::filesystem::path(CORVINA_SOURCE_DIR) / "tests/streams";

std::vector<int16_t> Pcm(const std::string& strBytes) {
    return RawSamples(std::vector<uint8_t>(strBytes.begin(), strBytes.end()));
}

TEST(ContainerStreamsTest, DecodeWithinOneStepOfMpg123OnTheCarriedStream) {
    const char* pszMpg123 = "/usr/bin/mpg123";
    if (!std::filesystem::exists(pszMpg123)) {
        GTEST_SKIP() << "mpg123 is not installed";
    }
    const std::vector<int16_t> expected = Pcm(
        RunChild({pszMpg123, "-q", "-s", (kStreams / "ffmpeg-stereo-48k.mp2").string()}).strOut);
    ASSERT_FALSE(expected.empty());
    for (const char* pszName :
         {"ffmpeg-stereo-48k.mpg", "ffmpeg-stereo-48k-vcd.mpg", "ffmpeg-stereo-48k.vob",
          "ffmpeg-stereo-48k.ts", "ffmpeg-stereo-48k.m2ts", "ffmpeg-stereo-48k.wav",
          "ffmpeg-stereo-48k-bext.wav"}) {
        SCOPED_TRACE(pszName);
        const CChildResult result =
            RunChild({CORVINA_BINARY, "--raw", "-", (kStreams / pszName).string()});
        EXPECT_EQ(result.nExitStatus, 0);
        EXPECT_EQ(result.strErr, "");
        const std::vector<int16_t> actual = Pcm(result.strOut);
        ASSERT_EQ(actual.size(), expected.size());
        int nMax = 0;
        for (std::size_t i = 0; i < actual.size(); ++i) {
            nMax = std::max(nMax, std::abs(actual[i] - expected[i]));
        }
        EXPECT_LE(nMax, 1);
    }
}

}  // namespace

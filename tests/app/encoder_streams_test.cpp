// Streams as Debian's encoders write them (twolame and ffmpeg: MPEG-2 low
// sampling rates, single channel at 384 kbit/s, stereo at 48 kbit/s, free
// format) decode to what mpg123 makes of them.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>

#include "tests/support/child_process.h"
#include "tests/support/pcm_samples.h"
#include "tests/support/temp_dir.h"

using namespace corvina;

namespace {

const std::filesystem::path kStreams = std::filesystem::path(CORVINA_SOURCE_DIR) / "tests/streams";

std::vector<int16_t> Pcm(const std::string& strBytes) {
    return RawSamples(std::vector<uint8_t>(strBytes.begin(), strBytes.end()));
}

std::vector<int16_t> CorvinaPcm(const std::string& strPath) {
    const CChildResult result = RunChild({CORVINA_BINARY, "--raw", "-", strPath});
    EXPECT_EQ(result.nExitStatus, 0) << strPath << ": " << result.strErr;
    return Pcm(result.strOut);
}

int MaxDifference(const std::vector<int16_t>& a, const std::vector<int16_t>& b) {
    int nMax = 0;
    for (std::size_t i = 0; i < std::min(a.size(), b.size()); ++i) {
        nMax = std::max(nMax, std::abs(a[i] - b[i]));
    }
    return nMax;
}

std::vector<uint8_t> ReadBytes(const std::filesystem::path& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

TEST(EncoderStreamsTest, DecodeWithinOneStepOfMpg123WithTheSameLength) {
    const char* pszMpg123 = "/usr/bin/mpg123";
    if (!std::filesystem::exists(pszMpg123)) {
        GTEST_SKIP() << "mpg123 is not installed";
    }
    int nStreams = 0;
    for (const auto& entry : std::filesystem::directory_iterator(kStreams)) {
        if (entry.path().extension() != ".mp2") {
            continue;
        }
        ++nStreams;
        const std::string strPath = entry.path().string();
        const std::vector<int16_t> expected =
            Pcm(RunChild({pszMpg123, "-q", "-s", strPath}).strOut);
        const std::vector<int16_t> actual = CorvinaPcm(strPath);
        ASSERT_FALSE(expected.empty()) << strPath;
        EXPECT_EQ(actual.size(), expected.size()) << strPath;
        EXPECT_LE(MaxDifference(actual, expected), 1) << strPath;
    }
    EXPECT_GE(nStreams, 6);

    const CChildResult info =
        RunChild({CORVINA_BINARY, "--info", (kStreams / "twolame-24k-joint-64k.mp2").string()});
    EXPECT_NE(info.strOut.find("Its sample frequency is 24 kHz at a bitrate of 64 kbit/s."),
              std::string::npos)
        << info.strOut;
}

// The two programmes of a dual-channel stream: either one on both sides is
// mpg123's decode of that channel alone, the mix their mean; stereo streams
// are left alone by every choice.
TEST(EncoderStreamsTest, DualChannelChoicesMatchMpg123sSingleChannels) {
    const char* pszMpg123 = "/usr/bin/mpg123";
    if (!std::filesystem::exists(pszMpg123)) {
        GTEST_SKIP() << "mpg123 is not installed";
    }
    const std::string strDual = (kStreams / "twolame-48k-dual-192k.mp2").string();
    auto Choice = [](const std::string& strPath, const char* pszChoice) {
        const CChildResult result =
            RunChild({CORVINA_BINARY, "--raw", "-", "--channel", pszChoice, strPath});
        EXPECT_EQ(result.nExitStatus, 0) << result.strErr;
        return Pcm(result.strOut);
    };
    const std::vector<int16_t> first = Pcm(RunChild({pszMpg123, "-q", "-0", "-s", strDual}).strOut);
    const std::vector<int16_t> second =
        Pcm(RunChild({pszMpg123, "-q", "-1", "-s", strDual}).strOut);
    ASSERT_FALSE(first.empty());
    ASSERT_EQ(first.size(), second.size());
    std::vector<int16_t> mean(first.size());
    std::vector<int16_t> both(2 * first.size());
    for (std::size_t i = 0; i < first.size(); ++i) {
        mean[i] = static_cast<int16_t>((first[i] + second[i]) / 2);
        both[2 * i] = first[i];
        both[2 * i + 1] = second[i];
    }
    EXPECT_LE(MaxDifference(Choice(strDual, "both"), both), 1);
    for (const auto& [pszChoice, expected] :
         {std::pair{"1", &first}, {"2", &second}, {"mix", &mean}}) {
        const std::vector<int16_t> actual = Choice(strDual, pszChoice);
        ASSERT_EQ(actual.size(), 2 * expected->size()) << pszChoice;
        for (int nSide = 0; nSide < 2; ++nSide) {
            std::vector<int16_t> side;
            for (std::size_t i = nSide; i < actual.size(); i += 2) {
                side.push_back(actual[i]);
            }
            EXPECT_LE(MaxDifference(side, *expected), 1) << pszChoice << " side " << nSide;
        }
    }
    const std::string strStereo = (kStreams / "ffmpeg-stereo-48k.mp2").string();
    const std::vector<int16_t> stereo = CorvinaPcm(strStereo);
    for (const char* pszChoice : {"1", "2", "mix"}) {
        EXPECT_EQ(Choice(strStereo, pszChoice), stereo) << pszChoice;
    }
}

// The same frames with the bitrate index of every header set to 0 make a
// free-format stream (padded frames among them) that decodes to the same
// samples.
TEST(EncoderStreamsTest, FreeFormatDecodesAsItsFixedRateTwin) {
    const std::filesystem::path fixed = kStreams / "ffmpeg-44k-192k.mp2";
    std::vector<uint8_t> bytes = ReadBytes(fixed);
    int nFrames = 0;
    bool bPadded = false;
    for (std::size_t nAt = 0; nAt + 4 <= bytes.size();) {
        ASSERT_EQ(bytes[nAt], 0xFF) << nAt;
        const int nPadding = (bytes[nAt + 2] >> 1) & 1;
        bPadded = bPadded || nPadding != 0;
        bytes[nAt + 2] &= 0x0F;
        nAt += static_cast<std::size_t>(144 * 192000 / 44100 + nPadding);
        ++nFrames;
    }
    ASSERT_TRUE(bPadded);
    CTempDir dir;
    const std::string strFree = dir.Write("free.mp2", bytes);
    const std::vector<int16_t> expected = CorvinaPcm(fixed.string());
    EXPECT_EQ(CorvinaPcm(strFree), expected);
    EXPECT_EQ(expected.size(), static_cast<std::size_t>(nFrames) * 1152 * 2);
}

}  // namespace

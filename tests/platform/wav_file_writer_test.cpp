// The WAV file writer: header fields and sizes after closing.
#include "platform/wav_file_writer.h"

#include <gtest/gtest.h>

#include "tests/support/temp_dir.h"

namespace {

uint32_t Le32(const std::vector<uint8_t>& bytes, std::size_t nAt) {
    return bytes[nAt] | bytes[nAt + 1] << 8 | bytes[nAt + 2] << 16 |
           static_cast<uint32_t>(bytes[nAt + 3]) << 24;
}

}  // namespace

TEST(WavFileWriter, HeaderDescribesTheFormatAndTheSizesAreFilledInAtClose) {
    CTempDir dir;
    const std::string strPath = dir.File("out.wav");
    CWavFileWriter writer;
    std::string strReason;
    ASSERT_TRUE(writer.Open(strPath, 2, 44100, strReason)) << strReason;
    const int16_t samples[] = {1, -1, 32767, -32768};
    ASSERT_TRUE(writer.Write(samples, sizeof samples));
    ASSERT_TRUE(writer.Close());

    const auto bytes = ReadFileBytes(strPath);
    ASSERT_EQ(bytes.size(), 44u + sizeof samples);
    EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 4), "RIFF");
    EXPECT_EQ(Le32(bytes, 4), 36u + sizeof samples);
    EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 16), "WAVEfmt ");
    EXPECT_EQ(Le32(bytes, 24), 44100u);
    EXPECT_EQ(Le32(bytes, 28), 44100u * 4);
    EXPECT_EQ(bytes[22], 2);
    EXPECT_EQ(bytes[32], 4);
    EXPECT_EQ(bytes[34], 16);
    EXPECT_EQ(Le32(bytes, 40), sizeof samples);
    EXPECT_EQ(bytes[44 + 4], 0xFF);  // 32767 little-endian
    EXPECT_EQ(bytes[44 + 5], 0x7F);
}

TEST(WavFileWriter, UnwritableFileGivesTheReason) {
    CWavFileWriter writer;
    std::string strReason;
    EXPECT_FALSE(writer.Open("/nonexistent-folder/out.wav", 1, 32000, strReason));
    EXPECT_EQ(strReason, "No such file or directory");
    EXPECT_FALSE(writer.Write("x", 1));
}

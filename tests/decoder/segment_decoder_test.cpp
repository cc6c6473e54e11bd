// Decoding in segments on several threads hands the sink exactly what one
// decoder gives, on real streams and on the streams that make it hard:
// filters that stop and start, damaged frames, junk, and warnings.
#include "decoder/segment_decoder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "tests/support/recording_sink.h"
#include "tests/support/stream_builder.h"
#include "tests/support/temp_dir.h"

using namespace corvina;

namespace {

struct CSegmentedResult {
    CRecording recording;
    std::vector<std::string> warnings;
};

// bBlocks: the stereo frames go to a block writer, a run of them at once.
CSegmentedResult DecodeInSegments(const std::string& strPath, int nThreads, int nSegmentFrames,
                                  bool bBlocks = false) {
    CSegmentedResult result;
    CRecordingSink sink(result.recording);
    CSegmentDecoder segments(
        strPath, {}, [&](const std::string& strText) { result.warnings.push_back(strText); });
    if (bBlocks) {
        segments.SetBlockWriter([&](std::span<const int16_t> samples, int nChannels) {
            for (std::size_t i = 0; nChannels == 2 && i < samples.size(); ++i) {
                result.recording.nSamples[i % 2].push_back(samples[i]);
            }
            return nChannels == 2;
        });
    }
    std::string strReason;
    EXPECT_TRUE(segments.Run(sink, nThreads, {}, strReason, nSegmentFrames)) << strReason;
    return result;
}

void ExpectSameAsOneDecoder(const std::string& strPath, int nThreads, int nSegmentFrames,
                            bool bBlocks = false) {
    SCOPED_TRACE(strPath + ", " + std::to_string(nThreads) + " threads, segments of " +
                 std::to_string(nSegmentFrames) + (bBlocks ? " in blocks" : ""));
    std::vector<std::string> expectedWarnings;
    const CDecodeResult expected = DecodeFile(
        strPath, [&](const std::string& strText) { expectedWarnings.push_back(strText); });
    const CSegmentedResult got = DecodeInSegments(strPath, nThreads, nSegmentFrames, bBlocks);
    if (!bBlocks) {
        EXPECT_EQ(got.recording.nFrames, expected.nFrames);
    }
    EXPECT_TRUE(got.recording.nSamples[0] == expected.nSamples[0]);
    EXPECT_TRUE(got.recording.nSamples[1] == expected.nSamples[1]);
    // Each warning once, as one decoder tells them (opening the file is not
    // the segments' business).
    std::set<std::string> shown(got.warnings.begin(), got.warnings.end());
    EXPECT_EQ(shown.size(), got.warnings.size());
    for (const std::string& strText : got.warnings) {
        EXPECT_NE(std::find(expectedWarnings.begin(), expectedWarnings.end(), strText),
                  expectedWarnings.end())
            << strText;
    }
}

TEST(SegmentDecoderTest, RealStreamsDecodeAsOneDecoderDoesThem) {
    std::vector<std::string> paths = {std::string(CORVINA_SOURCE_DIR) +
                                      "/samples/corvina-sample.mp2"};
    const std::filesystem::path vectors = CORVINA_VECTORS_DIR;
    if (std::filesystem::exists(vectors)) {
        for (const auto& entry : std::filesystem::directory_iterator(vectors)) {
            if (entry.path().extension() == ".bit") {
                paths.push_back(entry.path().string());
            }
        }
    }
    for (const std::string& strPath : paths) {
        ExpectSameAsOneDecoder(strPath, 3, 1);
        ExpectSameAsOneDecoder(strPath, 2, 7);
    }
}

// Stereo frames, a run of single-channel frames that leaves the second
// filter standing, damaged frames that run no filter, junk and an illegal
// allocation: segments that start in or after any of them must still find
// the filters as one decoder has them.
TEST(SegmentDecoderTest, FiltersThatStandStillAndDamagedFramesAreRestored) {
    auto Frame = [](int nLayer, int nMode, int nIndex) {
        CFrameShape shape;
        shape.nLayer = nLayer;
        shape.nMode = nMode;
        shape.nBitrateIndex = nLayer == 1 ? 12 : 10;
        shape.bProtected = true;
        shape.bWrongCrc = nIndex % 11 == 5;
        shape.SetAll(nLayer == 1 ? 4 : 3, 8 + nIndex % 7, static_cast<uint32_t>(nIndex * 5 % 13),
                     nLayer == 1 ? 32 : 20);
        if (nIndex == 17) {
            shape.nAllocation[0][3] = 15;  // illegal in Layer I
        }
        return BuildFrame(shape);
    };
    // Each length of the single-channel run puts the return of stereo at
    // another place in the segments, before or after a worker's own.
    for (const int nLayer : {1, 2}) {
        for (int nSingle = 20; nSingle < 26; ++nSingle) {
            std::vector<uint8_t> bytes;
            int nIndex = 0;
            for (const auto& [nMode, nCount] : {std::pair{0, 9}, {3, nSingle}, {1, 12}, {0, 9}}) {
                for (int i = 0; i < nCount; ++i, ++nIndex) {
                    Append(bytes, Frame(nLayer, nMode, nIndex));
                    if (nIndex % 13 == 4) {
                        Append(bytes, {0x12, 0x34, 0xFF, 0x00, 0x56});
                    }
                }
            }
            CTempDir dir;
            const std::string strPath = dir.Write("awkward.mp" + std::to_string(nLayer), bytes);
            ExpectSameAsOneDecoder(strPath, 2, 3);
            ExpectSameAsOneDecoder(strPath, 3, 4);
            ExpectSameAsOneDecoder(strPath, 2, 5, true);
        }
    }
}

}  // namespace

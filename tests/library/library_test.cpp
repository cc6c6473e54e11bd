// The decoder's public interface: the compliance streams through the frame
// decoder, the C API and the example program, feeding, seeking, and the frame
// decoder on bytes that hold junk or end early.
#include <corvina/corvina.h>
#include <corvina/frame_decoder.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/hostile_files.h"
#include "tests/support/pcm_samples.h"
#include "tests/support/temp_dir.h"

namespace {

const std::filesystem::path kVectors = CORVINA_VECTORS_DIR;

std::vector<uint8_t> ReadBytes(const std::filesystem::path& path) {
    std::vector<uint8_t> bytes;
    if (std::FILE* pFile = std::fopen(path.c_str(), "rb")) {
        uint8_t b[4096];
        for (std::size_t n; (n = std::fread(b, 1, sizeof b, pFile)) > 0;) {
            bytes.insert(bytes.end(), b, b + n);
        }
        std::fclose(pFile);
    }
    return bytes;
}

std::vector<int16_t> LittleEndianSamples(const std::vector<uint8_t>& bytes, std::size_t nSkip = 0) {
    std::vector<int16_t> samples;
    for (std::size_t i = nSkip; i + 1 < bytes.size(); i += 2) {
        samples.push_back(static_cast<int16_t>(bytes[i] | (bytes[i + 1] << 8)));
    }
    return samples;
}

// Every sample a handle gives until it ends (or needs more); its channels.
std::vector<int16_t> ReadAll(corvina_handle* pHandle, int* pnChannels = nullptr) {
    std::vector<int16_t> samples;
    int16_t pcm[1000];
    std::size_t nRead = 0;
    int nResult = 0;
    while ((nResult = corvina_read(pHandle, pcm, 1000, &nRead)) == CORVINA_OK ||
           nResult == CORVINA_NEW_FORMAT) {
        samples.insert(samples.end(), pcm, pcm + nRead);
    }
    EXPECT_TRUE(nResult == CORVINA_DONE || nResult == CORVINA_NEED_MORE)
        << corvina_strerror(nResult);
    if (pnChannels != nullptr) {
        long nRate = 0;
        EXPECT_EQ(corvina_format(pHandle, &nRate, pnChannels), CORVINA_OK);
    }
    return samples;
}

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

// The stream's name where CTest and failures show the parameter.
void PrintTo(const CComplianceStream& stream, std::ostream* pOut) {
    *pOut << stream.pszName;
}

class ComplianceTest : public ::testing::TestWithParam<CComplianceStream> {};

// The frame decoder against the reference decoder's output; the C interface
// and the example program, which drive it their own ways, against it.
TEST_P(ComplianceTest, MatchesTheReferenceThroughEveryInterface) {
    const CComplianceStream& stream = GetParam();
    const std::filesystem::path bit = kVectors / (std::string(stream.pszName) + ".bit");
    if (!std::filesystem::exists(bit)) {
        GTEST_SKIP() << "no compliance stream at " << bit;
    }
    int nChannels = 0;
    int nCrcErrors = 0;
    const std::vector<int16_t> decoded = FrameDecodedPcm(ReadBytes(bit), &nChannels, &nCrcErrors);
    std::filesystem::path pcm = bit;
    const std::vector<int16_t> reference =
        LittleEndianSamples(ReadBytes(pcm.replace_extension(".pcm")));
    const std::size_t nValues = stream.nSamples * static_cast<std::size_t>(stream.nChannels);
    EXPECT_EQ(nCrcErrors, 0);
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
    EXPECT_LE(nMax, 1);
    EXPECT_LE(dRms, 0.1);

    corvina_handle* pHandle = corvina_open_file(bit.c_str());
    ASSERT_NE(pHandle, nullptr);
    EXPECT_TRUE(ReadAll(pHandle) == decoded);
    EXPECT_EQ(corvina_length(pHandle), static_cast<int64_t>(stream.nSamples));
    corvina_close(pHandle);
    CTempDir temp;
    const std::string strWav = temp.File("out.wav");
    const CChildResult result = RunChild({CORVINA_EXAMPLE, bit.string(), strWav});
    ASSERT_EQ(result.nExitStatus, 0) << result.strErr;
    EXPECT_TRUE(LittleEndianSamples(ReadBytes(strWav), 44) == decoded);
}

INSTANTIATE_TEST_SUITE_P(Iso, ComplianceTest, ::testing::ValuesIn(kStreams),
                         [](const ::testing::TestParamInfo<CComplianceStream>& param) {
                             std::string strName = param.param.pszName;
                             std::replace(strName.begin(), strName.end(), '-', '_');
                             return strName;
                         });

TEST(LibraryTest, FedHandleGivesTheSamplesOfTheWholeStream) {
    const std::filesystem::path stream = kVectors / "l2-fl16.bit";
    if (!std::filesystem::exists(stream)) {
        GTEST_SKIP() << "no compliance streams at " << kVectors;
    }
    const std::vector<uint8_t> bytes = ReadBytes(stream);
    corvina_handle* pWhole = corvina_open_memory(bytes.data(), bytes.size());
    const std::vector<int16_t> whole = ReadAll(pWhole);
    corvina_close(pWhole);
    for (std::size_t nChunk : {std::size_t{7}, std::size_t{4096}}) {
        corvina_handle* pFed = corvina_new();
        std::vector<int16_t> fed;
        for (std::size_t nAt = 0; nAt < bytes.size(); nAt += nChunk) {
            ASSERT_EQ(corvina_feed(pFed, bytes.data() + nAt, std::min(nChunk, bytes.size() - nAt)),
                      CORVINA_OK);
            const std::vector<int16_t> part = ReadAll(pFed);
            fed.insert(fed.end(), part.begin(), part.end());
        }
        corvina_feed_end(pFed);
        const std::vector<int16_t> rest = ReadAll(pFed);
        fed.insert(fed.end(), rest.begin(), rest.end());
        EXPECT_EQ(corvina_seek(pFed, 0), CORVINA_ERR_SEEK);
        corvina_close(pFed);
        EXPECT_EQ(fed, whole) << "chunks of " << nChunk;
    }
}

TEST(LibraryTest, SeekGivesTheSamplesOfAContinuousDecode) {
    for (const char* pszName : {"l1-fl1.bit", "l2-fl10.bit"}) {
        const std::filesystem::path stream = kVectors / pszName;
        if (!std::filesystem::exists(stream)) {
            GTEST_SKIP() << "no compliance streams at " << kVectors;
        }
        SCOPED_TRACE(pszName);
        corvina_handle* pHandle = corvina_open_file(stream.c_str());
        int nChannels = 0;
        const std::vector<int16_t> whole = ReadAll(pHandle, &nChannels);
        for (int64_t nSample :
             {int64_t{0}, int64_t{100}, int64_t{5000}, corvina_length(pHandle) - 1}) {
            ASSERT_EQ(corvina_seek(pHandle, nSample), CORVINA_OK);
            const std::vector<int16_t> after = ReadAll(pHandle);
            const std::vector<int16_t> expected(whole.begin() + nSample * nChannels, whole.end());
            EXPECT_EQ(after, expected) << "from sample " << nSample;
        }
        EXPECT_EQ(corvina_seek(pHandle, corvina_length(pHandle) + 10), CORVINA_OK);
        EXPECT_TRUE(ReadAll(pHandle).empty());
        corvina_close(pHandle);
    }
}

TEST(LibraryTest, FrameDecoderPassesJunkAndWaitsForWholeFrames) {
    const std::filesystem::path stream = kVectors / "l2-fl13.bit";
    if (!std::filesystem::exists(stream)) {
        GTEST_SKIP() << "no compliance streams at " << kVectors;
    }
    std::vector<uint8_t> bytes = {0x00, 0xFF, 0xFF, 0x12, 0x34};
    const std::vector<uint8_t> frames = ReadBytes(stream);
    bytes.insert(bytes.end(), frames.begin(), frames.end());
    corvina::CFrameDecoder decoder;
    std::vector<int16_t> pcm(corvina::kMaxFrameSamples);
    corvina::CFrameInfo info;
    EXPECT_EQ(DecodeFrame(decoder, bytes, pcm, info), corvina::EFrameResult::SkippedJunk);
    EXPECT_EQ(info.nBytes, 5u);
    const std::span<const uint8_t> rest(frames);
    EXPECT_EQ(DecodeFrame(decoder, rest.first(100), pcm, info),
              corvina::EFrameResult::NeedMoreBytes);
    EXPECT_EQ(info.nBytes, 0u);
    ASSERT_EQ(DecodeFrame(decoder, rest, pcm, info), corvina::EFrameResult::Decoded);
    EXPECT_EQ(info.nLayer, 2);
    EXPECT_EQ(info.nChannels, 1);
    EXPECT_EQ(info.nSampleRate, 32000);
    EXPECT_EQ(info.nBitrate, 32000);
    EXPECT_EQ(info.nSamples, 1152);
    EXPECT_EQ(info.nBytes, 144u);  // 1152 samples at 32 kbit/s and 32 kHz
}

// The frame decoder as a caller with a buffer of its own feeds it: nPiece
// bytes at a time, the rest of what it has given again after what a call
// consumed, until it waits for more and none come.
std::vector<int16_t> FrameDecodedInPieces(const std::vector<uint8_t>& bytes, std::size_t nPiece) {
    corvina::CFrameDecoder decoder;
    std::vector<int16_t> pcm(corvina::kMaxFrameSamples);
    std::vector<uint8_t> buffer;
    std::vector<int16_t> samples;
    corvina::CFrameInfo info;
    for (std::size_t nFed = 0, nTake = 1; nTake > 0; nFed += nTake) {
        nTake = std::min(nPiece, bytes.size() - nFed);
        buffer.insert(buffer.end(), bytes.begin() + static_cast<long>(nFed),
                      bytes.begin() + static_cast<long>(nFed + nTake));
        while (DecodeFrame(decoder, buffer, pcm, info) != corvina::EFrameResult::NeedMoreBytes) {
            samples.insert(samples.end(), pcm.begin(),
                           pcm.begin() + info.nSamples * info.nChannels);
            buffer.erase(buffer.begin(), buffer.begin() + static_cast<long>(info.nBytes));
        }
    }
    return samples;
}

// The frame decoder runs the stream's search: of an elementary stream it
// takes the frames that --raw decodes, and of one with frames the same in
// any pieces, where every answer that needs bytes not yet there waits for
// them. (Junk alone can hold a false sync whose frame ends where a piece
// does, which passes as a last frame as a frame handed alone does.)
TEST(LibraryTest, FrameDecoderTakesTheStreamsFramesFromBytesInAnyPieces) {
    CTempDir temp;
    for (const CHostileFile& file : MakeHostileFiles(temp)) {
        const std::string& strName = file.strName;
        if (file.eOutcome == EHostileOutcome::Unopenable || strName.starts_with("wave-") ||
            strName.starts_with("transport-stream") || strName.starts_with("program-stream")) {
            continue;
        }
        SCOPED_TRACE(strName);
        const std::vector<uint8_t> bytes = ReadBytes(file.strPath);
        const std::vector<int16_t> whole = FrameDecodedPcm(bytes, nullptr, nullptr);
        if (file.eOutcome != EHostileOutcome::Decodes) {
            EXPECT_TRUE(whole.empty());
            continue;
        }
        EXPECT_EQ(whole.size(), file.RawSamples());
        for (std::size_t nPiece : {std::size_t{3}, std::size_t{1000}}) {
            EXPECT_TRUE(FrameDecodedInPieces(bytes, nPiece) == whole) << "pieces of " << nPiece;
        }
    }
}

TEST(LibraryTest, HostileFilesEndCleanly) {
    CTempDir temp;
    for (const CHostileFile& file : MakeHostileFiles(temp)) {
        SCOPED_TRACE(file.strName);
        corvina_handle* pHandle = corvina_open_file(file.strPath.c_str());
        if (pHandle == nullptr) {
            EXPECT_NE(file.eOutcome, EHostileOutcome::Decodes);
            continue;
        }
        std::vector<std::string> warnings;
        corvina_set_warning_handler(
            pHandle,
            [](void* pUser, int nCode, const char* pszText) {
                EXPECT_TRUE(nCode >= CORVINA_WARN_ILLEGAL_ALLOCATION &&
                            nCode <= CORVINA_WARN_INPUT);
                static_cast<std::vector<std::string>*>(pUser)->push_back(pszText);
            },
            &warnings);
        // A container ends it cleanly too, with or without frames found in
        // it; a stream that decodes gives what --raw writes of it.
        int16_t pcm[4096];
        std::size_t nRead = 0;
        std::size_t nSamples = 0;
        int nResult = CORVINA_OK;
        for (int i = 0; i < 1000000 && (nResult == CORVINA_OK || nResult == CORVINA_NEW_FORMAT);
             ++i) {
            nResult = corvina_read(pHandle, pcm, 4096, &nRead);
            nSamples += nRead;
        }
        EXPECT_TRUE(nResult == CORVINA_DONE || nResult == CORVINA_ERR_NO_STREAM)
            << corvina_strerror(nResult);
        if (file.eOutcome == EHostileOutcome::Decodes) {
            EXPECT_EQ(nSamples, file.RawSamples());
            for (const std::string& strWarning : file.warnings) {
                EXPECT_EQ(std::count_if(warnings.begin(), warnings.end(),
                                        [&strWarning](const std::string& strText) {
                                            return strText.find(strWarning) != std::string::npos;
                                        }),
                          1)
                    << strWarning;
            }
        }
        corvina_close(pHandle);
    }
    EXPECT_EQ(corvina_open_file("/nonexistent/stream.mp2"), nullptr);
    EXPECT_STREQ(corvina_strerror(CORVINA_NEED_MORE), "more input is needed");
}

}  // namespace

// The frame search against what real files hold around and between their
// frames: junk with false syncs, tags at the end, starts anywhere, and
// endless junk that only a stop can end.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <random>
#include <thread>

#include "decoder/audio_decoder.h"
#include "decoder/memory_source.h"
#include "tests/support/recording_sink.h"
#include "tests/support/stream_builder.h"
#include "tests/support/temp_dir.h"

using namespace corvina;

namespace {

// The samples of channel 0, as decoded from bytes after an optional start.
std::vector<int16_t> Decode(const std::vector<uint8_t>& bytes, const CStartPoint& start = {},
                            int* pFrames = nullptr) {
    CRecording recording;
    CAudioDecoder::CHooks hooks;
    hooks.fnMakeSink = [&recording](const CStreamFormat& format) {
        recording.nChannels = format.nChannels;
        return std::make_unique<CRecordingSink>(recording);
    };
    CAudioDecoder decoder(std::make_unique<CMemorySource>(bytes), "stream", std::move(hooks));
    if (decoder.Initialize() != 0 && decoder.MoveToStart(start) != 0) {
        while (decoder.DecodeFrame() != 0) {
        }
    }
    if (pFrames != nullptr) {
        *pFrames = recording.nFrames;
    }
    return recording.nSamples[0];
}

std::vector<uint8_t> Stream() {
    CFrameShape shape;
    shape.SetAll(3, 20, 5);
    return BuildStream(shape, 40);
}

TEST(FrameSyncTest, JunkBeforeAndBetweenFramesCostsNoFrame) {
    const std::vector<uint8_t> stream = Stream();
    const std::vector<int16_t> expected = Decode(stream);
    ASSERT_EQ(expected.size(), 40u * 1152);
    std::mt19937 random(7);
    for (int nSeed = 0; nSeed < 400; ++nSeed) {
        // Random junk keeps every frame as it is. Junk dense with false
        // syncs (a third of its bytes 0xFF) can hold a header that the
        // stream's first frame seems to confirm, whose frame then runs into
        // the stream's first frames; it never ends the stream.
        const bool bDense = nSeed >= 200;
        const std::size_t nJunk = nSeed % 200 < 30 ? 1 + nSeed % 3 : 1 + random() % 4096;
        std::vector<uint8_t> bytes;
        for (std::size_t i = 0; i < nJunk; ++i) {
            bytes.push_back(bDense && random() % 3 == 0 ? 0xFF : static_cast<uint8_t>(random()));
        }
        Append(bytes, stream);
        int nFrames = 0;
        const std::vector<int16_t> decoded = Decode(bytes, {}, &nFrames);
        SCOPED_TRACE("seed " + std::to_string(nSeed) + ", " + std::to_string(nJunk) + " bytes");
        if (!bDense) {
            ASSERT_EQ(decoded, expected);
        } else {
            ASSERT_GE(nFrames, 30);
        }
    }
    // Junk between two halves of the stream loses at most the frame before it.
    std::vector<uint8_t> bytes(stream.begin(), stream.begin() + stream.size() / 2);
    for (int i = 0; i < 300; ++i) {
        bytes.push_back(i % 2 == 0 ? 0xFF : 0xFB);
    }
    bytes.insert(bytes.end(), stream.begin() + stream.size() / 2, stream.end());
    EXPECT_GE(Decode(bytes).size(), 39u * 1152);
}

TEST(FrameSyncTest, TagsAtTheEndKeepTheLastFrame) {
    const std::vector<uint8_t> stream = Stream();
    const std::vector<int16_t> expected = Decode(stream);
    auto Text = [](const std::string& strText) {
        return std::vector<uint8_t>(strText.begin(), strText.end());
    };
    std::vector<uint8_t> ape = Text("APETAGEX");
    for (uint8_t b : {0xD0, 0x07, 0, 0, 48, 0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0x80}) {
        ape.push_back(b);
    }
    ape.resize(32, 0);
    std::vector<uint8_t> apeTag = ape;
    apeTag[23] = 0xA0;  // the header of a tag that has one
    Append(apeTag, Text("\x05\0\0\0\0\0\0\0Title\0Hello"));
    apeTag.resize(32 + 16, 0);
    Append(apeTag, ape);
    const std::vector<uint8_t> lyrics = Text("LYRICSBEGININD0000210LYR00005hello000034LYRICS200");
    std::vector<uint8_t> id3v1 = Text("TAG");
    id3v1.resize(128, 0x20);
    for (const auto& tail : {apeTag, lyrics, id3v1}) {
        for (bool bCanSeek : {true, false}) {
            std::vector<uint8_t> bytes = stream;
            Append(bytes, tail);
            if (&tail != &id3v1) {
                Append(bytes, id3v1);
            }
            CRecording recording;
            CAudioDecoder::CHooks hooks;
            hooks.fnMakeSink = [&recording](const CStreamFormat&) {
                return std::make_unique<CRecordingSink>(recording);
            };
            CAudioDecoder decoder(std::make_unique<CMemorySource>(bytes, bCanSeek), "s",
                                  std::move(hooks));
            ASSERT_NE(decoder.Initialize(), 0);
            while (decoder.DecodeFrame() != 0) {
            }
            EXPECT_EQ(recording.nSamples[0], expected) << "seekable " << bCanSeek;
        }
    }
}

TEST(FrameSyncTest, AStartAtEveryPercentDecodesTheRest) {
    const std::filesystem::path vectors = CORVINA_VECTORS_DIR;
    if (!std::filesystem::exists(vectors / "l1-fl1.bit")) {
        GTEST_SKIP() << "the compliance streams are not at " << vectors;
    }
    for (const auto& entry : std::filesystem::directory_iterator(vectors)) {
        if (entry.path().extension() != ".bit") {
            continue;
        }
        const std::vector<uint8_t> bytes = ReadFileBytes(entry.path().string());
        const std::vector<int16_t> whole = Decode(bytes);
        std::size_t nLast = whole.size();
        for (int nPercent = 1; nPercent <= 100; ++nPercent) {
            const std::vector<int16_t> rest = Decode(bytes, {static_cast<double>(nPercent), true});
            SCOPED_TRACE(entry.path().filename().string() + " at " + std::to_string(nPercent));
            // Later starts leave less; only a start inside the last frame
            // leaves nothing.
            ASSERT_LE(rest.size(), nLast);
            ASSERT_TRUE(!rest.empty() || nLast <= 1152) << nLast;
            // After its first frame, whose filter history differs, the rest
            // is the end of the whole decode.
            const std::size_t nFirst = std::min<std::size_t>(rest.size(), 1152);
            ASSERT_TRUE(std::equal(rest.begin() + static_cast<long>(nFirst), rest.end(),
                                   whole.end() - static_cast<long>(rest.size() - nFirst)));
            nLast = rest.size();
        }
    }
}

// Bytes without end in a pattern of two, as an erased card or a disk image
// gives them; it cannot seek.
class CPatternSource : public CByteSource {
  public:
    CPatternSource(uint8_t bFirst, uint8_t bSecond) : m_bPattern{bFirst, bSecond} {}
    std::size_t Read(uint8_t* pBuffer, std::size_t nBytes) override {
        for (std::size_t i = 0; i < nBytes; ++i) {
            pBuffer[i] = m_bPattern[(m_nPosition + i) % 2];
        }
        m_nPosition += static_cast<int64_t>(nBytes);
        return nBytes;
    }
    int64_t Position() const override { return m_nPosition; }

  private:
    uint8_t m_bPattern[2];
    int64_t m_nPosition = 0;
};

TEST(FrameSyncTest, AStopEndsTheSearchOfEndlessJunkAtOnce) {
    for (const auto& pattern : {std::pair<uint8_t, uint8_t>{0xFF, 0xFF}, {0xFF, 0x00}}) {
        std::atomic<bool> bStop{false};
        CAudioDecoder::CHooks hooks;
        hooks.fnStopRequested = [&bStop] { return bStop.load(); };
        hooks.fnMakeSink = [](const CStreamFormat&) { return std::unique_ptr<CAudioSink>(); };
        CAudioDecoder decoder(std::make_unique<CPatternSource>(pattern.first, pattern.second),
                              "junk", std::move(hooks));
        std::chrono::steady_clock::time_point stopped;
        std::thread stopper([&] {
            std::this_thread::sleep_for(std::chrono::milliseconds(200));
            stopped = std::chrono::steady_clock::now();
            bStop = true;
        });
        EXPECT_EQ(decoder.Initialize(), 0);
        const auto ended = std::chrono::steady_clock::now();
        stopper.join();
        EXPECT_LT(ended - stopped, std::chrono::milliseconds(500));
        EXPECT_GT(decoder.Stream().Position(), 1000);
    }
}

}  // namespace

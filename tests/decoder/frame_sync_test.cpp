// The frame search: what is skipped and what ends the stream, the CRC
// register it hands out; and, through the decoder, what real files hold
// around and between their frames: junk with false syncs, tags at the end,
// starts anywhere, and endless junk that only a stop can end.
#include "decoder/frame_sync.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <random>
#include <thread>

#include "decoder/audio_decoder.h"
#include "decoder/bit_stream.h"
#include "decoder/memory_source.h"
#include "tests/support/recording_sink.h"
#include "tests/support/stream_builder.h"
#include "tests/support/temp_dir.h"

using namespace corvina;

namespace {

CFrameShape Layer2(int nBitrateIndex, int nFrequencyIndex, int nMode) {
    CFrameShape shape;
    shape.nBitrateIndex = nBitrateIndex;
    shape.nFrequencyIndex = nFrequencyIndex;
    shape.nMode = nMode;
    return shape;
}

class FrameSearchTest : public ::testing::Test {
  protected:
    // Frames returned by ReadFrame until it gives 0, each told by its
    // bitrate index; nLimit guards against a search that never ends.
    std::vector<int> Frames(const std::vector<uint8_t>& bytes, int nLimit = 100) {
        CBitStream stream = Stream(bytes);
        CFrameSync sync;
        CFrameHeader header;
        CCrc16* pCrc = nullptr;
        std::vector<int> frames;
        while (static_cast<int>(frames.size()) < nLimit &&
               sync.ReadFrame(stream, header, &pCrc) != 0) {
            frames.push_back(header.BitrateIndex());
        }
        return frames;
    }

    static CBitStream Stream(std::vector<uint8_t> bytes) {
        return CBitStream(std::make_unique<CMemorySource>(std::move(bytes)));
    }
};

std::vector<uint8_t> Frame(int nBitrateIndex) {
    CFrameShape shape;
    shape.nBitrateIndex = nBitrateIndex;
    return BuildFrame(shape);
}

TEST_F(FrameSearchTest, CleanStreamsGiveEveryFrameAndTheLastOneToo) {
    std::vector<uint8_t> bytes;
    for (int i : {8, 9, 10, 11}) {
        Append(bytes, Frame(i));
    }
    EXPECT_EQ(Frames(bytes), (std::vector<int>{8, 9, 10, 11}));
    bytes.pop_back();  // the last frame cut short
    EXPECT_EQ(Frames(bytes), (std::vector<int>{8, 9, 10}));
}

TEST_F(FrameSearchTest, JunkBetweenFramesCostsNoFrame) {
    std::vector<uint8_t> four = Frame(7);
    Append(four, Frame(8));
    Append(four, {1, 2, 3, 4});
    Append(four, Frame(9));
    Append(four, Frame(10));
    EXPECT_EQ(Frames(four), (std::vector<int>{7, 8, 9, 10}));

    std::vector<uint8_t> two = Frame(7);
    Append(two, Frame(8));
    Append(two, {0xFF, 0xFF});
    Append(two, Frame(9));
    Append(two, Frame(10));
    EXPECT_EQ(Frames(two), (std::vector<int>{7, 8, 9, 10}));
}

TEST_F(FrameSearchTest, StrayBytesBeforeTheFirstFrameCostNothing) {
    for (std::size_t nStray = 1; nStray <= 3; ++nStray) {
        std::vector<uint8_t> bytes(nStray, 0xFF);
        Append(bytes, Frame(8));
        Append(bytes, Frame(9));
        Append(bytes, Frame(10));
        EXPECT_EQ(Frames(bytes), (std::vector<int>{8, 9, 10})) << nStray;
    }
}

TEST_F(FrameSearchTest, ForbiddenAndReservedHeadersAreSkipped) {
    std::vector<uint8_t> bytes(64, 0xFF);  // FF FF ...: Layer I, bitrate 15
    Append(bytes, Frame(8));
    Append(bytes, Frame(9));
    EXPECT_EQ(Frames(bytes), (std::vector<int>{8, 9}));

    CFrameShape mono224 = Layer2(11, 0, 3);
    CFrameShape stereo56 = Layer2(3, 0, 0);
    CFrameShape reserved = Layer2(8, 3, 0);
    std::vector<uint8_t> skipped = BuildFrame(mono224);
    Append(skipped, BuildFrame(stereo56));
    Append(skipped, BuildFrame(reserved));
    Append(skipped, Frame(8));
    Append(skipped, Frame(9));
    EXPECT_EQ(Frames(skipped), (std::vector<int>{8, 9}));
}

TEST_F(FrameSearchTest, LayerThreeEndsTheStreamOnlyWhereItsFramesConfirmIt) {
    // A lone Layer III header, and a free-format one whose length cannot be
    // found, are junk that the search passes over.
    CFrameShape layer3;
    layer3.nLayer = 3;
    std::vector<uint8_t> bytes = BuildFrame(layer3);
    bytes.resize(400, 0);
    Append(bytes, Frame(8));
    EXPECT_EQ(Frames(bytes), (std::vector<int>{8}));

    CFrameShape free = Layer2(0, 0, 0);
    std::vector<uint8_t> freeBytes = BuildFrame(free);
    freeBytes.resize(400, 0);
    EXPECT_TRUE(Frames(freeBytes).empty());

    std::vector<uint8_t> middle = Frame(6);
    Append(middle, Frame(7));
    Append(middle, bytes);
    EXPECT_EQ(Frames(middle), (std::vector<int>{6, 7, 8}));

    // Layer III frames one after another are a Layer III stream, which ends
    // the stream (144 * 112000 / 44100 bytes each, the first one padded).
    std::vector<uint8_t> stream = Frame(7);
    Append(stream, Frame(8));
    for (int i = 0; i < 4; ++i) {
        layer3.nPadding = i == 0 ? 1 : 0;
        std::vector<uint8_t> frame = BuildFrame(layer3);
        frame.resize(365 + static_cast<std::size_t>(layer3.nPadding), 0);
        Append(stream, frame);
    }
    Append(stream, Frame(9));
    EXPECT_EQ(Frames(stream), (std::vector<int>{7, 8}));
}

TEST_F(FrameSearchTest, HostileBytesEndWithoutHanging) {
    EXPECT_TRUE(Frames({}).empty());
    EXPECT_TRUE(Frames({0xFF}).empty());
    EXPECT_TRUE(Frames({0xFF, 0xFD, 0x90}).empty());
    EXPECT_TRUE(Frames(std::vector<uint8_t>(65536, 0xFF)).empty());
    std::vector<uint8_t> random(65536);
    uint32_t dwSeed = 12345;
    for (auto& b : random) {
        dwSeed = dwSeed * 1103515245u + 12345u;
        b = static_cast<uint8_t>(dwSeed >> 24);
    }
    EXPECT_LT(Frames(random, 10000).size(), 10000u);
}

TEST_F(FrameSearchTest, AProtectedFrameHandsTheRegisterFedWithTheHeader) {
    CFrameShape shape;
    shape.bProtected = true;
    std::vector<uint8_t> bytes = BuildStream(shape, 2);
    CBitStream stream = Stream(bytes);
    CFrameSync sync;
    CFrameHeader header;
    CCrc16* pCrc = nullptr;
    ASSERT_EQ(sync.ReadFrame(stream, header, &pCrc), 1);
    ASSERT_NE(pCrc, nullptr);
    CCrc16 expected;
    expected.Update(HeaderWord(shape) & 0xFFFF, 16);
    EXPECT_EQ(pCrc->Value(), expected.Value());
    EXPECT_EQ(header.CrcWord(), (bytes[4] << 8) | bytes[5]);
    EXPECT_EQ(sync.FrameWord(), HeaderWord(shape));

    CFrameShape open;
    CBitStream plain = Stream(BuildStream(open, 2));
    CFrameSync plainSync;
    CCrc16 unused;
    CCrc16* pNone = &unused;
    ASSERT_EQ(plainSync.ReadFrame(plain, header, &pNone), 1);
    EXPECT_EQ(pNone, nullptr);
}

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

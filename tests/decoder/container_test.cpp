// Layer II inside containers: program streams, video-CD sectors, transport
// streams of every packet size and WAVE files give exactly the samples of the
// stream they carry, read through or moved in, and broken packets cost only
// what they held.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <filesystem>

#include "decoder/audio_decoder.h"
#include "decoder/memory_source.h"
#include "tests/support/recording_presenter.h"
#include "tests/support/recording_sink.h"
#include "tests/support/temp_dir.h"

using namespace corvina;

namespace {

using CBytes = std::vector<uint8_t>;

const std::filesystem::path kStreams = std::filesystem::path(CORVINA_SOURCE_DIR) / "tests/streams";

CBytes Streamed(const char* pszName) {
    return ReadFileBytes((kStreams / pszName).string());
}

void PutLittleEndian(CBytes& bytes, std::size_t nAt, uint32_t dwValue) {
    for (int i = 0; i < 4; ++i) {
        bytes[nAt + static_cast<std::size_t>(i)] = static_cast<uint8_t>(dwValue >> (8 * i));
    }
}

// The video-CD file as a CD copy holds it: each 2324-byte pack in a form 2
// sector of 2352 bytes inside a RIFF CDXA file.
CBytes CdxaOf(const CBytes& packs) {
    CBytes file = {'R', 'I', 'F', 'F', 0,   0,   0,  0, 'C', 'D',
                   'X', 'A', 'f', 'm', 't', ' ', 16, 0, 0,   0};
    file.resize(file.size() + 16, 0);
    const std::size_t nDataAt = file.size();
    file.insert(file.end(), {'d', 'a', 't', 'a', 0, 0, 0, 0});
    for (std::size_t nAt = 0; nAt < packs.size(); nAt += 2324) {
        CBytes sector(2352, 0);
        std::memset(sector.data() + 1, 0xFF, 10);
        sector[18] = sector[22] = 0x20;
        std::memcpy(sector.data() + 24, packs.data() + nAt,
                    std::min<std::size_t>(2324, packs.size() - nAt));
        file.insert(file.end(), sector.begin(), sector.end());
    }
    PutLittleEndian(file, 4, static_cast<uint32_t>(file.size() - 8));
    PutLittleEndian(file, nDataAt + 4, static_cast<uint32_t>(file.size() - nDataAt - 8));
    return file;
}

// 192-byte packets (a time code before each) or 204 (check bytes after).
CBytes RepacketOf(const CBytes& ts, std::size_t nBefore, std::size_t nAfter) {
    CBytes out;
    for (std::size_t nAt = 0; nAt + 188 <= ts.size(); nAt += 188) {
        out.resize(out.size() + nBefore, 0x5A);
        out.insert(out.end(), ts.begin() + static_cast<std::ptrdiff_t>(nAt),
                   ts.begin() + static_cast<std::ptrdiff_t>(nAt + 188));
        out.resize(out.size() + nAfter, 0xA5);
    }
    return out;
}

std::size_t FindText(const CBytes& bytes, const std::string& strText) {
    const std::string strBytes(bytes.begin(), bytes.end());
    return strBytes.find(strText);
}

struct CNamedFile {
    std::string strName;
    CBytes bytes;
};

std::vector<CNamedFile> Containers() {
    std::vector<CNamedFile> files;
    for (const char* pszName :
         {"ffmpeg-stereo-48k.mpg", "ffmpeg-stereo-48k-vcd.mpg", "ffmpeg-stereo-48k.vob",
          "ffmpeg-stereo-48k.ts", "ffmpeg-stereo-48k.m2ts", "ffmpeg-stereo-48k.wav",
          "ffmpeg-stereo-48k-bext.wav"}) {
        files.push_back({pszName, Streamed(pszName)});
    }
    files.push_back({"cdxa", CdxaOf(Streamed("ffmpeg-stereo-48k-vcd.mpg"))});
    const CBytes ts = Streamed("ffmpeg-stereo-48k.ts");
    files.push_back({"ts-192", RepacketOf(ts, 4, 0)});
    files.push_back({"ts-204", RepacketOf(ts, 0, 16)});
    // A LIST chunk after the data, and sizes that a pipe left unknown.
    CBytes wav = Streamed("ffmpeg-stereo-48k.wav");
    CBytes listAfter = wav;
    listAfter.insert(listAfter.end(), {'L', 'I', 'S', 'T', 12,  0,   0,    0,    'I',  'N',
                                       'F', 'O', 'I', 'S', 'F', 'T', 0xFF, 0xFB, 0x90, 0});
    PutLittleEndian(listAfter, 4, static_cast<uint32_t>(listAfter.size() - 8));
    files.push_back({"wav-list-after-data", listAfter});
    CBytes unknownSizes = wav;
    PutLittleEndian(unknownSizes, 4, 0xFFFFFFFF);
    PutLittleEndian(unknownSizes, FindText(wav, "data") + 4, 0xFFFFFFFF);
    files.push_back({"wav-sizes-unknown", unknownSizes});
    // RF64: the sizes in a ds64 chunk in place of the JUNK-free fact chunk.
    CBytes rf64 = wav;
    const std::size_t nFact = FindText(wav, "fact");
    CBytes ds64 = {'d', 's', '6', '4', 28, 0, 0, 0};
    ds64.resize(8 + 28, 0);
    PutLittleEndian(ds64, 16, static_cast<uint32_t>(wav.size() - FindText(wav, "data") - 8));
    rf64.erase(rf64.begin() + static_cast<std::ptrdiff_t>(nFact),
               rf64.begin() + static_cast<std::ptrdiff_t>(nFact + 12));
    rf64.insert(rf64.begin() + 12, ds64.begin(), ds64.end());
    std::memcpy(rf64.data(), "RF64", 4);
    PutLittleEndian(rf64, 4, 0xFFFFFFFF);
    PutLittleEndian(rf64, FindText(rf64, "data") + 4, 0xFFFFFFFF);
    files.push_back({"rf64", rf64});
    return files;
}

CDecodeResult DecodeSource(const CBytes& bytes, bool bCanSeek,
                           std::vector<std::string>* pWarnings = nullptr, int nSeekAfter = -1,
                           int nPercent = 0) {
    CDecodeResult result;
    CAudioDecoder::CHooks hooks;
    hooks.fnMakeSink = RecordingSinkFactory(result);
    hooks.fnReportWarning = [pWarnings](const std::string& strText) {
        if (pWarnings != nullptr) {
            pWarnings->push_back(strText);
        }
    };
    CAudioDecoder decoder(std::make_unique<CMemorySource>(bytes, bCanSeek), "file",
                          std::move(hooks));
    result.nInitialized = decoder.Initialize();
    for (int i = 0; result.nInitialized != 0; ++i) {
        if (i == nSeekAfter) {
            EXPECT_EQ(decoder.SeekPercent(nPercent), 1);
        }
        if (decoder.DecodeFrame() == 0) {
            break;
        }
    }
    return result;
}

TEST(ContainerTest, EveryContainerGivesTheSamplesOfItsStreamReadOrPiped) {
    const CDecodeResult expected = DecodeSource(Streamed("ffmpeg-stereo-48k.mp2"), true);
    ASSERT_EQ(expected.nFrames, 42);
    for (const CNamedFile& file : Containers()) {
        for (bool bCanSeek : {true, false}) {
            SCOPED_TRACE(file.strName + (bCanSeek ? "" : " piped"));
            std::vector<std::string> warnings;
            const CDecodeResult result = DecodeSource(file.bytes, bCanSeek, &warnings);
            EXPECT_EQ(result.nSamples[0], expected.nSamples[0]);
            EXPECT_EQ(result.nSamples[1], expected.nSamples[1]);
            EXPECT_TRUE(warnings.empty()) << warnings.front();
        }
    }
}

TEST(ContainerTest, SeeksInAContainerGoWhereTheyGoInItsStream) {
    for (int nPercent : {0, 30, 50, 97}) {
        const CDecodeResult expected =
            DecodeSource(Streamed("ffmpeg-stereo-48k.mp2"), true, nullptr, 5, nPercent);
        for (const CNamedFile& file : Containers()) {
            SCOPED_TRACE(file.strName + " to " + std::to_string(nPercent) + "%");
            EXPECT_EQ(DecodeSource(file.bytes, true, nullptr, 5, nPercent).nSamples[0],
                      expected.nSamples[0]);
        }
    }
}

TEST(ContainerTest, TransportStreamsResyncAfterLostAndBrokenPackets) {
    const CBytes ts = Streamed("ffmpeg-stereo-48k.ts");
    // The middle one of the audio stream's packets.
    std::vector<std::size_t> audio;
    int nAudioPid = -1;
    for (std::size_t nAt = 0; nAt + 188 <= ts.size(); nAt += 188) {
        const int nPid = ((ts[nAt + 1] & 0x1F) << 8) | ts[nAt + 2];
        const CBytes packet(ts.begin() + static_cast<std::ptrdiff_t>(nAt),
                            ts.begin() + static_cast<std::ptrdiff_t>(nAt + 188));
        if (nAudioPid < 0 && (ts[nAt + 1] & 0x40) != 0 &&
            FindText(packet, std::string("\0\0\1\xC0", 4)) != std::string::npos) {
            nAudioPid = nPid;
        }
        if (nPid == nAudioPid) {
            audio.push_back(nAt);
        }
    }
    ASSERT_GT(audio.size(), 10u);
    const std::size_t nMiddle = audio[audio.size() / 2];
    CBytes damaged(ts.begin(), ts.begin() + static_cast<std::ptrdiff_t>(nMiddle - 100));
    damaged.insert(damaged.end(), ts.begin() + static_cast<std::ptrdiff_t>(nMiddle + 188),
                   ts.end());
    CBytes broken = ts;
    broken[nMiddle + 188 + 1] |= 0x80;  // the error flag of a packet
    for (const CBytes& bytes : {damaged, broken}) {
        const CDecodeResult result = DecodeSource(bytes, true);
        EXPECT_GE(result.nFrames, 39);
        EXPECT_LT(result.nFrames, 42);
    }
}

TEST(ContainerTest, SystemStreamsWithoutAudioAreStillToldApart) {
    const CBytes ps = Streamed("ffmpeg-stereo-48k.mpg");
    CBytes videoOnly = ps;
    // Every audio packet becomes a padding packet.
    for (std::size_t i = 0; i + 6 < videoOnly.size(); ++i) {
        if (videoOnly[i] == 0 && videoOnly[i + 1] == 0 && videoOnly[i + 2] == 1 &&
            videoOnly[i + 3] == 0xC0) {
            videoOnly[i + 3] = 0xBE;
            const std::size_t nLength = (videoOnly[i + 4] << 8) | videoOnly[i + 5];
            std::fill_n(videoOnly.begin() + static_cast<std::ptrdiff_t>(i + 6), nLength, 0xFF);
        }
    }
    for (bool bCanSeek : {true, false}) {
        std::vector<std::string> warnings;
        EXPECT_EQ(DecodeSource(videoOnly, bCanSeek, &warnings).nInitialized, 0);
        ASSERT_EQ(warnings.size(), 1u);
        EXPECT_EQ(warnings[0], "file is an MPEG system stream, which is beyond me!");
    }
}

}  // namespace

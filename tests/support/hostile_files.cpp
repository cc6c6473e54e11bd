// The hostile-file catalogue.
#include "tests/support/hostile_files.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>

#include "tests/support/stream_builder.h"
#include "tests/support/temp_dir.h"

namespace {

using CBytes = std::vector<uint8_t>;

// The output follows a switch of channel count or rate.
const char kModeSwitch[] =
    "the stream switches between single channel and stereo in the middle: it goes on in the new "
    "channel count";
const char kRateSwitch[] =
    "the sample frequency switches in the middle of the stream: it goes on at the new rate";

CFrameShape FrameOf(int nLayer, int nMode, int nFrequency = 0, bool bProtected = false) {
    CFrameShape shape;
    shape.nLayer = nLayer;
    shape.nBitrateIndex = nLayer == 1 ? 4 : 8;
    shape.nMode = nMode;
    shape.nFrequencyIndex = nFrequency;
    shape.bProtected = bProtected;
    shape.SetAll(2, 20, 1, 6);
    return shape;
}

CBytes Random(std::size_t nBytes, uint32_t dwSeed) {
    CBytes bytes(nBytes);
    for (auto& b : bytes) {
        dwSeed = dwSeed * 1664525u + 1013904223u;
        b = static_cast<uint8_t>(dwSeed >> 24);
    }
    return bytes;
}

// A file of the test streams: ffmpeg's containers around a stream of 42
// Layer II frames (stereo, 48 kHz).
CBytes Streamed(const char* pszName) {
    return ReadFileBytes(
        (std::filesystem::path(CORVINA_SOURCE_DIR) / "tests/streams" / pszName).string());
}

std::size_t Find(const CBytes& bytes, const CBytes& what, std::size_t nFrom = 0) {
    const auto it = std::search(bytes.begin() + static_cast<std::ptrdiff_t>(nFrom), bytes.end(),
                                what.begin(), what.end());
    return static_cast<std::size_t>(it - bytes.begin());
}

void PutLittleEndian(CBytes& bytes, std::size_t nAt, uint32_t dwValue) {
    for (int i = 0; i < 4; ++i) {
        bytes.at(nAt + static_cast<std::size_t>(i)) = static_cast<uint8_t>(dwValue >> (8 * i));
    }
}

CBytes Padded(CBytes bytes, std::size_t nSize, uint8_t bFill) {
    bytes.resize(nSize, bFill);
    return bytes;
}

}  // namespace

std::vector<CHostileFile> MakeHostileFiles(const CTempDir& dir) {
    std::vector<CHostileFile> files;
    auto Unopenable = [&](const std::string& strName, const std::string& strPath) {
        files.push_back({strName, strPath, EHostileOutcome::Unopenable, {}});
    };
    auto Invalid = [&](const std::string& strName, const CBytes& bytes,
                       std::vector<std::string> warnings = {}) {
        files.push_back(
            {strName, dir.Write(strName, bytes), EHostileOutcome::Invalid, std::move(warnings)});
    };
    auto Decodes = [&](const std::string& strName, const CBytes& bytes, int nFrames,
                       std::size_t nSamples, int nChannels,
                       std::vector<std::string> warnings = {}) {
        files.push_back({strName, dir.Write(strName, bytes), EHostileOutcome::Decodes,
                         std::move(warnings), nFrames, nSamples, nChannels});
    };

    Unopenable("missing", dir.File("missing.mp2"));
    Unopenable("directory", dir.Path().string());
    // Endless, and not a file: refused before a byte is read.
    struct stat device {};
    if (stat("/dev/zero", &device) == 0 && S_ISCHR(device.st_mode)) {
        Unopenable("character-device", "/dev/zero");
    }

    Invalid("empty", {});
    Invalid("one-byte", {0xFF});
    Invalid("two-bytes", {0xFF, 0xFD});
    Invalid("three-bytes", {0xFF, 0xFD, 0x90});
    Invalid("all-ff", CBytes(65536, 0xFF));
    Invalid("all-zero", CBytes(65536, 0x00));
    Invalid("random", Random(65536, 2026));
    const std::string strText = "This is not a stream.\nJust text, line after line.\n";
    Invalid("text", CBytes(strText.begin(), strText.end()));

    // JPEG markers, with sync-like pairs among them.
    CBytes jpeg = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F', 0x00};
    for (int i = 0; i < 2000; ++i) {
        const auto bMarker = static_cast<uint8_t>(0xC0 + i % 0x3F);
        Append(jpeg, {0xFF, bMarker, 0x00, static_cast<uint8_t>(i), 0xFF, 0xFF, 0x12});
    }
    Append(jpeg, {0xFF, 0xD9});
    Invalid("jpeg-like", jpeg);

    CBytes cutFirst = BuildFrame(FrameOf(2, 0));
    cutFirst.resize(cutFirst.size() / 2);
    Invalid("first-frame-truncated", cutFirst);

    CFrameShape layer3 = FrameOf(2, 0);
    layer3.nLayer = 3;
    Invalid("layer-iii-first", Padded(BuildFrame(layer3), 3000, 0));
    CFrameShape freeFormat = FrameOf(2, 0);
    freeFormat.nBitrateIndex = 0;
    // A lone free-format header: no second one tells its length.
    Invalid("free-format-first", Padded(BuildFrame(freeFormat), 3000, 0));

    Invalid("video-start", Padded({0x00, 0x00, 0x01, 0xB3}, 3000, 0),
            {" is an MPEG video stream, which is beyond me!"});
    CBytes system = {0x00, 0x00, 0x01, 0xBA};
    Append(system, BuildStream(FrameOf(1, 0), 4));
    Decodes("system-start-then-frames", system, 4, 4 * 384, 2,
            {" is an MPEG system stream, which is beyond me!"});

    // An ID3v2 tag claiming some 256 MB in front of the frames: a size past
    // the end is not believed, and no frame is lost.
    CBytes longTag = {'I', 'D', '3', 4, 0, 0, 0x7F, 0x7F, 0x7F, 0x7F};
    Append(longTag, BuildStream(FrameOf(1, 0), 4));
    Decodes("id3v2-past-the-end", longTag, 4, 4 * 384, 2);

    CBytes cutLast = BuildStream(FrameOf(2, 1), 4);
    cutLast.resize(cutLast.size() - 150);
    Decodes("last-frame-truncated", cutLast, 3, 3 * 1152, 2);

    // Every other frame switches rate and between one and two channels;
    // each warning is given once for the run, and the samples come in the
    // channels of their frames.
    CBytes switching;
    for (int i = 0; i < 8; ++i) {
        Append(switching, BuildFrame(FrameOf(1, i / 2 % 2 == 0 ? 0 : 3, i / 2 % 3)));
    }
    Decodes("rate-and-mode-switch", switching, 8, 8 * 384, 2, {kModeSwitch, kRateSwitch});
    files.back().nRawSamples = 4 * 384 * 2 + 4 * 384;

    CFrameShape wrongCrc = FrameOf(2, 0, 0, true);
    wrongCrc.bWrongCrc = true;
    // Damaged frames keep their time as silence.
    Decodes("wrong-crc-everywhere", BuildStream(wrongCrc, 6), 6, 6 * 1152, 2);

    // The header kinds encoders write beyond the standard's table: the low
    // sampling rates, free format (with a length the search must find),
    // unlisted bitrate and mode pairs, and padding at 48 kHz.
    CFrameShape low = FrameOf(2, 0, 1);
    low.nIdBit = 0;
    Decodes("low-sampling-rate", BuildStream(low, 5), 5, 5 * 1152, 2);
    CBytes freeStream = BuildStream(FrameOf(2, 0), 5);
    for (std::size_t nAt = 0; nAt < freeStream.size(); nAt += freeStream.size() / 5) {
        freeStream[nAt + 2] &= 0x0F;
    }
    Decodes("free-format", freeStream, 5, 5 * 1152, 2);
    // The longest free-format frames: 4 KiB after the header, with a padding
    // slot or without; a byte more and the length is not found.
    CFrameShape freeShape = FrameOf(2, 0);
    freeShape.nBitrateIndex = 0;
    CBytes longest;
    for (int i = 0; i < 4; ++i) {
        freeShape.nPadding = i % 2;
        Append(longest, Padded(BuildFrame(freeShape), 4100 + static_cast<std::size_t>(i % 2), 0));
    }
    Decodes("free-format-longest", longest, 4, 4 * 1152, 2);
    CBytes tooLong;
    for (int i = 0; i < 4; ++i) {
        Append(tooLong, Padded(BuildFrame(freeFormat), 4101, 0));
    }
    Invalid("free-format-too-long", tooLong);
    CFrameShape unlisted = FrameOf(2, 3);
    unlisted.nBitrateIndex = 14;
    CFrameShape padded = FrameOf(2, 0, 1);
    padded.nPadding = 1;
    CBytes kinds = BuildStream(unlisted, 3);
    Append(kinds, BuildStream(padded, 3));
    Decodes("unlisted-pair-then-padded-48k", kinds, 6, 6 * 1152, 1, {kRateSwitch, kModeSwitch});
    files.back().nRawSamples = 3 * 1152 + 3 * 1152 * 2;
    // Junk dense with false syncs before and between the frames.
    CBytes dense;
    for (uint8_t b : Random(3000, 99)) {
        dense.push_back(b % 3 == 0 ? 0xFF : b);
    }
    CBytes denseStream = dense;
    Append(denseStream, BuildStream(FrameOf(2, 0), 4));
    Append(denseStream, dense);
    Invalid("dense-false-syncs", dense);
    files.push_back({"dense-false-syncs-around-frames",
                     dir.Write("dense-around", denseStream),
                     EHostileOutcome::Decodes,
                     {},
                     4,
                     4 * 1152,
                     2});

    CBytes mixed;
    for (int i = 0; i < 6; ++i) {
        Append(mixed, BuildFrame(FrameOf(i < 3 ? 1 : 2, 1)));
    }
    Decodes("layers-mixed", mixed, 6, 3 * 384 + 3 * 1152, 2);

    // Broken containers.
    const CBytes ts = Streamed("ffmpeg-stereo-48k.ts");
    CBytes tsCut = ts;
    tsCut.resize(ts.size() / 2 + 77);
    Decodes("transport-stream-cut-in-a-packet", tsCut, 13, 13 * 1152, 2);
    // The program map (every copy of it) names its own PID as the audio
    // stream's.
    CBytes selfMap = ts;
    for (std::size_t nAt = Find(ts, {0x03, 0xE1, 0x01}); nAt < ts.size();
         nAt = Find(ts, {0x03, 0xE1, 0x01}, nAt + 1)) {
        selfMap.at(nAt + 1) = 0xF0;
        selfMap.at(nAt + 2) = 0x00;
    }
    Invalid("transport-stream-map-names-itself", selfMap);
    const CBytes ps = Streamed("ffmpeg-stereo-48k.mpg");
    CBytes psLong = ps;
    // The last audio packet claims 64 KiB, far past the end.
    std::size_t nLastAudio = 0;
    for (std::size_t nAt = Find(ps, {0, 0, 1, 0xC0}); nAt < ps.size();
         nAt = Find(ps, {0, 0, 1, 0xC0}, nAt + 1)) {
        nLastAudio = nAt;
    }
    psLong.at(nLastAudio + 4) = psLong.at(nLastAudio + 5) = 0xFF;
    Decodes("program-stream-length-past-the-end", psLong, 42, 42 * 1152, 2);
    CBytes psCut = ps;
    psCut.resize(nLastAudio + 100);
    Decodes("program-stream-cut-in-a-packet", psCut, 28, 28 * 1152, 2);
    const CBytes wav = Streamed("ffmpeg-stereo-48k.wav");
    CBytes riffUnknown = wav;
    PutLittleEndian(riffUnknown, 4, 0xFFFFFFFF);
    Decodes("wave-riff-size-ffffffff", riffUnknown, 42, 42 * 1152, 2);
    CBytes dataPastEnd = wav;
    PutLittleEndian(dataPastEnd, Find(wav, {'d', 'a', 't', 'a'}) + 4, 0x7FFFFFF0);
    Decodes("wave-data-past-the-end", dataPastEnd, 42, 42 * 1152, 2);
    return files;
}

// Writes the seed corpora of the fuzz targets: streams of every kind from the
// test stream builder, the damaged and odd files the decoder must live with,
// the first frames of the bundled sample, and programs for the wave output.
//   make_corpus OUTDIR SAMPLE
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "tests/support/stream_builder.h"

namespace {

using CBytes = std::vector<uint8_t>;

void WriteFile(const std::filesystem::path& path, const CBytes& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
}

CFrameShape FrameOf(int nLayer, int nBitrate, int nRate, int nMode, int nExtension = 0,
                    bool bProtected = false) {
    CFrameShape shape;
    shape.nLayer = nLayer;
    shape.nBitrateIndex = nBitrate;
    shape.nFrequencyIndex = nRate;
    shape.nMode = nMode;
    shape.nModeExtension = nExtension;
    shape.bProtected = bProtected;
    // Every legal allocation somewhere, so the requantisers all run.
    for (int ch = 0; ch < 2; ++ch) {
        for (int sb = 0; sb < 32; ++sb) {
            shape.nAllocation[ch][sb] = (sb * 3 + ch) % (nLayer == 1 ? 15 : 4);
            shape.nScfsi[ch][sb] = sb & 3;
            for (int i = 0; i < 3; ++i) {
                shape.nScalefactor[ch][sb][i] = (sb * 7 + i * 5 + ch) % 63;
            }
            shape.dwSampleCode[ch][sb] = static_cast<uint32_t>(sb * 11 + ch);
        }
    }
    return shape;
}

struct CStream {
    std::string strName;
    CBytes bytes;
};

std::vector<CStream> Streams(const CBytes& sample) {
    std::vector<CStream> streams;
    auto Add = [&](const std::string& strName, CBytes bytes) {
        streams.push_back({strName, std::move(bytes)});
    };
    Add("l1-stereo-44k", BuildStream(FrameOf(1, 4, 0, 0), 3));
    Add("l1-joint-48k-crc", BuildStream(FrameOf(1, 8, 1, 1, 1, true), 3));
    Add("l1-mono-32k", BuildStream(FrameOf(1, 2, 2, 3), 3));
    Add("l1-dual-44k", BuildStream(FrameOf(1, 1, 0, 2), 3));
    Add("l2-stereo-44k", BuildStream(FrameOf(2, 8, 0, 0), 3));
    Add("l2-joint-48k", BuildStream(FrameOf(2, 4, 1, 1, 3), 3));
    Add("l2-mono-32k-crc", BuildStream(FrameOf(2, 1, 2, 3, 0, true), 3));
    Add("l2-mono-48k", BuildStream(FrameOf(2, 10, 1, 3), 2));
    Add("l2-dual-32k", BuildStream(FrameOf(2, 6, 2, 2), 2));
    Add("l2-joint-44k-crc", BuildStream(FrameOf(2, 9, 0, 1, 0, true), 2));

    CFrameShape wrongCrc = FrameOf(2, 4, 0, 0, 0, true);
    wrongCrc.bWrongCrc = true;
    Add("l2-wrong-crc", BuildStream(wrongCrc, 3));

    CBytes mixed = BuildFrame(FrameOf(1, 4, 0, 0));
    Append(mixed, BuildFrame(FrameOf(2, 4, 0, 0)));
    Append(mixed, BuildFrame(FrameOf(1, 4, 0, 3)));
    Append(mixed, BuildFrame(FrameOf(2, 4, 0, 3)));
    Add("layers-mixed", mixed);

    CBytes switching = BuildFrame(FrameOf(1, 3, 0, 0));
    Append(switching, BuildFrame(FrameOf(1, 3, 1, 3)));
    Append(switching, BuildFrame(FrameOf(1, 3, 2, 1, 2)));
    Append(switching, BuildFrame(FrameOf(1, 3, 0, 3)));
    Add("rate-mode-switch", switching);

    CBytes junk = BuildFrame(FrameOf(1, 1, 0, 0));
    Append(junk, {0x12, 0xFF, 0x00, 0xFF, 0xF1, 0x33, 0x44, 0x55, 0x66});
    Append(junk, BuildStream(FrameOf(1, 1, 0, 0), 2));
    Add("junk-and-false-sync", junk);

    CFrameShape layer3 = FrameOf(2, 8, 0, 0);
    layer3.nLayer = 3;
    CBytes l3 = BuildFrame(layer3);
    l3.resize(300, 0);
    Add("layer3-first", l3);

    CFrameShape free = FrameOf(2, 8, 0, 0);
    free.nBitrateIndex = 0;
    CBytes freeBytes = BuildStream(FrameOf(1, 1, 0, 0), 1);
    Append(freeBytes, BuildFrame(free));
    freeBytes.resize(400, 0);
    Add("free-format-later", freeBytes);

    // The header kinds beyond the standard's table: the low sampling rates,
    // a free-format stream, unlisted bitrate and mode pairs, padding at
    // 48 kHz.
    CFrameShape lowLayer1 = FrameOf(1, 6, 1, 0);
    lowLayer1.nIdBit = 0;
    Add("l1-low-rate-24k", BuildStream(lowLayer1, 3));
    CFrameShape lowLayer2 = FrameOf(2, 8, 0, 1, 2, true);
    lowLayer2.nIdBit = 0;
    Add("l2-low-rate-22k-crc", BuildStream(lowLayer2, 3));
    CBytes freeStream = BuildStream(FrameOf(2, 8, 0, 0), 3);
    for (std::size_t nAt = 0; nAt < freeStream.size(); nAt += freeStream.size() / 3) {
        freeStream[nAt + 2] &= 0x0F;
    }
    Add("free-format-stream", freeStream);
    CBytes unlisted = BuildStream(FrameOf(2, 2, 0, 0), 2);
    Append(unlisted, BuildStream(FrameOf(2, 14, 0, 3), 2));
    CFrameShape padded = FrameOf(2, 8, 1, 0);
    padded.nPadding = 1;
    Append(unlisted, BuildStream(padded, 2));
    Add("unlisted-pairs-padded-48k", unlisted);

    // Junk dense with false syncs around frames, and tags at the end.
    CBytes dense;
    for (int i = 0; i < 600; ++i) {
        dense.push_back(i % 3 == 0 ? 0xFF : static_cast<uint8_t>(0xE0 + (i * 7) % 32));
    }
    CBytes denseStream = dense;
    Append(denseStream, BuildStream(FrameOf(1, 4, 0, 0), 2));
    Append(denseStream, dense);
    Add("dense-false-syncs", denseStream);
    CBytes endTags = BuildStream(FrameOf(2, 8, 0, 0), 2);
    const std::string strLyrics = "LYRICSBEGININD0000210LYR00005hello000034LYRICS200";
    endTags.insert(endTags.end(), strLyrics.begin(), strLyrics.end());
    const std::string strApe = "APETAGEX";
    endTags.insert(endTags.end(), strApe.begin(), strApe.end());
    Append(endTags, {0xD0, 0x07, 0, 0, 32, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    endTags.resize(endTags.size() + 8, 0);
    Add("end-tags", endTags);

    CBytes tagged = {'I', 'D', '3', 3, 0, 0, 0, 0, 0, 20};
    tagged.resize(30, 0);
    Append(tagged, BuildStream(FrameOf(1, 2, 0, 0), 2));
    CBytes v1 = {'T', 'A', 'G'};
    v1.resize(128, 'x');
    Append(tagged, v1);
    Add("id3-tags", tagged);

    CBytes longTag = {'I', 'D', '3', 4, 0, 0x10, 0x7F, 0x7F, 0x7F, 0x7F};
    Append(longTag, BuildFrame(FrameOf(1, 1, 0, 0)));
    Add("id3-past-end", longTag);

    CBytes system = {0x00, 0x00, 0x01, 0xBA};
    Append(system, BuildStream(FrameOf(1, 1, 0, 0), 2));
    Add("system-start", system);

    CBytes cut = BuildStream(FrameOf(2, 8, 0, 1, 1), 2);
    cut.resize(cut.size() - 100);
    Add("cut-frame", cut);

    CBytes jpeg = {0xFF, 0xD8, 0xFF, 0xE0, 0x00, 0x10, 'J', 'F', 'I', 'F'};
    for (int i = 0; i < 40; ++i) {
        Append(jpeg, {0xFF, static_cast<uint8_t>(0xC0 + i % 0x3F), 0x00, 0x04, 0xFF, 0xFF});
    }
    Add("jpeg-markers", jpeg);

    Add("all-ff", CBytes(64, 0xFF));
    Add("tiny", {0xFF, 0xFB, 0x90});

    CFrameShape edge = FrameOf(1, 14, 1, 1, 3, true);
    edge.SetAll(15, 63, 0x7FFF);
    Add("l1-allocation-15", BuildStream(edge, 2));
    CFrameShape grouped = FrameOf(2, 14, 2, 0);
    grouped.SetAll(3, 63, 0x7FF);
    Add("l2-grouped-out-of-range", BuildStream(grouped, 2));

    // The sample's first frames (Layer II, 44.1 kHz), whole and a few bytes more.
    if (sample.size() > 2000) {
        Add("sample-start", CBytes(sample.begin(), sample.begin() + 2000));
    }
    return streams;
}

// Wave output programs: an opening, then operations (see fuzz_wave_output.cpp).
std::vector<CStream> WavePrograms() {
    auto Frames = [](uint8_t bOp, int nCount) {
        CBytes bytes;
        for (int i = 0; i < nCount; ++i) {
            Append(bytes, {bOp, static_cast<uint8_t>(i), 0x10});
        }
        return bytes;
    };
    std::vector<CStream> programs;
    CBytes plain = {0x03, 0x00};
    Append(plain, Frames(0x02, 25));
    programs.push_back({"l2-stereo-25", plain});
    CBytes layer1 = {0x01, 0x00};
    Append(layer1, Frames(0x00, 45));
    programs.push_back({"l1-stereo-45", layer1});
    CBytes mono = {0x06, 0x00};
    Append(mono, Frames(0x02, 12));
    programs.push_back({"l2-mono-48k-12", mono});
    CBytes mixed = {0x01, 0x00};
    Append(mixed, Frames(0x02, 8));
    Append(mixed, Frames(0x04, 8));
    Append(mixed, Frames(0x00, 8));
    Append(mixed, Frames(0x0A, 8));
    programs.push_back({"layers-and-channels", mixed});
    CBytes smooth = {0x13, 0x00};
    Append(smooth, Frames(0x02, 15));
    Append(smooth, {0x60});
    Append(smooth, Frames(0x02, 6));
    programs.push_back({"smooth-switch", smooth});
    CBytes busy = {0x03, 0x00, 0x4E, 0x00};
    Append(busy, Frames(0x02, 22));
    Append(busy, {0x40, 0x08});
    Append(busy, Frames(0x02, 12));
    programs.push_back({"busy-and-held", busy});
    CBytes stop = {0x03, 0x00};
    Append(stop, Frames(0x02, 31));
    Append(stop, {0x9E});
    Append(stop, Frames(0x02, 11));
    programs.push_back({"stop", stop});
    CBytes faults = {0x0F, 0xFF};
    Append(faults, Frames(0x02, 12));
    Append(faults, {0x20, 0x01, 0x0C});
    Append(faults, Frames(0x00, 12));
    Append(faults, {0x20, 0x0A, 0x00});
    Append(faults, Frames(0x06, 12));
    programs.push_back({"faults-and-reopen", faults});
    return programs;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: make_corpus OUTDIR SAMPLE\n");
        return 2;
    }
    const std::filesystem::path out = argv[1];
    std::ifstream sampleFile(argv[2], std::ios::binary);
    const CBytes sample((std::istreambuf_iterator<char>(sampleFile)),
                        std::istreambuf_iterator<char>());
    for (const char* pszTarget : {"frame_search", "decoder", "wave_output"}) {
        std::filesystem::remove_all(out / pszTarget);
        std::filesystem::create_directories(out / pszTarget);
    }
    int nSeed = 0;
    for (const CStream& stream : Streams(sample)) {
        WriteFile(out / "frame_search" / stream.strName, stream.bytes);
        // No move, or moves to the middle and back to the start.
        CBytes decoderInput = {0x00};
        if (++nSeed % 3 == 0) {
            decoderInput = {0x02, 1, 50, 1, 0};
        }
        Append(decoderInput, stream.bytes);
        WriteFile(out / "decoder" / stream.strName, decoderInput);
    }
    for (const CStream& program : WavePrograms()) {
        WriteFile(out / "wave_output" / program.strName, program.bytes);
    }
    return 0;
}

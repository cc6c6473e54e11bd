// The decoding modes of the real program: the decoder's samples byte for
// byte, exact sample counts, the information text, and every kind of bad
// input.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <thread>
#include <utility>

#include "decoder/audio_decoder.h"
#include "tests/support/child_process.h"
#include "tests/support/hostile_files.h"
#include "tests/support/pcm_samples.h"
#include "tests/support/recording_sink.h"
#include "tests/support/stream_builder.h"
#include "tests/support/temp_dir.h"

using namespace corvina;

namespace {

const std::string kCorvina = CORVINA_BINARY;
const char kInvalid[] = ": Invalid Audio Stream\n";

CChildResult Corvina(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {kCorvina};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunChild(argv, 120000);
}

uint32_t Le32(const std::vector<uint8_t>& bytes, std::size_t nAt) {
    return bytes[nAt] | (bytes[nAt + 1] << 8) | (bytes[nAt + 2] << 16) |
           (static_cast<uint32_t>(bytes[nAt + 3]) << 24);
}

class DecodeCliTest : public ::testing::Test {
  protected:
    CTempDir m_dir;
};

// --raw writes what the library's frame decoder gives, byte for byte: the
// compliance test holds that against the reference, this the player's own
// decoder and the program's way to a file.
TEST_F(DecodeCliTest, RawHoldsTheDecodedSamplesOfEveryComplianceStream) {
    const std::filesystem::path dir = CORVINA_VECTORS_DIR;
    if (!std::filesystem::exists(dir)) {
        GTEST_SKIP() << "no compliance streams at " << dir;
    }
    int nStreams = 0;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        if (entry.path().extension() != ".bit") {
            continue;
        }
        SCOPED_TRACE(entry.path().filename().string());
        const std::string strOut = m_dir.File("out.raw");
        const CChildResult result = Corvina({"--raw", strOut, entry.path().string()});
        ASSERT_EQ(result.nExitStatus, 0) << result.strErr;
        const std::vector<int16_t> decoded = FrameDecodedPcm(ReadFileBytes(entry.path().string()));
        ASSERT_FALSE(decoded.empty());
        EXPECT_TRUE(RawSamples(ReadFileBytes(strOut)) == decoded);
        ++nStreams;
    }
    EXPECT_EQ(nStreams, 15);
}

TEST_F(DecodeCliTest, InfoPrintsTheFourLinesOfTheFirstFrame) {
    CFrameShape shape;
    shape.nMode = 1;
    shape.nBitrateIndex = 8;
    const std::string strSong = m_dir.Write("song.mp2", BuildStream(shape, 4));
    const CChildResult result = Corvina({"--info", strSong});
    EXPECT_EQ(result.nExitStatus, 0);
    EXPECT_EQ(result.strOut,
              "song.mp2 is a layer II joint stereo\n"
              " MPEG audio stream without CRC checksums. \n"
              "Its sample frequency is 44.1 kHz at a bitrate of 128 kbit/s.\n"
              "It is an original and is not copyright protected.\n");
    EXPECT_EQ(result.strErr, "");
}

TEST_F(DecodeCliTest, WavAndRawHoldExactlyTheDecodedSamples) {
    CFrameShape shape;
    shape.nLayer = 1;
    shape.nBitrateIndex = 12;
    shape.nFrequencyIndex = 1;
    shape.SetAll(3, 10, 5, 8);
    const std::string strIn = m_dir.Write("in.mp1", BuildStream(shape, 7));
    const std::string strWav = m_dir.File("out.wav");
    const std::string strRaw = m_dir.File("out.raw");
    ASSERT_EQ(Corvina({"--wav", strWav, strIn}).nExitStatus, 0);
    ASSERT_EQ(Corvina({"--raw", strRaw, strIn}).nExitStatus, 0);
    const CChildResult piped = Corvina({"--raw", "-", strIn});
    ASSERT_EQ(piped.nExitStatus, 0);

    const std::vector<uint8_t> raw = ReadFileBytes(strRaw);
    EXPECT_EQ(raw.size(), 7u * 384 * 2 * 2);
    EXPECT_EQ(std::vector<uint8_t>(piped.strOut.begin(), piped.strOut.end()), raw);
    const std::vector<uint8_t> wav = ReadFileBytes(strWav);
    ASSERT_EQ(wav.size(), 44 + raw.size());
    EXPECT_EQ(std::string(wav.begin(), wav.begin() + 4), "RIFF");
    EXPECT_EQ(wav[22], 2);                 // channels
    EXPECT_EQ(Le32(wav, 24), 48000u);      // rate
    EXPECT_EQ(Le32(wav, 40), raw.size());  // data bytes
    EXPECT_EQ(std::vector<uint8_t>(wav.begin() + 44, wav.end()), raw);

    CFrameShape mono = shape;
    mono.nMode = 3;
    const std::string strMono = m_dir.Write("mono.mp1", BuildStream(mono, 5));
    ASSERT_EQ(Corvina({"--raw", strRaw, strMono}).nExitStatus, 0);
    EXPECT_EQ(ReadFileBytes(strRaw).size(), 5u * 384 * 2);
}

TEST_F(DecodeCliTest, TheCommandLineModesNeverLoadTheWindowLibraries) {
    // Qt's libraries alone would take some 15 MiB and tens of milliseconds at
    // every start; the window is a program of its own.
    CFrameShape shape;
    const std::string strSong = m_dir.Write("song.mp2", BuildStream(shape, 2));
    setenv("LD_DEBUG", "libs", 1);
    const CChildResult result = Corvina({"--info", strSong});
    unsetenv("LD_DEBUG");
    EXPECT_EQ(result.nExitStatus, 0);
    ASSERT_NE(result.strErr.find("libc.so"), std::string::npos) << "the loader said nothing";
    EXPECT_EQ(result.strErr.find("libQt"), std::string::npos);
}

TEST_F(DecodeCliTest, AStreamCutInAFrameDecodesItsWholeFrames) {
    CFrameShape shape;
    shape.SetAll(2, 12, 1, 10);
    std::vector<uint8_t> bytes = BuildStream(shape, 5);
    bytes.resize(bytes.size() - 200);
    const std::string strOut = m_dir.File("cut.raw");
    const CChildResult result = Corvina({"--raw", strOut, m_dir.Write("cut.mp2", bytes)});
    EXPECT_EQ(result.nExitStatus, 0);
    EXPECT_EQ(ReadFileBytes(strOut).size(), 4u * 1152 * 4);
}

// The files of the hostile catalogue that hold nothing to decode, through the
// modes that --raw (in hostile_file_test.cpp) does not cover.
TEST_F(DecodeCliTest, BadInputsAreToldAndLeaveNoOutput) {
    for (const CHostileFile& file : MakeHostileFiles(m_dir)) {
        if (file.eOutcome == EHostileOutcome::Decodes) {
            continue;
        }
        SCOPED_TRACE(file.strName);
        for (const char* pszMode : {"--wav", "--info"}) {
            const std::string strOut = m_dir.File("out");
            std::vector<std::string> args = {pszMode};
            if (std::string(pszMode) != "--info") {
                args.push_back(strOut);
            }
            args.push_back(file.strPath);
            const CChildResult result = Corvina(args);
            EXPECT_FALSE(result.bTimedOut);
            EXPECT_EQ(result.nExitStatus, 1) << pszMode << " " << result.strErr;
            if (file.eOutcome == EHostileOutcome::Unopenable) {
                EXPECT_NE(
                    result.strErr.find("couldn't open file \"" + file.strPath + "\" for reading!"),
                    std::string::npos)
                    << result.strErr;
            }
            for (const std::string& strWarning : file.warnings) {
                EXPECT_NE(result.strErr.find(strWarning), std::string::npos) << result.strErr;
            }
            EXPECT_NE(result.strErr.find(kInvalid), std::string::npos) << result.strErr;
            EXPECT_FALSE(std::filesystem::exists(strOut)) << pszMode;
        }
    }
}

TEST_F(DecodeCliTest, OutputsThatCannotBeWrittenAreRefused) {
    CFrameShape shape;
    const std::string strIn = m_dir.Write("in.mp2", BuildStream(shape, 3));
    CChildResult result = Corvina({"--wav", m_dir.File("no/such/dir/out.wav"), strIn});
    EXPECT_EQ(result.nExitStatus, 1);
    EXPECT_NE(result.strErr.find("cannot write"), std::string::npos) << result.strErr;

    result = Corvina({"--raw", strIn, strIn});
    EXPECT_EQ(result.nExitStatus, 1);
    EXPECT_EQ(ReadFileBytes(strIn), BuildStream(shape, 3));

    EXPECT_EQ(Corvina({"--raw", m_dir.File("x")}).nExitStatus, 2);
    EXPECT_EQ(Corvina({"--bogus"}).nExitStatus, 2);

    // A full disk is told with its reason.
    result =
        Corvina({"--raw", "/dev/full", std::string(CORVINA_SAMPLES_DIR) + "/corvina-sample.mp2"});
    EXPECT_EQ(result.nExitStatus, 1);
    EXPECT_NE(result.strErr.find("/dev/full: writing failed (No space left on device)"),
              std::string::npos)
        << result.strErr;
}

// Sources that cannot seek, and starts given on the command line: standard
// input and a named pipe give the file's samples, --start the rest of them.
TEST_F(DecodeCliTest, StandardInputPipesAndStartsGiveTheFilesSamples) {
    const std::string strSample = std::string(CORVINA_SAMPLES_DIR) + "/corvina-sample.mp2";
    const std::string strWhole = Corvina({"--raw", "-", strSample}).strOut;
    ASSERT_GT(strWhole.size(), 1000000u);

    const CChildResult piped =
        RunChild({"/bin/sh", "-c", "cat '" + strSample + "' | '" + kCorvina + "' --raw - -"});
    EXPECT_EQ(piped.nExitStatus, 0) << piped.strErr;
    EXPECT_TRUE(piped.strOut == strWhole);

    const std::string strFifo = m_dir.File("fifo.mp2");
    ASSERT_EQ(mkfifo(strFifo.c_str(), 0600), 0);
    std::thread writer([&] {
        const std::vector<uint8_t> bytes = ReadFileBytes(strSample);
        const int fd = open(strFifo.c_str(), O_WRONLY | O_CLOEXEC);
        ASSERT_GE(fd, 0);
        for (std::size_t nDone = 0; nDone < bytes.size();) {
            const ssize_t nWritten = write(fd, bytes.data() + nDone, bytes.size() - nDone);
            if (nWritten <= 0) {
                break;
            }
            nDone += static_cast<std::size_t>(nWritten);
        }
        close(fd);
    });
    const CChildResult fromFifo = Corvina({"--raw", "-", strFifo});
    writer.join();
    EXPECT_EQ(fromFifo.nExitStatus, 0) << fromFifo.strErr;
    EXPECT_TRUE(fromFifo.strOut == strWhole);

    // A start by reading on and a start by seek both give the whole decode's
    // samples from round(T x 44100) on, the first frame cut to the sample.
    const std::pair<const char*, double> starts[] = {
        {"10", 10.0}, {"0:10.0", 10.0}, {"1.044898", 1.044898}, {"1.5", 1.5}};
    for (const auto& [pszStart, dSeconds] : starts) {
        const auto nSkipped = static_cast<std::size_t>(std::llround(dSeconds * 44100)) * 4;
        const CChildResult readOn = RunChild(
            {"/bin/sh", "-c",
             "cat '" + strSample + "' | '" + kCorvina + "' --raw - --start " + pszStart + " -"});
        ASSERT_EQ(readOn.nExitStatus, 0) << readOn.strErr;
        EXPECT_TRUE(readOn.strOut == strWhole.substr(nSkipped)) << pszStart;
        const std::string strSeek = Corvina({"--start", pszStart, "--raw", "-", strSample}).strOut;
        EXPECT_TRUE(strSeek == strWhole.substr(nSkipped)) << pszStart;
    }
    EXPECT_EQ(Corvina({"--start", "1:75", "--raw", "-", strSample}).nExitStatus, 2);
    EXPECT_EQ(Corvina({"--start", "40%", "--info", strSample}).nExitStatus, 2);
}

}  // namespace

// Thirty minutes of unpadded frames (626 bytes at 192 kbit/s, 44.1 kHz, as
// twolame writes them), longer than the walk made before playback: the
// total is 30:00.0 at once and exact once walked, and a start in minutes
// lands within a frame of its sample, where the nominal bitrate would be
// 0.15 % short.
TEST_F(DecodeCliTest, UnpaddedConstantBitrateTimeComesFromTheFrames) {
    CFrameShape shape;
    shape.nBitrateIndex = 10;
    shape.SetAll(3, 20, 1, 8);
    const std::vector<uint8_t> frame = BuildFrame(shape);
    ASSERT_EQ(frame.size(), 626u);
    constexpr int kFrames = 68907;  // 1800.01 s
    std::vector<uint8_t> bytes;
    bytes.reserve(frame.size() * kFrames);
    for (int i = 0; i < kFrames; ++i) {
        Append(bytes, frame);
    }
    const std::string strFile = m_dir.Write("long.mp2", bytes);
    constexpr double kLength = kFrames * 1152 / 44100.0;
    {
        CRecording recording;
        CAudioDecoder decoder(strFile.c_str(), {{}, {}, RecordingSinkFactory(recording)});
        ASSERT_EQ(decoder.Initialize(), 1);
        EXPECT_NEAR(decoder.PlayingTime(), kLength, 1152 / 44100.0);
        ASSERT_TRUE(decoder.AwaitWalk());
        EXPECT_FLOAT_EQ(decoder.PlayingTime(), static_cast<float>(kLength));
    }
    const std::string strOut = m_dir.File("end.raw");
    const CChildResult result = Corvina({"--start", "25:00", "--raw", strOut, strFile});
    ASSERT_EQ(result.nExitStatus, 0) << result.strErr;
    const auto nLeft = static_cast<long>(std::filesystem::file_size(strOut) / 4);
    EXPECT_NEAR(kFrames * 1152L - nLeft, 66150000L, 1152);
    // Past the end is a usage error that leaves no output.
    const std::string strPast = m_dir.File("past.raw");
    EXPECT_EQ(Corvina({"--start", "30:01", "--raw", strPast, strFile}).nExitStatus, 2);
    EXPECT_FALSE(std::filesystem::exists(strPast));
}

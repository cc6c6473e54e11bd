// corvina --play without a terminal: plays through the real document and
// worker to the end of the stream, into the null and WAV file devices, loops
// until stopped, stops cleanly on a signal, and tells what it cannot play.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstring>
#include <fstream>
#include <iterator>
#include <regex>
#include <set>
#include <string>

#include "tests/support/child_process.h"
#include "tests/support/pcm_samples.h"
#include "tests/support/stream_builder.h"
#include "tests/support/temp_dir.h"

using namespace corvina;

namespace {

const std::string kCorvina = CORVINA_BINARY;

std::string SamplePath() {
    return std::string(CORVINA_SAMPLES_DIR) + "/corvina-sample.mp2";
}

class PlayCliTest : public testing::Test {
  protected:
    // The sample's first bytes as a stream of their own.
    std::string Cut(std::size_t nBytes) {
        std::vector<uint8_t> bytes = ReadFileBytes(SamplePath());
        bytes.resize(nBytes);
        return m_dir.Write("cut" + std::to_string(nBytes) + ".mp2", bytes);
    }
    static std::vector<std::string> Play(const std::string& strFile,
                                         const std::vector<std::string>& more) {
        std::vector<std::string> args = {kCorvina, "--play", strFile};
        args.insert(args.end(), more.begin(), more.end());
        return args;
    }

    CTempDir m_dir;
};

}  // namespace

// Standard input is /dev/null here: nothing may wait for a key, and the end
// of the stream ends the program.
TEST_F(PlayCliTest, ShortStreamOnTheNullDevicePlaysToItsEndAndExitsZero) {
    const CChildResult result = RunChild(Play(Cut(12000), {"--output", "null"}), 30000);
    EXPECT_FALSE(result.bTimedOut);
    EXPECT_EQ(result.nExitStatus, 0);
    EXPECT_EQ(result.strErr, "");
    EXPECT_EQ(result.strOut, "");  // no status line without a terminal
}

TEST_F(PlayCliTest, WavOutputHoldsExactlyTheDecodedPcmPaddedToWholeBuffers) {
    const std::string strOut = m_dir.File("out.wav");
    const CChildResult result = RunChild(Play(SamplePath(), {"--output", "wav:" + strOut}), 60000);
    ASSERT_EQ(result.nExitStatus, 0) << result.strErr;
    const CWavContents wav = ReadWav(strOut);
    ASSERT_TRUE(wav.bValid);
    EXPECT_EQ(wav.nChannels, 2);
    EXPECT_EQ(wav.nSampleRate, 44100u);
    const std::vector<int16_t> expected = PaddedToBuffers(DecodedPcm(SamplePath()), 2);
    EXPECT_EQ(wav.samples.size(), expected.size());
    EXPECT_EQ(FirstDifference(wav.samples, expected), -1);
}

// Four seconds at 44.1 kHz, then four at 48 kHz: each part plays at its own
// rate, and no file holds both under one header.
TEST_F(PlayCliTest, ARateChangeGoesOnAtTheNewRateAndInASecondFile) {
    CFrameShape shape;
    shape.SetAll(2, 20, 3, 8);
    const std::vector<uint8_t> first = BuildStream(shape, 153);
    shape.nFrequencyIndex = 1;
    const std::vector<uint8_t> second = BuildStream(shape, 167);
    std::vector<uint8_t> both = first;
    Append(both, second);
    const std::string strFirst = m_dir.Write("first.mp2", first);
    const std::string strSecond = m_dir.Write("second.mp2", second);
    const std::string strBoth = m_dir.Write("both.mp2", both);

    const auto tStart = std::chrono::steady_clock::now();
    const CChildResult played = RunChild(Play(strBoth, {"--output", "null"}), 30000);
    const double dSeconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - tStart).count();
    EXPECT_EQ(played.nExitStatus, 0) << played.strErr;
    EXPECT_GE(dSeconds, 8.0);
    EXPECT_LE(dSeconds, 8.3);
    EXPECT_NE(played.strErr.find("it goes on at the new rate"), std::string::npos) << played.strErr;

    const std::string strDevice = m_dir.File("device.wav");
    ASSERT_EQ(RunChild(Play(strBoth, {"--output", "wav:" + strDevice}), 30000).nExitStatus, 0);
    const std::string strDecoded = m_dir.File("decoded.wav");
    const CChildResult decoded = RunChild({kCorvina, "--wav", strDecoded, strBoth});
    ASSERT_EQ(decoded.nExitStatus, 0);
    EXPECT_NE(decoded.strErr.find("decoded-2.wav"), std::string::npos) << decoded.strErr;
    for (const auto& [strPath, bPadded] : {std::pair{strDevice, true}, {strDecoded, false}}) {
        const CWavContents firstPart = ReadWav(strPath);
        const CWavContents secondPart =
            ReadWav(m_dir.File(bPadded ? "device-2.wav" : "decoded-2.wav"));
        ASSERT_TRUE(firstPart.bValid && secondPart.bValid) << strPath;
        EXPECT_EQ(firstPart.nSampleRate, 44100u);
        EXPECT_EQ(secondPart.nSampleRate, 48000u);
        EXPECT_EQ(firstPart.samples, DecodedPcm(strFirst)) << strPath;
        const std::vector<int16_t> expected = DecodedPcm(strSecond);
        EXPECT_EQ(secondPart.samples, bPadded ? PaddedToBuffers(expected, 2) : expected) << strPath;
    }
}

// Half the rate, every other sample of each channel, buffers of half the size.
TEST_F(PlayCliTest, SmoothPlaybackKeepsEveryOtherSampleAtHalfTheRate) {
    const std::string strStream = Cut(40000);
    const std::string strOut = m_dir.File("smooth.wav");
    const CChildResult result =
        RunChild(Play(strStream, {"--smooth", "--output", "wav:" + strOut}), 60000);
    ASSERT_EQ(result.nExitStatus, 0) << result.strErr;
    const std::vector<int16_t> pcm = DecodedPcm(strStream);
    std::vector<int16_t> expected;
    for (std::size_t i = 0; i + 1 < pcm.size(); i += 4) {
        expected.push_back(pcm[i]);
        expected.push_back(pcm[i + 1]);
    }
    const std::size_t nBuffer = BufferSamples(2) / 2;
    expected.resize((expected.size() + nBuffer - 1) / nBuffer * nBuffer, 0);
    const CWavContents wav = ReadWav(strOut);
    EXPECT_EQ(wav.nSampleRate, 22050u);
    EXPECT_EQ(FirstDifference(wav.samples, expected), -1);
}

// A stream of about a second, looped: still running after several of them,
// until Ctrl+C stops it with the status of a program ended by SIGINT.
TEST_F(PlayCliTest, LoopPlayGoesOnUntilInterruptedAndThenStopsCleanly) {
    const CChildResult result =
        RunChildAndSignal(Play(Cut(25000), {"--loop", "--output", "null"}), SIGINT, 4000, 30000);
    EXPECT_FALSE(result.bTimedOut);
    EXPECT_EQ(result.nSignal, 0);
    EXPECT_EQ(result.nExitStatus, 128 + SIGINT);
    EXPECT_EQ(result.strErr, "");
}

TEST_F(PlayCliTest, InterruptOrTerminateInTheMiddleEndsPromptly) {
    for (int nSignal : {SIGINT, SIGTERM}) {
        SCOPED_TRACE(nSignal);
        // The sample lasts 20 s; the bound is far below that.
        const CChildResult result =
            RunChildAndSignal(Play(SamplePath(), {"--output", "null"}), nSignal, 1500, 15000);
        EXPECT_FALSE(result.bTimedOut);
        EXPECT_EQ(result.nExitStatus, 128 + nSignal);
        EXPECT_EQ(result.strErr, "");
    }
}

// Ctrl+C while the worker still searches hundreds of megabytes of junk for
// a first frame (which takes seconds) ends the program at once, without a
// verdict on the file.
TEST_F(PlayCliTest, InterruptDuringTheSearchForAFirstFrameEndsAtOnce) {
    const std::string strJunk = m_dir.Write("junk.mp2", std::vector<uint8_t>(256 << 20, 0xFF));
    const CChildResult result =
        RunChildAndSignal(Play(strJunk, {"--output", "null"}), SIGINT, 200, 1500);
    EXPECT_FALSE(result.bTimedOut);
    EXPECT_EQ(result.nExitStatus, 128 + SIGINT);
    EXPECT_EQ(result.strErr, "");
}

TEST_F(PlayCliTest, FilesThatCannotBePlayedAreToldAndExitOne) {
    const CChildResult missing =
        RunChild(Play(m_dir.File("missing.mp2"), {"--output", "null"}), 30000);
    EXPECT_EQ(missing.nExitStatus, 1);
    EXPECT_NE(missing.strErr.find("corvina: " + m_dir.File("missing.mp2") + ": Cannot open"),
              std::string::npos)
        << missing.strErr;

    const CChildResult text =
        RunChild(Play(m_dir.Write("notes.mp2", {'h', 'e', 'l', 'l', 'o', '\n'}),
                      {"--loop", "--output", "null"}),
                 30000);
    EXPECT_FALSE(text.bTimedOut);
    EXPECT_EQ(text.nExitStatus, 1);
    EXPECT_EQ(text.strErr, "corvina: " + m_dir.File("notes.mp2") + ": Invalid Audio Stream\n");

    // A start past the end of the 20 s sample is a usage error.
    const CChildResult late = RunChild(Play(SamplePath(), {"--start", "1:00", "--output", "null"}));
    EXPECT_EQ(late.nExitStatus, 2) << late.strErr;
    EXPECT_NE(late.strErr.find("past the end"), std::string::npos) << late.strErr;
}

// Two files in a row into one WAV file: both whole, in order; a file that
// cannot be opened among them is told, skipped, and makes the status 1.
TEST_F(PlayCliTest, AListPlaysEveryFileInOrder) {
    const std::string strFirst = Cut(12000);
    const std::string strSecond = Cut(25000);
    const std::string strOut = m_dir.File("list.wav");
    const CChildResult result =
        RunChild({kCorvina, "--play", strFirst, strSecond, "--output=wav:" + strOut}, 60000);
    ASSERT_EQ(result.nExitStatus, 0) << result.strErr;
    std::vector<int16_t> expected = PaddedToBuffers(DecodedPcm(strFirst), 2);
    const std::vector<int16_t> second = PaddedToBuffers(DecodedPcm(strSecond), 2);
    expected.insert(expected.end(), second.begin(), second.end());
    EXPECT_EQ(FirstDifference(ReadWav(strOut).samples, expected), -1);

    const CChildResult missing = RunChild(
        {kCorvina, "--play", m_dir.File("missing.mp2"), strFirst, "--output", "null"}, 30000);
    EXPECT_EQ(missing.nExitStatus, 1);
    EXPECT_NE(missing.strErr.find("Cannot open"), std::string::npos) << missing.strErr;

    const CChildResult both =
        RunChild({kCorvina, "--play", strFirst, strFirst, "--output", "null"}, 30000);
    EXPECT_EQ(both.nExitStatus, 0) << both.strErr;
}

// --start moves the first file as decoding moves it.
TEST_F(PlayCliTest, StartBeginsTheFirstFileWhereDecodingBeginsIt) {
    const std::string strOut = m_dir.File("start.wav");
    const CChildResult played =
        RunChild(Play(SamplePath(), {"--start", "15", "--output", "wav:" + strOut}), 60000);
    ASSERT_EQ(played.nExitStatus, 0) << played.strErr;
    const CChildResult raw = RunChild({kCorvina, "--raw", "-", "--start", "15", SamplePath()});
    ASSERT_EQ(raw.nExitStatus, 0);
    std::vector<int16_t> samples(raw.strOut.size() / 2);
    std::memcpy(samples.data(), raw.strOut.data(), samples.size() * 2);
    // The first frame is cut to the start, so the buffers end elsewhere: the
    // same samples, then silence up to the end of the last buffer.
    const std::vector<int16_t> heard = ReadWav(strOut).samples;
    ASSERT_GE(heard.size(), samples.size());
    EXPECT_EQ(FirstDifference({heard.begin(), heard.begin() + static_cast<long>(samples.size())},
                              samples),
              -1);
    EXPECT_LE(heard.size(), PaddedToBuffers(samples, 2).size() + 2 * 1152);
    EXPECT_TRUE(std::all_of(heard.begin() + static_cast<long>(samples.size()), heard.end(),
                            [](int16_t n) { return n == 0; }));
}

// A device that cannot be opened ends the program with status 1 and the
// device's own reason, rather than decoding on unheard.
TEST_F(PlayCliTest, ADeviceThatCannotBeOpenedExitsOneWithTheReason) {
    const CChildResult result =
        RunChild(Play(SamplePath(), {"--output", "wav:/nonexistent/x.wav"}), 30000);
    EXPECT_EQ(result.nExitStatus, 1);
    EXPECT_NE(result.strErr.find("No such file or directory"), std::string::npos) << result.strErr;
    EXPECT_NE(result.strErr.find("wav:/nonexistent/x.wav"), std::string::npos) << result.strErr;
}

TEST_F(PlayCliTest, TheWindowWithoutADisplaySaysSoAndPointsToPlay) {
    const CChildResult result = RunChild({"/usr/bin/env", "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY",
                                          "-u", "QT_QPA_PLATFORM", kCorvina, SamplePath()},
                                         30000);
    EXPECT_EQ(result.nExitStatus, 1);
    EXPECT_NE(result.strErr.find("--play"), std::string::npos) << result.strErr;
    EXPECT_EQ(std::count(result.strErr.begin(), result.strErr.end(), '\n'), 1);
}

TEST_F(PlayCliTest, UnknownDeviceIsAUsageError) {
    const CChildResult result = RunChild(Play(Cut(12000), {"--output", "speaker"}), 30000);
    EXPECT_EQ(result.nExitStatus, 2);
}

// The manual page and --help name the same options and output devices.
TEST(ManPage, NamesEveryOptionAndDeviceThatHelpNames) {
    const CChildResult help = RunChild({CORVINA_BINARY, "--help"});
    ASSERT_EQ(help.nExitStatus, 0);
    std::ifstream file(std::string(CORVINA_SOURCE_DIR) + "/resources/corvina.1.in");
    std::string strPage((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
    strPage = std::regex_replace(strPage, std::regex(R"(\\-|\\f[BIR])"), "-");
    strPage = std::regex_replace(strPage, std::regex(R"(\\-)"), "-");
    const auto Names = [](const std::string& strText) {
        std::set<std::string> names;
        const std::regex name(R"(--[a-z]+|\b(pulse|alsa|null|wav)\b)");
        for (auto it = std::sregex_iterator(strText.begin(), strText.end(), name);
             it != std::sregex_iterator(); ++it) {
            names.insert(it->str());
        }
        return names;
    };
    const std::set<std::string> inHelp = Names(help.strOut);
    EXPECT_GE(inHelp.size(), 14u);
    EXPECT_EQ(Names(strPage), inHelp);
}

// The wave-device backends for real: ALSA through its own file and null
// plugins (no sound card needed), the null device's pacing and pause, and
// the WAV file device's appending across opens.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/wave_device.h"
#include "tests/support/pcm_samples.h"
#include "tests/support/temp_dir.h"

namespace {

using CClock = std::chrono::steady_clock;
using std::chrono::milliseconds;

CWaveFormat Format(uint16_t nChannels, uint32_t nRate) {
    CWaveFormat format;
    format.nChannels = nChannels;
    format.nSamplesPerSec = nRate;
    return format;
}

// A data block with its header; the bytes tell buffer and place apart.
struct CTestBuffer {
    CTestBuffer(std::size_t nBytes, int nSeed) : data(nBytes) {
        std::size_t i = 0;
        for (uint8_t& bByte : data) {
            bByte = static_cast<uint8_t>(i * 7 + static_cast<std::size_t>(nSeed) * 31 + i / 251);
            ++i;
        }
        header.pData = data.data();
        header.dwBufferLength = static_cast<uint32_t>(nBytes);
    }
    std::vector<uint8_t> data;
    CWaveHeader header;
};

void Submit(CWaveDevice& device, CTestBuffer& buffer) {
    ASSERT_EQ(device.Prepare(buffer.header), MMSYSERR_NOERROR);
    ASSERT_EQ(device.Write(buffer.header), MMSYSERR_NOERROR);
}

// Polls Unprepare until it answers something other than still playing;
// that answer, or WAVERR_STILLPLAYING when the time ran out.
int WaitFinished(CWaveDevice& device, CWaveHeader& header, milliseconds timeout) {
    const auto tEnd = CClock::now() + timeout;
    int nResult = device.Unprepare(header);
    while (nResult == WAVERR_STILLPLAYING && CClock::now() < tEnd) {
        std::this_thread::sleep_for(milliseconds(5));
        nResult = device.Unprepare(header);
    }
    return nResult;
}

bool IsFailure(int nResult) {
    return nResult != MMSYSERR_NOERROR && nResult != MMSYSERR_HANDLEBUSY &&
           nResult != WAVERR_STILLPLAYING;
}

std::string FilePcm(const std::string& strPath) {
    return "alsa:file:'" + strPath + "',raw";
}

// A named pipe that ALSA's file plugin writes into: the sound counts as
// played only as fast as the test reads it, as with a slow sound card.
class CSlowListener {
  public:
    explicit CSlowListener(const std::string& strPath) {
        EXPECT_EQ(mkfifo(strPath.c_str(), 0600), 0);
        m_nFd = open(strPath.c_str(), O_RDONLY | O_NONBLOCK);
        EXPECT_GE(m_nFd, 0);
    }
    ~CSlowListener() {
        Stop();
        close(m_nFd);
    }
    CSlowListener(const CSlowListener&) = delete;
    CSlowListener& operator=(const CSlowListener&) = delete;

    void Listen() {
        m_reader = std::thread([this] {
            uint8_t buffer[65536];
            while (!m_bStop) {
                const ssize_t nRead = read(m_nFd, buffer, sizeof buffer);
                if (nRead > 0) {
                    m_heard.insert(m_heard.end(), buffer, buffer + nRead);
                } else {
                    std::this_thread::sleep_for(milliseconds(2));
                }
            }
        });
    }
    // What was heard, once nothing more arrives.
    const std::vector<uint8_t>& Heard() {
        std::this_thread::sleep_for(milliseconds(100));
        Stop();
        return m_heard;
    }

  private:
    void Stop() {
        m_bStop = true;
        if (m_reader.joinable()) {
            m_reader.join();
        }
    }

    int m_nFd = -1;
    std::atomic<bool> m_bStop{false};
    std::thread m_reader;
    std::vector<uint8_t> m_heard;
};

TEST(AlsaWaveDevice, FilePluginReceivesEveryBufferWholeAndInOrder) {
    CTempDir dir;
    for (const CWaveFormat& format : {Format(2, 44100), Format(1, 22050)}) {
        const std::string strPath = dir.File("out" + std::to_string(format.nChannels) + ".raw");
        auto pDevice = CreateWaveDevice(FilePcm(strPath));
        ASSERT_NE(pDevice, nullptr);
        ASSERT_EQ(pDevice->QueryFormat(format), MMSYSERR_NOERROR);
        ASSERT_EQ(pDevice->Open(format), MMSYSERR_NOERROR);
        // Sizes off the period; the odd byte of the last is not a whole frame.
        std::vector<std::unique_ptr<CTestBuffer>> buffers;
        std::vector<uint8_t> expected;
        for (const std::size_t nBytes : {46080u, 4u, 15360u, 30001u}) {
            buffers.push_back(std::make_unique<CTestBuffer>(nBytes, static_cast<int>(nBytes)));
            Submit(*pDevice, *buffers.back());
            const std::size_t nWhole = nBytes / (2u * format.nChannels) * (2u * format.nChannels);
            expected.insert(expected.end(), buffers.back()->data.begin(),
                            buffers.back()->data.begin() + static_cast<long>(nWhole));
        }
        for (auto& pBuffer : buffers) {
            ASSERT_EQ(WaitFinished(*pDevice, pBuffer->header, milliseconds(5000)),
                      MMSYSERR_NOERROR);
        }
        ASSERT_EQ(pDevice->Reset(), MMSYSERR_NOERROR);
        ASSERT_EQ(pDevice->Close(), MMSYSERR_NOERROR);
        // A finished buffer has been played in full: closing cut nothing off.
        EXPECT_EQ(ReadFileBytes(strPath), expected) << format.nChannels;
    }
}

TEST(AlsaWaveDevice, BufferIsStillPlayingUntilItsSoundHasGoneOutAndTellsTheTimeLeft) {
    CTempDir dir;
    const std::string strPath = dir.File("pipe");
    CSlowListener listener(strPath);
    auto pDevice = CreateWaveDevice(FilePcm(strPath));
    ASSERT_EQ(pDevice->Open(Format(2, 48000)), MMSYSERR_NOERROR);
    // Far more than the pipe and ALSA's ring hold together: 100000 frames
    // each, 2083 ms of sound.
    CTestBuffer first(400000, 1);
    CTestBuffer second(400000, 2);
    CTestBuffer unknown(4000, 3);
    Submit(*pDevice, first);
    Submit(*pDevice, second);
    std::this_thread::sleep_for(milliseconds(100));
    EXPECT_EQ(pDevice->Unprepare(first.header), WAVERR_STILLPLAYING);
    EXPECT_EQ(pDevice->Unprepare(second.header), WAVERR_STILLPLAYING);
    EXPECT_EQ(pDevice->Close(), WAVERR_STILLPLAYING);  // refused while sound is queued
    // Nothing has been heard yet: at most the pipe and ALSA's ring hold
    // some of the first buffer, and the second lies wholly behind it.
    const int nFirst = pDevice->GetTimeLeftMs(first.header);
    const int nSecond = pDevice->GetTimeLeftMs(second.header);
    EXPECT_GT(nFirst, 1000);
    EXPECT_LE(nFirst, 2084);
    EXPECT_GE(nSecond - nFirst, 2083);
    EXPECT_LE(nSecond, 2 * 2084);
    EXPECT_EQ(pDevice->GetTimeLeftMs(unknown.header), 0);

    listener.Listen();
    EXPECT_EQ(WaitFinished(*pDevice, first.header, milliseconds(5000)), MMSYSERR_NOERROR);
    EXPECT_EQ(WaitFinished(*pDevice, second.header, milliseconds(5000)), MMSYSERR_NOERROR);
    EXPECT_EQ(pDevice->GetTimeLeftMs(second.header), 0);
    EXPECT_EQ(pDevice->Close(), MMSYSERR_NOERROR);
    std::vector<uint8_t> expected = first.data;
    expected.insert(expected.end(), second.data.begin(), second.data.end());
    EXPECT_EQ(listener.Heard(), expected);
}

TEST(AlsaWaveDevice, ResetDropsTheQueueAtOnceAndFreesTheBuffers) {
    CTempDir dir;
    const std::string strPath = dir.File("pipe");
    CSlowListener listener(strPath);
    auto pDevice = CreateWaveDevice(FilePcm(strPath));
    ASSERT_EQ(pDevice->Open(Format(2, 44100)), MMSYSERR_NOERROR);
    std::vector<std::unique_ptr<CTestBuffer>> buffers;
    std::vector<uint8_t> all;
    for (int i = 0; i < 4; ++i) {
        buffers.push_back(std::make_unique<CTestBuffer>(200000, i));
        Submit(*pDevice, *buffers.back());
        all.insert(all.end(), buffers.back()->data.begin(), buffers.back()->data.end());
    }
    std::this_thread::sleep_for(milliseconds(50));

    // ALSA itself is stuck on the listener, yet the reset answers at once.
    const auto tReset = CClock::now();
    ASSERT_EQ(pDevice->Reset(), MMSYSERR_NOERROR);
    for (auto& pBuffer : buffers) {
        EXPECT_EQ(pDevice->Unprepare(pBuffer->header), MMSYSERR_NOERROR);
    }
    EXPECT_LT(CClock::now() - tReset, milliseconds(200));
    buffers.clear();  // the owner may free its blocks right after a reset

    listener.Listen();
    EXPECT_EQ(pDevice->Close(), MMSYSERR_NOERROR);
    const auto& heard = listener.Heard();
    EXPECT_LT(heard.size(), all.size());
    EXPECT_TRUE(std::equal(heard.begin(), heard.end(), all.begin()));
}

TEST(AlsaWaveDevice, UnusablePcmFailsAtOnceAndStaysUnused) {
    for (const char* pszName : {"alsa:corvina_no_such_pcm", "alsa:hw:31,0"}) {
        auto pDevice = CreateWaveDevice(pszName);
        ASSERT_NE(pDevice, nullptr);
        const auto tStart = CClock::now();
        EXPECT_TRUE(IsFailure(pDevice->QueryFormat(Format(2, 44100)))) << pszName;
        EXPECT_TRUE(IsFailure(pDevice->Open(Format(2, 44100)))) << pszName;
        EXPECT_LT(CClock::now() - tStart, milliseconds(2000));
        CTestBuffer buffer(4096, 0);
        EXPECT_TRUE(IsFailure(pDevice->Prepare(buffer.header)));
        EXPECT_TRUE(IsFailure(pDevice->Write(buffer.header)));
        EXPECT_TRUE(IsFailure(pDevice->Unprepare(buffer.header)));
        EXPECT_TRUE(IsFailure(pDevice->Reset()));
        EXPECT_TRUE(IsFailure(pDevice->Close()));
        EXPECT_FALSE(pDevice->HasVolume());
    }
}

TEST(AlsaWaveDevice, NullPluginTakesPcm16OnlyHasNoVolumeAndReopens) {
    auto pDevice = CreateWaveDevice("alsa:null");
    EXPECT_EQ(pDevice->QueryFormat(Format(1, 32000)), MMSYSERR_NOERROR);
    EXPECT_TRUE(IsFailure(pDevice->QueryFormat(Format(3, 44100))));
    CWaveFormat eightBit = Format(2, 44100);
    eightBit.wBitsPerSample = 8;
    EXPECT_TRUE(IsFailure(pDevice->Open(eightBit)));
    EXPECT_FALSE(pDevice->HasVolume());
    uint32_t dwVolume = 0;
    EXPECT_TRUE(IsFailure(pDevice->GetVolume(dwVolume)));

    for (int nRun = 0; nRun < 2; ++nRun) {
        ASSERT_EQ(pDevice->Open(Format(2, 44100)), MMSYSERR_NOERROR);
        EXPECT_TRUE(IsFailure(pDevice->Open(Format(2, 44100))));  // already open
        CTestBuffer buffer(8820, nRun);
        Submit(*pDevice, buffer);
        EXPECT_EQ(WaitFinished(*pDevice, buffer.header, milliseconds(2000)), MMSYSERR_NOERROR);
        EXPECT_EQ(pDevice->Close(), MMSYSERR_NOERROR);
    }
}

TEST(NullWaveDevice, BuffersFinishOneAfterAnotherAfterTheirDuration) {
    auto pDevice = CreateWaveDevice("null");
    ASSERT_EQ(pDevice->Open(Format(2, 44100)), MMSYSERR_NOERROR);
    CTestBuffer first(44100 * 4 / 5, 1);  // 200 ms each
    CTestBuffer second(44100 * 4 / 5, 2);
    const auto tStart = CClock::now();
    Submit(*pDevice, first);
    Submit(*pDevice, second);
    std::this_thread::sleep_for(milliseconds(50));
    EXPECT_EQ(pDevice->Unprepare(first.header), WAVERR_STILLPLAYING);
    EXPECT_EQ(pDevice->Close(), WAVERR_STILLPLAYING);

    ASSERT_EQ(WaitFinished(*pDevice, first.header, milliseconds(3000)), MMSYSERR_NOERROR);
    EXPECT_GE(CClock::now() - tStart, milliseconds(150));
    // The second starts where the first ends.
    EXPECT_EQ(pDevice->Unprepare(second.header), WAVERR_STILLPLAYING);
    ASSERT_EQ(WaitFinished(*pDevice, second.header, milliseconds(3000)), MMSYSERR_NOERROR);
    EXPECT_GE(CClock::now() - tStart, milliseconds(350));

    // A reset finishes what is queued at once.
    CTestBuffer third(44100 * 4 / 5, 3);
    Submit(*pDevice, third);
    EXPECT_EQ(pDevice->Unprepare(third.header), WAVERR_STILLPLAYING);
    ASSERT_EQ(pDevice->Reset(), MMSYSERR_NOERROR);
    EXPECT_EQ(pDevice->Unprepare(third.header), MMSYSERR_NOERROR);
    EXPECT_EQ(pDevice->Close(), MMSYSERR_NOERROR);
    EXPECT_TRUE(IsFailure(pDevice->Write(third.header)));
}

// Paused from another thread while it plays: the clock stands still, and
// the buffer ends later by as long as the pause lasted.
TEST(NullWaveDevice, PauseStopsTheClockAndRestartGoesOnFromThere) {
    auto pDevice = CreateWaveDevice("null");
    ASSERT_FALSE(pDevice->HasVolume());
    ASSERT_EQ(pDevice->Open(Format(2, 44100)), MMSYSERR_NOERROR);
    CTestBuffer buffer(44100 * 4 / 5, 1);  // 200 ms
    const auto tStart = CClock::now();
    Submit(*pDevice, buffer);
    std::this_thread::sleep_for(milliseconds(50));
    std::thread([&] { EXPECT_EQ(pDevice->Pause(), MMSYSERR_NOERROR); }).join();
    const int nLeftMs = pDevice->GetTimeLeftMs(buffer.header);
    std::this_thread::sleep_for(milliseconds(300));
    EXPECT_EQ(pDevice->Unprepare(buffer.header), WAVERR_STILLPLAYING);
    EXPECT_EQ(pDevice->GetTimeLeftMs(buffer.header), nLeftMs);
    std::thread([&] { EXPECT_EQ(pDevice->Restart(), MMSYSERR_NOERROR); }).join();
    ASSERT_EQ(WaitFinished(*pDevice, buffer.header, milliseconds(3000)), MMSYSERR_NOERROR);
    EXPECT_GE(CClock::now() - tStart, milliseconds(500));
    EXPECT_EQ(pDevice->Close(), MMSYSERR_NOERROR);
}

// ALSA's file plugin is held mid-stream, several times: every frame reaches
// the file exactly once and in order, nothing lost, nothing repeated.
TEST(AlsaWaveDevice, PauseAndRestartLoseAndRepeatNothing) {
    CTempDir dir;
    const std::string strPath = dir.File("paused.raw");
    auto pDevice = CreateWaveDevice(FilePcm(strPath));
    ASSERT_EQ(pDevice->Open(Format(2, 44100)), MMSYSERR_NOERROR);
    std::vector<std::unique_ptr<CTestBuffer>> buffers;
    std::vector<uint8_t> expected;
    for (int i = 0; i < 4; ++i) {
        buffers.push_back(std::make_unique<CTestBuffer>(46080, i + 1));
        Submit(*pDevice, *buffers.back());
        expected.insert(expected.end(), buffers.back()->data.begin(), buffers.back()->data.end());
    }
    for (int i = 0; i < 3; ++i) {
        std::this_thread::sleep_for(milliseconds(40));
        ASSERT_EQ(pDevice->Pause(), MMSYSERR_NOERROR);
        std::this_thread::sleep_for(milliseconds(40));
        ASSERT_EQ(pDevice->Restart(), MMSYSERR_NOERROR);
    }
    for (auto& pBuffer : buffers) {
        ASSERT_EQ(WaitFinished(*pDevice, pBuffer->header, milliseconds(5000)), MMSYSERR_NOERROR);
    }
    ASSERT_EQ(pDevice->Close(), MMSYSERR_NOERROR);
    EXPECT_EQ(pDevice->GetFailureReason(), "");
    EXPECT_TRUE(ReadFileBytes(strPath) == expected);
}

uint32_t Le32(const std::vector<uint8_t>& bytes, std::size_t nAt) {
    return bytes[nAt] | bytes[nAt + 1] << 8 | bytes[nAt + 2] << 16 |
           static_cast<uint32_t>(bytes[nAt + 3]) << 24;
}

// What a WAV device writes: one run of buffers, then Close.
void PlayRun(const std::string& strName, const CWaveFormat& format,
             std::vector<std::unique_ptr<CTestBuffer>>& buffers) {
    auto pDevice = CreateWaveDevice(strName);
    ASSERT_EQ(pDevice->Open(format), MMSYSERR_NOERROR);
    for (auto& pBuffer : buffers) {
        Submit(*pDevice, *pBuffer);
        EXPECT_EQ(pDevice->Unprepare(pBuffer->header), MMSYSERR_NOERROR);  // no pacing
    }
    EXPECT_EQ(pDevice->Reset(), MMSYSERR_NOERROR);
    EXPECT_EQ(pDevice->Close(), MMSYSERR_NOERROR);
}

TEST(WavFileWaveDevice, LaterOpensOfThePathAppendSoNoRunIsLost) {
    CTempDir dir;
    const std::string strPath = dir.File("loop.wav");
    std::vector<uint8_t> expected;
    for (int nRun = 0; nRun < 3; ++nRun) {
        std::vector<std::unique_ptr<CTestBuffer>> buffers;
        for (int i = 0; i < 2; ++i) {
            buffers.push_back(std::make_unique<CTestBuffer>(4608 + 4 * i, nRun * 2 + i));
            expected.insert(expected.end(), buffers.back()->data.begin(),
                            buffers.back()->data.end());
        }
        // Another spelling of the same file is the same target.
        const std::string strName = nRun == 1 ? "wav:" + dir.File("./loop.wav") : "wav:" + strPath;
        PlayRun(strName, Format(2, 32000), buffers);
        // Complete after every run, with the sizes of everything so far.
        const auto bytes = ReadFileBytes(strPath);
        ASSERT_EQ(bytes.size(), 44 + expected.size());
        EXPECT_EQ(Le32(bytes, 40), expected.size());
        EXPECT_EQ(Le32(bytes, 24), 32000u);
        EXPECT_TRUE(std::equal(expected.begin(), expected.end(), bytes.begin() + 44)) << nRun;
    }
}

// One file holds one format: another goes on in one-2.wav, then one-3.wav,
// and a format met before goes back to its file.
TEST(WavFileWaveDevice, AnotherFormatGoesToAFileOfItsOwnAndASecondUserIsRefused) {
    CTempDir dir;
    const std::string strName = "wav:" + dir.File("one.wav");
    std::vector<std::unique_ptr<CTestBuffer>> buffers;
    buffers.push_back(std::make_unique<CTestBuffer>(4000, 9));
    PlayRun(strName, Format(1, 44100), buffers);
    PlayRun(strName, Format(2, 44100), buffers);
    PlayRun(strName, Format(1, 22050), buffers);
    EXPECT_EQ(ReadWav(dir.File("one-2.wav")).nChannels, 2);
    EXPECT_EQ(ReadWav(dir.File("one-3.wav")).nSampleRate, 22050u);

    auto pDevice = CreateWaveDevice(strName);
    CTestBuffer buffer(400, 1);
    EXPECT_TRUE(IsFailure(pDevice->Write(buffer.header)));

    ASSERT_EQ(pDevice->Open(Format(1, 44100)), MMSYSERR_NOERROR);
    EXPECT_TRUE(IsFailure(CreateWaveDevice(strName)->Open(Format(1, 44100))));
    pDevice.reset();  // closing by destruction completes the file as well
    EXPECT_EQ(ReadFileBytes(dir.File("one.wav")).size(), 44u + 4000u);

    EXPECT_TRUE(
        IsFailure(CreateWaveDevice("wav:/nonexistent-folder/x.wav")->Open(Format(2, 44100))));
}

}  // namespace

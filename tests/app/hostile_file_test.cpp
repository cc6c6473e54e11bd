// The hostile-file catalogue through the player's real paths: the program's
// --raw and --play on the null device, and the document's open and Play in
// this process. Each file must give its outcome, its warnings once, and no
// crash, hang or sanitizer report.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <string>
#include <thread>

#include "platform/wave_device.h"
#include "player/control_block.h"
#include "player/corvina_doc.h"
#include "player/playback_control.h"
#include "resources/resource_ids.h"
#include "tests/support/child_process.h"
#include "tests/support/hostile_files.h"
#include "tests/support/recording_presenter.h"
#include "tests/support/temp_dir.h"

using namespace corvina;

namespace {

const std::string kCorvina = CORVINA_BINARY;
const std::string kInvalid = "Invalid Audio Stream";
// Far beyond what any of these files takes; a hang fails instead of blocking.
constexpr int kWatchdogMs = 60000;

CChildResult Corvina(const std::vector<std::string>& args) {
    std::vector<std::string> argv = {kCorvina};
    argv.insert(argv.end(), args.begin(), args.end());
    return RunChild(argv, kWatchdogMs);
}

std::string WithoutLineBreak(std::string strText) {
    while (!strText.empty() && strText.back() == '\n') {
        strText.pop_back();
    }
    return strText;
}

int Occurrences(const std::string& strText, const std::string& strPart) {
    int nCount = 0;
    for (std::size_t nAt = strText.find(strPart); nAt != std::string::npos;
         nAt = strText.find(strPart, nAt + 1)) {
        ++nCount;
    }
    return nCount;
}

void ExpectWarningsOnceIn(const CHostileFile& file, const std::string& strErr) {
    for (const std::string& strWarning : file.warnings) {
        EXPECT_EQ(Occurrences(strErr, WithoutLineBreak(strWarning)), 1)
            << strWarning << " in " << strErr;
    }
}

class HostileFileTest : public ::testing::Test {
  protected:
    CTempDir m_dir;
    const std::vector<CHostileFile> m_files = MakeHostileFiles(m_dir);
};

TEST_F(HostileFileTest, RawGivesEachFileItsOutcome) {
    const std::string strOut = m_dir.File("out.raw");
    for (const CHostileFile& file : m_files) {
        SCOPED_TRACE(file.strName);
        std::filesystem::remove(strOut);
        const CChildResult result = Corvina({"--raw", strOut, file.strPath});
        ASSERT_FALSE(result.bTimedOut);
        ExpectWarningsOnceIn(file, result.strErr);
        switch (file.eOutcome) {
            case EHostileOutcome::Unopenable:
                EXPECT_EQ(result.nExitStatus, 1);
                EXPECT_NE(
                    result.strErr.find("couldn't open file \"" + file.strPath + "\" for reading!"),
                    std::string::npos)
                    << result.strErr;
                EXPECT_EQ(Occurrences(result.strErr, ": " + kInvalid + "\n"), 1);
                EXPECT_FALSE(std::filesystem::exists(strOut));
                break;
            case EHostileOutcome::Invalid:
                EXPECT_EQ(result.nExitStatus, 1) << result.strErr;
                EXPECT_EQ(Occurrences(result.strErr, ": " + kInvalid + "\n"), 1) << result.strErr;
                EXPECT_FALSE(std::filesystem::exists(strOut));
                break;
            case EHostileOutcome::Decodes:
                EXPECT_EQ(result.nExitStatus, 0) << result.strErr;
                EXPECT_EQ(Occurrences(result.strErr, kInvalid), 0);
                EXPECT_EQ(ReadFileBytes(strOut).size(), file.RawSamples() * 2);
                break;
        }
    }
}

// The same bytes through a pipe, which cannot seek: the same outcome.
TEST_F(HostileFileTest, StandardInputGivesEachFileItsOutcome) {
    for (const CHostileFile& file : m_files) {
        if (file.eOutcome == EHostileOutcome::Unopenable) {
            continue;
        }
        SCOPED_TRACE(file.strName);
        const CChildResult result =
            RunChild({"/bin/sh", "-c", "cat '" + file.strPath + "' | '" + kCorvina + "' --raw - -"},
                     kWatchdogMs);
        ASSERT_FALSE(result.bTimedOut);
        ExpectWarningsOnceIn(file, result.strErr);
        // Frames after a pack header are looked for in the packets of a
        // pipe, which cannot be read again as plain bytes; a pipe cannot tell
        // that a tag claims more than it holds.
        if (file.eOutcome == EHostileOutcome::Invalid ||
            file.strName == "system-start-then-frames" || file.strName == "id3v2-past-the-end") {
            EXPECT_EQ(result.nExitStatus, 1) << result.strErr;
            EXPECT_TRUE(result.strOut.empty());
        } else {
            EXPECT_EQ(result.nExitStatus, 0) << result.strErr;
            EXPECT_EQ(result.strOut.size(), file.RawSamples() * 2);
        }
    }
}

TEST_F(HostileFileTest, PlayOnTheNullDeviceGivesEachFileItsOutcome) {
    for (const CHostileFile& file : m_files) {
        SCOPED_TRACE(file.strName);
        const CChildResult result = Corvina({"--play", file.strPath, "--output", "null"});
        ASSERT_FALSE(result.bTimedOut);
        ExpectWarningsOnceIn(file, result.strErr);
        switch (file.eOutcome) {
            case EHostileOutcome::Unopenable:
                EXPECT_EQ(result.nExitStatus, 1);
                EXPECT_NE(result.strErr.find("Cannot open \"" + file.strPath + "\""),
                          std::string::npos)
                    << result.strErr;
                break;
            case EHostileOutcome::Invalid:
                EXPECT_EQ(result.nExitStatus, 1) << result.strErr;
                EXPECT_EQ(Occurrences(result.strErr, ": " + kInvalid + "\n"), 1) << result.strErr;
                break;
            case EHostileOutcome::Decodes:
                EXPECT_EQ(result.nExitStatus, 0) << result.strErr;
                EXPECT_EQ(Occurrences(result.strErr, kInvalid), 0) << result.strErr;
                break;
        }
    }
}

TEST_F(HostileFileTest, TheDocumentOpensAndPlaysEachFileToItsOutcome) {
    SetWaveDeviceName("null");
    for (const CHostileFile& file : m_files) {
        SCOPED_TRACE(file.strName);
        ResetControlBlock();
        CRecordingPresenter presenter;
        CCorvinaDoc document;
        const bool bOpened = document.OpenDocument(file.strPath);
        if (file.eOutcome == EHostileOutcome::Unopenable) {
            EXPECT_FALSE(bOpened);
            ASSERT_EQ(presenter.Messages().size(), 1u);
            EXPECT_EQ(presenter.Messages()[0].strText.rfind("Cannot open \"" + file.strPath, 0),
                      0u);
            EXPECT_FALSE(document.IsCommandEnabled(ID_PLAY_PLAYBACK));
            continue;
        }
        ASSERT_TRUE(bOpened);
        ASSERT_TRUE(document.ExecuteCommand(ID_PLAY_PLAYBACK));
        const auto tEnd = std::chrono::steady_clock::now() + std::chrono::milliseconds(kWatchdogMs);
        while (IsWorkerRunning() && std::chrono::steady_clock::now() < tEnd) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        ASSERT_FALSE(IsWorkerRunning()) << "the worker did not end";
        std::string strAll;
        for (const CRecordedMessage& message : presenter.Messages()) {
            EXPECT_EQ(message.nKind, MSG_WARNING);
            strAll += message.strText + "\n";
        }
        ExpectWarningsOnceIn(file, strAll);
        if (file.eOutcome == EHostileOutcome::Invalid) {
            EXPECT_EQ(g_nPlayState, PLAY_INVALID);
            EXPECT_EQ(presenter.Count(kInvalid), 1);
            EXPECT_FALSE(document.IsCommandEnabled(ID_PLAY_PLAYBACK));
        } else {
            EXPECT_EQ(g_nPlayState, PLAY_ENDED);
            EXPECT_EQ(presenter.Count(kInvalid), 0);
        }
        ShutdownPlayback();
    }
    SetWaveDeviceName("");
    ResetControlBlock();
}

// Gigabytes without a single sync word: the search for a frame reads them,
// which takes far longer than a stop or a quit may wait (64 GiB, so that it
// still runs when the start's wait of 2 s is over).
class JunkFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        ResetControlBlock();
        SetWaveDeviceName("null");
        m_strPath = m_dir.File("junk.mp2");
        if (!WriteSparseFile(m_strPath, int64_t{64} << 30)) {
            GTEST_SKIP() << "the file system cannot hold a sparse file of 64 GiB here";
        }
    }
    void TearDown() override {
        ShutdownPlayback();
        SetWaveDeviceName("");
        ResetControlBlock();
    }

    CRecordingPresenter m_presenter;
    CTempDir m_dir;
    std::string m_strPath;
};

// The worker is still looking for the first frame when the stop comes: it
// ends at once, and the file is not called invalid for it.
TEST_F(JunkFileTest, StopWhileTheWorkerSearchesEndsItWithoutAVerdict) {
    CCorvinaDoc document;
    ASSERT_TRUE(document.OpenDocument(m_strPath));
    ASSERT_TRUE(document.ExecuteCommand(ID_PLAY_PLAYBACK));  // gives up waiting after 2 s
    ASSERT_TRUE(IsWorkerRunning());
    ASSERT_TRUE(document.ExecuteCommand(ID_PLAY_STOP));
    const auto tEnd = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (IsWorkerRunning() && std::chrono::steady_clock::now() < tEnd) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_FALSE(IsWorkerRunning());
    EXPECT_EQ(g_nPlayState, PLAY_ENDED);
    EXPECT_EQ(m_presenter.Count("Invalid Audio Stream"), 0);
    EXPECT_TRUE(document.IsCommandEnabled(ID_PLAY_PLAYBACK));
}

}  // namespace

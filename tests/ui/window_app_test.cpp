// The application's start-up, its about box, and the window as a person
// sees it.
#include "app/corvina_app.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QTest>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "app/about_dlg.h"
#include "platform/message_presenter.h"
#include "player/control_block.h"
#include "player/corvina_doc.h"
#include "player/playback_control.h"
#include "resources/command_table.h"
#include "resources/version.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/ui_test_support.h"
#include "ui/corvina_view.h"
#include "ui/instance_channel.h"
#include "ui/main_frame.h"
#include "ui/play_progress.h"
#include "ui/position_slider.h"
#include "ui/user_paths.h"

using namespace corvina;

namespace {

constexpr const char* kSample = CORVINA_SAMPLES_DIR "/corvina-sample.mp2";

CCommandLine WindowCommandLine(const std::string& strFile = {}) {
    CCommandLine commandLine;
    commandLine.mode = ERunMode::Window;
    commandLine.strFile = strFile;
    return commandLine;
}

class WindowAppTest : public testing::Test {
  protected:
    void SetUp() override { ResetControlBlock(); }
};

}  // namespace

TEST_F(WindowAppTest, StartWithoutAFileShowsTheEmptyDocument) {
    CCorvinaApp app;
    ASSERT_TRUE(app.InitInstance(WindowCommandLine()));
    CMainFrame* pFrame = app.GetMainFrame();
    EXPECT_TRUE(pFrame->isVisible());
    EXPECT_EQ(pFrame->windowTitle(), QStringLiteral("Kyx MPEG Audio Player - Untitled"));
    EXPECT_EQ(g_nPlayState.load(), PLAY_IDLE);
    for (int nID : {ID_PLAY_PLAYBACK, ID_PLAY_LOOP, ID_PLAY_PAUSE, ID_PLAY_FAST_FORWARD,
                    ID_PLAY_REWIND, ID_FILE_CLOSE, ID_PLAY_STOP, ID_VIEW_BITSTREAM_INFO}) {
        EXPECT_FALSE(pFrame->GetAction(nID)->isEnabled()) << nID;
    }
    EXPECT_TRUE(pFrame->GetAction(ID_AUDIO_SMOOTH)->isEnabled());
    EXPECT_TRUE(pFrame->GetAction(ID_APP_ABOUT)->isEnabled());
    // The package installs the desktop entry, the icons and the file types; a
    // start writes none of them into the user's folders.
    const std::filesystem::path data = std::getenv("XDG_DATA_HOME");
    for (const char* pszFolder : {"applications", "icons", "mime"}) {
        EXPECT_FALSE(std::filesystem::exists(data / pszFolder)) << pszFolder;
    }
    // The window listens for later starts.
    ASSERT_NE(app.GetInstanceServer(), nullptr);
    EXPECT_TRUE(app.GetInstanceServer()->IsListening());
}

TEST_F(WindowAppTest, StartWithAFileOpensItReadyToPlayButSilent) {
    CCorvinaApp app;
    ASSERT_TRUE(app.InitInstance(WindowCommandLine(kSample)));
    CMainFrame* pFrame = app.GetMainFrame();
    EXPECT_EQ(pFrame->windowTitle(), QStringLiteral("Kyx MPEG Audio Player - corvina-sample.mp2"));
    EXPECT_EQ(app.GetDocument()->GetPathName(),
              std::filesystem::path(kSample).lexically_normal().string());
    EXPECT_EQ(g_nPlayState.load(), PLAY_IDLE);
    EXPECT_EQ(g_pDecoder.load(), nullptr);
    EXPECT_TRUE(pFrame->GetAction(ID_PLAY_PLAYBACK)->isEnabled());
    EXPECT_FALSE(pFrame->GetAction(ID_PLAY_STOP)->isEnabled());
}

TEST_F(WindowAppTest, AFileThatCannotBeOpenedIsToldAndEndsTheStart) {
    CTempDir dir;
    CModalCloser closer;
    CCorvinaApp app;
    EXPECT_FALSE(app.InitInstance(WindowCommandLine(dir.File("missing.mp2"))));
    ASSERT_EQ(closer.GetClosed().size(), 1u);
    EXPECT_EQ(closer.GetClosed()[0].strCaption, QStringLiteral("Warning"));
    EXPECT_TRUE(closer.GetClosed()[0].strText.contains(QStringLiteral("missing.mp2")));
    EXPECT_FALSE(app.GetMainFrame()->isVisible());
}

TEST_F(WindowAppTest, TheCommandLinesReplayGainWinsOverTheKeptOneForThisRun) {
    const std::string strIni = GetDefaultIniPath();
    ASSERT_TRUE(ReplaceFile(strIni, "[Settings]\nReplayGain=album\nDualChannel=mix\n"));
    CCommandLine commandLine = WindowCommandLine();
    commandLine.eReplayGain = EReplayGain::Track;
    commandLine.bReplayGainGiven = true;
    {
        CCorvinaApp app;
        ASSERT_TRUE(app.InitInstance(commandLine));
        EXPECT_EQ(GetReplayGainMode(), EReplayGain::Track);
        EXPECT_EQ(g_nDualChannel.load(), static_cast<int>(EDualChannel::Mix));
        EXPECT_TRUE(app.GetMainFrame()->GetAction(ID_AUDIO_REPLAYGAIN_TRACK)->isChecked());
    }
    ResetControlBlock();
    {
        CCorvinaApp app;
        ASSERT_TRUE(app.InitInstance(WindowCommandLine()));
        EXPECT_EQ(GetReplayGainMode(), EReplayGain::Album);
    }
    SetReplayGainMode(EReplayGain::Off);
    std::filesystem::remove(strIni);
}

TEST_F(WindowAppTest, AboutBoxShowsTheIconTheVersionAndOk) {
    CAboutDlg dialog;
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("About corvina"));
    EXPECT_EQ(dialog.GetTextLabel()->text(),
              QStringLiteral("corvina Version " CORVINA_PROGRAM_VERSION));
    EXPECT_EQ(dialog.GetTextLabel()->textFormat(), Qt::PlainText);
    EXPECT_FALSE(dialog.GetIconLabel()->pixmap().isNull());
    EXPECT_EQ(dialog.GetOkButton()->text(), QStringLiteral("OK"));
    EXPECT_TRUE(dialog.GetOkButton()->isDefault());
    EXPECT_TRUE(dialog.isModal());
    // The controls stand where the box's layout puts them.
    EXPECT_LT(dialog.GetIconLabel()->geometry().right(), dialog.GetTextLabel()->x());
    EXPECT_GT(dialog.GetOkButton()->x(), dialog.GetTextLabel()->geometry().right());
    EXPECT_LE(dialog.GetOkButton()->geometry().right(), dialog.width());

    CCorvinaApp app;
    ASSERT_TRUE(app.InitInstance(WindowCommandLine()));
    CModalCloser closer;
    ASSERT_TRUE(app.GetMainFrame()->RunCommand(ID_APP_ABOUT));
    ASSERT_EQ(closer.GetClosed().size(), 1u);
    EXPECT_EQ(closer.GetClosed()[0].strCaption, QStringLiteral("About corvina"));
}

TEST_F(WindowAppTest, ClosingTheWindowEndsPlaybackAndTheBoxesPromptly) {
    CCorvinaApp app;
    ASSERT_TRUE(app.InitInstance(WindowCommandLine(kSample)));
    std::atomic<bool> bWorkerDone{false};
    QElapsedTimer timer;
    CModalCloser closer([&](QWidget*) {
        timer.start();
        app.GetMainFrame()->close();
    });
    std::thread worker([&] {
        GetMessagePresenter().Present(MSG_WARNING, "Wave device open failed!");
        bWorkerDone = true;
    });
    EXPECT_TRUE(WaitUntil([&] { return bWorkerDone.load(); }));
    worker.join();
    EXPECT_EQ(closer.GetClosed().size(), 1u);
    EXPECT_FALSE(app.GetMainFrame()->isVisible());
    EXPECT_LT(timer.elapsed(), 2000);
}

TEST_F(WindowAppTest, ScreenshotOfTheWindowWithAFileOpen) {
    CCorvinaApp app;
    ASSERT_TRUE(app.InitInstance(WindowCommandLine(kSample)));
    CMainFrame* pFrame = app.GetMainFrame();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(pFrame));
    QDir().mkpath(QStringLiteral(CORVINA_SCREENSHOT_DIR));
    const QString strPath = QStringLiteral(CORVINA_SCREENSHOT_DIR "/main-window.png");
    ASSERT_TRUE(pFrame->grab().save(strPath));
    std::printf("screenshot: %s\n", qPrintable(strPath));

    auto Save = [&](const char* pszName) {
        const QString strShot = QStringLiteral(CORVINA_SCREENSHOT_DIR "/") + pszName;
        ASSERT_TRUE(pFrame->grab().save(strShot));
        std::printf("screenshot: %s\n", qPrintable(strShot));
    };
    CCorvinaView* pView = pFrame->GetView();
    EXPECT_EQ(pView->GetNameLabel()->text(), QStringLiteral("corvina-sample.mp2"));

    // The same window while the sample plays on the null device, once the
    // worker has moved the slider on: the name, the times and the scale.
    ASSERT_TRUE(pFrame->RunCommand(ID_PLAY_PLAYBACK));
    ASSERT_TRUE(WaitUntil([] { return g_nPosition.load() >= 20; }, 30000));
    EXPECT_EQ(g_nPlayState.load(), PLAY_STARTED);
    ASSERT_TRUE(WaitUntil([&] { return pView->GetClockLabel()->text().endsWith(" / 0:20"); }));
    EXPECT_TRUE(pView->GetTimeLabel(5)->isVisible());
    Save("main-window-playing.png");

    // Paused and stopped, the times stay; the stop takes the thumb home.
    ASSERT_TRUE(pFrame->RunCommand(ID_PLAY_PAUSE));
    ASSERT_TRUE(WaitUntil([&] { return pFrame->GetProgress().GetState() == PLAY_PAUSED; }));
    const QString strPaused = pView->GetClockLabel()->text();
    EXPECT_NE(strPaused, QStringLiteral("0:00 / 0:20"));
    Save("main-window-paused.png");
    ASSERT_TRUE(pFrame->RunCommand(ID_PLAY_STOP));
    ASSERT_TRUE(WaitUntil([&] { return pFrame->GetProgress().GetState() == PLAY_ENDED; }));
    EXPECT_EQ(pView->GetClockLabel()->text(), QStringLiteral("0:00 / 0:20"));
    EXPECT_EQ(pView->GetSlider()->value(), 0);
    EXPECT_TRUE(pView->GetTimeLabel(5)->isVisible());
    Save("main-window-stopped.png");
}

TEST(WindowMode, HeadlessModesNeedNoDisplay) {
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* pszName : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"}) {
        environment.remove(QString::fromUtf8(pszName));
    }
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(CORVINA_EXECUTABLE), {QStringLiteral("--help")});
    ASSERT_TRUE(program.waitForFinished(10000));
    EXPECT_EQ(program.exitCode(), 0);
    EXPECT_TRUE(program.readAllStandardOutput().startsWith("Usage: corvina"));
}

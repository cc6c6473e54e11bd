// The main window: menus, toolbar, keys, status bar and the framework's
// services, all routed through the document's update rules.
#include "ui/main_frame.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QFileDialog>
#include <QFileSystemModel>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QStatusBar>
#include <QTest>
#include <QTextBrowser>
#include <QToolBar>
#include <QToolButton>
#include <QWhatsThis>
#include <cstdlib>
#include <fstream>
#include <thread>

#include "decoder/audio_decoder.h"
#include "player/control_block.h"
#include "player/engine_events.h"
#include "player/playback_control.h"
#include "player/player_hooks.h"
#include "resources/command_table.h"
#include "tests/support/recording_presenter.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/ui_test_support.h"
#include "ui/corvina_view.h"
#include "ui/help_window.h"
#include "ui/open_dialog.h"
#include "ui/position_slider.h"

using namespace corvina;

namespace {

QString Text(const char* pszText) {
    return QString::fromUtf8(pszText);
}
QString Text(std::string_view text) {
    return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

class MainFrameTest : public testing::Test {
  protected:
    void SetUp() override { ResetControlBlock(); }

    std::string File(const std::string& strName) { return m_dir.Write(strName, {0xFF, 0xFD}); }
    void Open(CMainFrame& frame, const std::string& strName) {
        ASSERT_TRUE(frame.OpenDocumentFile(File(strName)));
    }
    std::string IniPath() const { return m_dir.File("corvina.ini"); }

    CRecordingPresenter m_presenter;
    CTempDir m_dir;
    CRecordingDoc m_document;
};

std::vector<QMenu*> Menus(CMainFrame& frame) {
    std::vector<QMenu*> menus;
    for (QAction* pAction : frame.menuBar()->actions()) {
        menus.push_back(pAction->menu());
    }
    return menus;
}

// The commands' rules, from the table that says which command may run when.
struct CExpected {
    bool bEnabled;
    int nChecked;  // 0 or 1; -1 where the mark is left as it was
};
CExpected Expected(int nID, int s, bool bFile, int bLoop, int bSmooth) {
    const bool bPlayable = s == 0 || s == 3 || s == 4 || s == 5;
    const bool bPlaying = s == 1 || s == 2;
    switch (nID) {
        case ID_PLAY_PLAYBACK:
        case ID_PLAY_LOOP: {
            const int bLoopMark = nID == ID_PLAY_LOOP ? 1 : 0;
            return {bFile && bPlayable, bPlaying ? (bLoop == bLoopMark) : (bPlayable ? 0 : -1)};
        }
        case ID_PLAY_FAST_FORWARD:
        case ID_PLAY_REWIND:
            return {bFile, -1};
        case ID_PLAY_PAUSE:
            return {bFile && bPlaying, -1};
        case ID_PLAY_STOP:
            return {bPlaying || s == 4, -1};
        case ID_AUDIO_SMOOTH:
            return {s == 0 || s == 3 || s == 5 || s == 7, bSmooth};
        case ID_VIEW_BITSTREAM_INFO:
            return {false, -1};  // no decoder in these tests
        case ID_FILE_CLOSE:
            return {bFile, -1};
        default:
            return {true, -1};
    }
}

}  // namespace

TEST_F(MainFrameTest, MenuBarHoldsEveryItemOfTheTableWithItsTextAndSeparators) {
    CMainFrame frame(m_document, IniPath());
    const std::vector<QMenu*> menus = Menus(frame);
    ASSERT_EQ(menus.size(), GetMenus().size());
    for (std::size_t m = 0; m < menus.size(); ++m) {
        const CMenuInfo& menu = GetMenus()[m];
        EXPECT_EQ(menus[m]->title(), Text(menu.pszTitle));
        std::vector<QAction*> shown;
        for (QAction* pAction : menus[m]->actions()) {
            // The channel and track choices hide while no stream of two
            // programmes or tracks is there.
            const int nData = pAction->data().toInt();
            if (pAction->isVisible() ||
                (nData >= ID_AUDIO_CHANNEL_BOTH && nData <= ID_AUDIO_CHANNEL_MIX) ||
                (nData >= ID_AUDIO_TRACK_1 && nData <= ID_AUDIO_TRACK_8)) {
                shown.push_back(pAction);
            }
        }
        ASSERT_EQ(shown.size(), menu.items.size()) << menu.pszTitle;
        for (std::size_t i = 0; i < shown.size(); ++i) {
            const int nID = menu.items[i];
            QAction* pAction = shown[i];
            if (nID == 0) {
                EXPECT_TRUE(pAction->isSeparator()) << menu.pszTitle << " " << i;
                continue;
            }
            // The text as the table has it, "\t" and the keys shown included;
            // no item carries a shortcut of its own.
            EXPECT_EQ(pAction->text(), Text(FindCommand(nID)->pszMenuText)) << nID;
            EXPECT_TRUE(pAction->shortcut().isEmpty()) << nID;
            EXPECT_EQ(pAction->statusTip(), Text(StatusPrompt(*FindCommand(nID)))) << nID;
        }
    }
    // With no recent files the placeholder stands greyed in their place.
    EXPECT_EQ(frame.GetRecentFilePlaceholder()->text(), QStringLiteral("Recent File"));
    EXPECT_FALSE(frame.GetRecentFilePlaceholder()->isEnabled());
    EXPECT_EQ(frame.GetAction(ID_PLAY_LOOP)->text(), QStringLiteral("&Loop Play\tCtrl+L"));
}

TEST_F(MainFrameTest, ItemsAndButtonsFollowTheUpdateRulesInEveryState) {
    CMainFrame frame(m_document, IniPath());
    const int aCommands[] = {
        ID_PLAY_PLAYBACK, ID_PLAY_LOOP,    ID_PLAY_FAST_FORWARD,   ID_PLAY_REWIND, ID_PLAY_PAUSE,
        ID_PLAY_STOP,     ID_AUDIO_SMOOTH, ID_VIEW_BITSTREAM_INFO, ID_FILE_CLOSE,  ID_FILE_OPEN};
    for (bool bFile : {false, true}) {
        if (bFile) {
            Open(frame, "song.mp2");
        }
        for (int nState : {PLAY_IDLE, PLAY_STARTED, PLAY_RESUMED, PLAY_STOPPING, PLAY_PAUSED,
                           PLAY_ENDED, PLAY_INVALID}) {
            for (int bLoop : {0, 1}) {
                for (int bSmooth : {0, 1}) {
                    g_nPlayState = nState;
                    g_bLoopPlay = bLoop;
                    g_bSmoothPlay = bSmooth;
                    std::map<int, bool> before;
                    for (int nID : aCommands) {
                        before[nID] = frame.GetAction(nID)->isChecked();
                    }
                    frame.UpdateCommandStates();
                    for (int nID : aCommands) {
                        const CExpected expected = Expected(nID, nState, bFile, bLoop, bSmooth);
                        QAction* pAction = frame.GetAction(nID);
                        const std::string strWhere =
                            FindCommand(nID)->pszName + std::string(" state ") +
                            std::to_string(nState) + " file " + std::to_string(bFile) + " loop " +
                            std::to_string(bLoop);
                        EXPECT_EQ(pAction->isEnabled(), expected.bEnabled) << strWhere;
                        const bool bChecked =
                            expected.nChecked < 0 ? before[nID] : expected.nChecked == 1;
                        EXPECT_EQ(pAction->isChecked(), bChecked) << strWhere;
                        if (QWidget* pButton = frame.GetToolBar()->widgetForAction(pAction)) {
                            EXPECT_EQ(pButton->isEnabled(), expected.bEnabled) << strWhere;
                        }
                    }
                }
            }
        }
    }
}

TEST_F(MainFrameTest, PlayMarkSurvivesTheInvalidStateAsTheRuleLeavesIt) {
    CMainFrame frame(m_document, IniPath());
    Open(frame, "song.mp2");
    g_nPlayState = PLAY_STARTED;
    g_bLoopPlay = 1;
    frame.UpdateCommandStates();
    EXPECT_TRUE(frame.GetAction(ID_PLAY_LOOP)->isChecked());
    EXPECT_FALSE(frame.GetAction(ID_PLAY_PLAYBACK)->isChecked());
    g_nPlayState = PLAY_INVALID;
    frame.UpdateCommandStates();
    EXPECT_TRUE(frame.GetAction(ID_PLAY_LOOP)->isChecked());
    EXPECT_FALSE(frame.GetAction(ID_PLAY_LOOP)->isEnabled());
}

TEST_F(MainFrameTest, MenusRefreshTheirItemsBeforeTheyOpen) {
    CMainFrame frame(m_document, IniPath());
    Open(frame, "song.mp2");
    QAction* pPause = frame.GetAction(ID_PLAY_PAUSE);
    EXPECT_FALSE(pPause->isEnabled());
    g_nPlayState = PLAY_STARTED;  // behind the window's back
    QMenu* pPlayMenu = Menus(frame)[1];
    emit pPlayMenu->aboutToShow();
    EXPECT_TRUE(pPause->isEnabled());
}

TEST_F(MainFrameTest, EngineEventsReachTheCommandsAndTheViewOnTheWindowsThread) {
    CMainFrame frame(m_document, IniPath());
    Open(frame, "song.mp2");
    // A view that counts the document's refreshes stands in for the real
    // one, which would read the decoder.
    struct CCountingView : CView {
        void OnUpdate() override { ++m_nUpdates; }
        int m_nUpdates = 0;
    } counter;
    m_document.RemoveView(frame.GetView());
    m_document.AddView(&counter);
    QAction* pPause = frame.GetAction(ID_PLAY_PAUSE);
    QAction* pInfo = frame.GetAction(ID_VIEW_BITSTREAM_INFO);

    // The worker's changes arrive as queued calls: nothing on its thread.
    // The commands' rules ask the decoder about its stream: a real one, on
    // the file, never initialised.
    CAudioDecoder decoder(File("song.mp2").c_str(), {});
    std::thread([&decoder] {
        SetPlayState(PLAY_STARTED);
        g_pDecoder = &decoder;
        NotifyDecoderChanged(true, 20.0f);
    }).join();
    EXPECT_FALSE(pPause->isEnabled());
    EXPECT_EQ(counter.m_nUpdates, 0);
    EXPECT_TRUE(WaitUntil([&] { return counter.m_nUpdates == 1 && pInfo->isEnabled(); }, 2000));
    EXPECT_TRUE(pPause->isEnabled());

    // The worker ends by itself.
    std::thread([] {
        g_pDecoder = nullptr;
        NotifyDecoderChanged(false, 0.0f);
        SetPlayState(PLAY_ENDED);
    }).join();
    EXPECT_TRUE(WaitUntil([&] { return counter.m_nUpdates == 2 && !pPause->isEnabled(); }, 2000));
    EXPECT_FALSE(pInfo->isEnabled());
    EXPECT_TRUE(frame.GetAction(ID_PLAY_PLAYBACK)->isEnabled());
    m_document.RemoveView(&counter);
}

TEST_F(MainFrameTest, ACommandsRuleIsAskedOnceOnItsWayToTheDocument) {
    // Counts the rule's answers given before the command runs.
    struct CCountingDoc : CRecordingDoc {
        void OnUpdateCommand(CCmdUI& cmdUI) override {
            m_nAsked += cmdUI.m_nID == ID_PLAY_FAST_FORWARD ? 1 : 0;
            CRecordingDoc::OnUpdateCommand(cmdUI);
        }
        bool OnCommand(int nID) override {
            m_nAskedBeforeRun = m_nAsked;
            return CRecordingDoc::OnCommand(nID);
        }
        int m_nAsked = 0;
        int m_nAskedBeforeRun = 0;
    } document;
    CMainFrame frame(document, IniPath());
    ASSERT_TRUE(frame.OpenDocumentFile(File("song.mp2")));
    document.m_nAsked = 0;
    ASSERT_TRUE(frame.RunCommand(ID_PLAY_FAST_FORWARD));
    EXPECT_EQ(document.m_nAskedBeforeRun, 1);
    EXPECT_EQ(document.m_commands, std::vector<int>{ID_PLAY_FAST_FORWARD});
}

TEST_F(MainFrameTest, AcceleratorsRunTheirCommandsAndCtrlLPausesInsteadOfLoopPlay) {
    CMainFrame frame(m_document, IniPath());
    frame.show();
    frame.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
    auto Press = [&](Qt::Key key) {
        m_document.m_commands.clear();
        QTest::keyClick(&frame, key, Qt::ControlModifier);
        return m_document.m_commands;
    };
    using Commands = std::vector<int>;
    // Without a file the playback keys do nothing.
    EXPECT_EQ(Press(Qt::Key_P), Commands{});
    EXPECT_EQ(Press(Qt::Key_F), Commands{});

    Open(frame, "song.mp2");
    EXPECT_EQ(Press(Qt::Key_P), Commands{ID_PLAY_PLAYBACK});
    EXPECT_EQ(Press(Qt::Key_F), Commands{ID_PLAY_FAST_FORWARD});
    EXPECT_EQ(Press(Qt::Key_R), Commands{ID_PLAY_REWIND});
    EXPECT_EQ(Press(Qt::Key_C), Commands{ID_FILE_CLOSE});
    // Loop Play is enabled now, yet the key its menu text shows is Pause's,
    // and Pause is disabled while nothing plays.
    EXPECT_EQ(Press(Qt::Key_L), Commands{});
    EXPECT_EQ(Press(Qt::Key_U), Commands{});
    EXPECT_EQ(Press(Qt::Key_S), Commands{});

    g_nPlayState = PLAY_STARTED;
    EXPECT_EQ(Press(Qt::Key_L), Commands{ID_PLAY_PAUSE});
    EXPECT_EQ(Press(Qt::Key_U), Commands{ID_PLAY_PAUSE});
    EXPECT_EQ(Press(Qt::Key_S), Commands{ID_PLAY_STOP});
    EXPECT_EQ(Press(Qt::Key_P), Commands{});
}

TEST_F(MainFrameTest, SpaceAndTheMediaKeysPlayPauseAndStopAndCtrlQQuits) {
    CMainFrame frame(m_document, IniPath());
    frame.show();
    frame.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
    auto Press = [&](Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
        m_document.m_commands.clear();
        // The media keys type no text.
        QTest::sendKeyEvent(QTest::Click, &frame, key, key == Qt::Key_Space ? " " : QString(),
                            modifiers);
        return m_document.m_commands;
    };
    using Commands = std::vector<int>;
    EXPECT_EQ(Press(Qt::Key_Space), Commands{});
    Open(frame, "song.mp2");
    // Stopped, each of them plays; playing, they pause.
    for (Qt::Key key : {Qt::Key_Space, Qt::Key_MediaPlay, Qt::Key_MediaTogglePlayPause}) {
        g_nPlayState = PLAY_ENDED;
        EXPECT_EQ(Press(key), Commands{ID_PLAY_PLAYBACK}) << key;
        g_nPlayState = PLAY_STARTED;
        EXPECT_EQ(Press(key), Commands{ID_PLAY_PAUSE}) << key;
    }
    EXPECT_EQ(Press(Qt::Key_MediaPause), Commands{ID_PLAY_PAUSE});
    EXPECT_EQ(Press(Qt::Key_MediaStop), Commands{ID_PLAY_STOP});
    g_nPlayState = PLAY_ENDED;
    EXPECT_EQ(Press(Qt::Key_MediaPause), Commands{});

    Press(Qt::Key_Q, Qt::ControlModifier);
    EXPECT_FALSE(frame.isVisible());
}

TEST_F(MainFrameTest, DisabledCommandsDoNothingFromMenuToolbarOrCall) {
    CMainFrame frame(m_document, IniPath());
    frame.show();
    QAction* pPlay = frame.GetAction(ID_PLAY_PLAYBACK);
    auto* pButton = qobject_cast<QToolButton*>(frame.GetToolBar()->widgetForAction(pPlay));
    ASSERT_NE(pButton, nullptr);

    QTest::mouseClick(pButton, Qt::LeftButton);
    pPlay->trigger();
    EXPECT_FALSE(frame.RunCommand(ID_PLAY_PLAYBACK));
    EXPECT_TRUE(m_document.m_commands.empty());

    Open(frame, "song.mp2");
    QTest::mouseClick(pButton, Qt::LeftButton);
    EXPECT_EQ(m_document.m_commands, std::vector<int>{ID_PLAY_PLAYBACK});
    // A click toggles a checkable button; the rule keeps its own mark.
    EXPECT_FALSE(pPlay->isChecked());
}

TEST_F(MainFrameTest, CaptionNamesTheDocument) {
    CMainFrame frame(m_document, IniPath());
    ASSERT_TRUE(frame.NewDocument());
    EXPECT_EQ(frame.windowTitle(), QStringLiteral("Kyx MPEG Audio Player - Untitled"));
    Open(frame, "first song.mp2");
    EXPECT_EQ(frame.windowTitle(), QStringLiteral("Kyx MPEG Audio Player - first song.mp2"));
}

TEST_F(MainFrameTest, AFileThatCannotBeOpenedLeavesTheDocumentAsItWas) {
    CMainFrame frame(m_document, IniPath());
    Open(frame, "song.mp2");
    EXPECT_FALSE(frame.OpenDocumentFile(m_dir.File("missing.mp2")));
    EXPECT_EQ(frame.windowTitle(), QStringLiteral("Kyx MPEG Audio Player - song.mp2"));
    EXPECT_EQ(m_presenter.Messages().size(), 1u);
    EXPECT_EQ(frame.GetRecentFiles().GetFiles().size(), 1u);
}

TEST_F(MainFrameTest, ToolbarHasItsEntriesWithTooltipsAndImages) {
    CMainFrame frame(m_document, IniPath());
    const QList<QAction*> actions = frame.GetToolBar()->actions();
    ASSERT_EQ(static_cast<std::size_t>(actions.size()), GetToolbar().size());
    for (qsizetype i = 0; i < actions.size(); ++i) {
        const int nID = GetToolbar()[static_cast<std::size_t>(i)];
        if (nID == 0) {
            EXPECT_TRUE(actions[i]->isSeparator()) << i;
            continue;
        }
        const CCommandInfo& command = *FindCommand(nID);
        EXPECT_EQ(actions[i]->toolTip(), Text(TooltipText(command))) << nID;
        EXPECT_EQ(actions[i]->statusTip(), Text(StatusPrompt(command))) << nID;
        EXPECT_FALSE(actions[i]->icon().isNull()) << nID;
        // The bundled image is there for any theme that lacks the icon.
        EXPECT_FALSE(QIcon(QStringLiteral(":/toolbar/") + Text(command.pszImage)).isNull());
        EXPECT_EQ(QPixmap(QStringLiteral(":/toolbar/") + Text(command.pszImage)).size(),
                  QSize(16, 15));
    }
    EXPECT_EQ(frame.GetToolBar()->iconSize(), QSize(16, 15));
    EXPECT_FALSE(frame.GetToolBar()->isMovable());
    EXPECT_FALSE(frame.GetToolBar()->isFloatable());
}

TEST_F(MainFrameTest, StatusBarShowsThePromptWhileHoveringAndTheIdleTextOtherwise) {
    CMainFrame frame(m_document, IniPath());
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    QStatusBar* pStatus = frame.statusBar();
    EXPECT_EQ(frame.GetMessagePane()->text(), QStringLiteral("For Help, press F1"));
    EXPECT_TRUE(frame.GetMessagePane()->isVisible());
    EXPECT_TRUE(pStatus->currentMessage().isEmpty());

    QWidget* pButton = frame.GetToolBar()->widgetForAction(frame.GetAction(ID_PLAY_STOP));
    QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), QPointF(pButton->mapToGlobal(QPoint(2, 2))));
    QApplication::sendEvent(pButton, &enter);
    EXPECT_EQ(pStatus->currentMessage(), QStringLiteral("Stop playback"));
    EXPECT_FALSE(frame.GetMessagePane()->isVisible());
    QEvent leave(QEvent::Leave);
    QApplication::sendEvent(pButton, &leave);
    EXPECT_TRUE(pStatus->currentMessage().isEmpty());
    EXPECT_TRUE(frame.GetMessagePane()->isVisible());

    // A menu item's prompt while it is highlighted.
    QMenu* pFileMenu = Menus(frame)[0];
    frame.menuBar()->setActiveAction(pFileMenu->menuAction());
    ASSERT_TRUE(WaitUntil([&] { return pFileMenu->isVisible(); }));
    pFileMenu->setActiveAction(frame.GetAction(ID_FILE_OPEN));
    EXPECT_EQ(pStatus->currentMessage(), QStringLiteral("Open an MPEG audio stream"));
    pFileMenu->close();
}

TEST_F(MainFrameTest, KeyStatePanesStandRightOfTheMessagePane) {
    CMainFrame frame(m_document, IniPath());
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    int nLeft = frame.GetMessagePane()->geometry().right();
    for (int nID : GetIndicators()) {
        QLabel* pPane = frame.GetIndicatorPane(nID);
        ASSERT_NE(pPane, nullptr) << nID;
        EXPECT_GT(pPane->geometry().left(), nLeft) << nID;
        nLeft = pPane->geometry().left();
        // Wide enough for its text; on this platform the keys read as off.
        EXPECT_GE(pPane->width(), pPane->fontMetrics().horizontalAdvance(Text(IndicatorText(nID))));
        EXPECT_TRUE(pPane->text().isEmpty()) << nID;
    }
}

TEST_F(MainFrameTest, WindowHasAFixedSizeWithA110PixelViewAndNoMaximise) {
    CMainFrame frame(m_document, IniPath());
    ASSERT_TRUE(frame.NewDocument());
    frame.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&frame));
    EXPECT_EQ(frame.width(), 352);
    EXPECT_EQ(frame.GetView()->height(), 110);
    EXPECT_EQ(frame.minimumSize(), frame.maximumSize());
    EXPECT_FALSE(frame.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(frame.windowFlags() & Qt::WindowMinimizeButtonHint);

    // Opening files later leaves the size alone; hiding the status bar gives
    // its room to the view.
    const QSize size = frame.size();
    Open(frame, "song.mp2");
    EXPECT_EQ(frame.size(), size);
    ASSERT_TRUE(frame.RunCommand(ID_VIEW_STATUS_BAR));
    EXPECT_TRUE(frame.statusBar()->isHidden());
    EXPECT_FALSE(frame.GetAction(ID_VIEW_STATUS_BAR)->isChecked());
    EXPECT_EQ(frame.size(), size);
    ASSERT_TRUE(frame.RunCommand(ID_VIEW_STATUS_BAR));
    EXPECT_FALSE(frame.statusBar()->isHidden());
    EXPECT_TRUE(frame.GetAction(ID_VIEW_STATUS_BAR)->isChecked());
}

TEST_F(MainFrameTest, HelpListsTheCommandsWithTheKeysThatWork) {
    const QString strHtml = BuildHelpHtml();
    for (const CMenuInfo& menu : GetMenus()) {
        for (int nID : menu.items) {
            if (nID != 0 && nID != ID_FILE_MRU_FILE1 &&
                (nID <= ID_AUDIO_TRACK_1 || nID > ID_AUDIO_TRACK_8)) {
                QString strName = Text(FindCommand(nID)->pszMenuText);
                strName = strName.left(strName.indexOf('\t') < 0 ? strName.size()
                                                                 : strName.indexOf('\t'));
                strName.remove('&');
                EXPECT_TRUE(strHtml.contains(strName.toHtmlEscaped())) << strName.toStdString();
            }
        }
    }
    EXPECT_TRUE(
        strHtml.contains(QStringLiteral("<td>Pause</td><td>Ctrl+L, Ctrl+U, Media Pause</td>")));
    EXPECT_TRUE(strHtml.contains(QStringLiteral("<td>Exit</td><td>Ctrl+Q</td>")));
    EXPECT_TRUE(strHtml.contains(
        QStringLiteral("<td>Play/Pause</td><td>Space, Media Play, Toggle Media Play/Pause</td>")));
    EXPECT_TRUE(strHtml.contains(QStringLiteral("<td>Loop Play</td><td></td>")));

    CMainFrame frame(m_document, IniPath());
    frame.show();
    frame.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
    QTest::keyClick(&frame, Qt::Key_F1);
    ASSERT_NE(frame.GetHelpWindow(), nullptr);
    EXPECT_TRUE(frame.GetHelpWindow()->isVisible());
    EXPECT_EQ(frame.GetHelpWindow()->windowTitle(), QStringLiteral("corvina Help"));
    EXPECT_TRUE(frame.GetHelpWindow()->GetBrowser()->toPlainText().contains(
        QStringLiteral("Start playback the current audio stream")));
    frame.close();
    EXPECT_TRUE(frame.GetHelpWindow() == nullptr || !frame.GetHelpWindow()->isVisible());
}

TEST_F(MainFrameTest, WhatsThisModeTellsEachControlsPrompt) {
    CMainFrame frame(m_document, IniPath());
    frame.show();
    ASSERT_TRUE(frame.RunCommand(ID_CONTEXT_HELP));
    EXPECT_TRUE(QWhatsThis::inWhatsThisMode());
    QWhatsThis::leaveWhatsThisMode();

    QAction* pRewind = frame.GetAction(ID_PLAY_REWIND);
    EXPECT_EQ(pRewind->whatsThis(), QStringLiteral("Rewind the current audio stream"));
    EXPECT_EQ(frame.GetToolBar()->widgetForAction(pRewind)->whatsThis(), pRewind->whatsThis());
    EXPECT_EQ(frame.GetAction(ID_AUDIO_SMOOTH)->whatsThis(),
              QStringLiteral("Turn on/off smooth playback mode"));
    EXPECT_EQ(frame.GetView()->GetSlider()->whatsThis(), Text(kSliderPrompt));
}

TEST_F(MainFrameTest, DroppedFileOpensThroughTheOpenPath) {
    CMainFrame frame(m_document, IniPath());
    frame.show();
    const std::string strFile = File("dropped.mp2");
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(strFile))});
    QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&frame, &enter);
    EXPECT_TRUE(enter.isAccepted());
    QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&frame, &drop);
    ASSERT_TRUE(WaitUntil([&] { return m_document.GetPathName() == strFile; }));
    EXPECT_EQ(frame.windowTitle(), QStringLiteral("Kyx MPEG Audio Player - dropped.mp2"));
    EXPECT_EQ(frame.GetRecentFiles().GetFiles().front(), strFile);
}

// One file opened alone brings its folder's playable files in natural order;
// the keys, the toolbar and the media keys go through them, the status bar
// tells where, and the recent files keep what was opened.
TEST_F(MainFrameTest, TheQueueOfAFolderAndOfSeveralDroppedFiles) {
    for (const char* pszName : {"1.mp2", "2.mp2", "10.mp2", "a.txt", "b.mp1"}) {
        File(pszName);
    }
    CCorvinaDoc document;
    CMainFrame frame(document, IniPath());
    frame.show();
    frame.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&frame));
    ASSERT_TRUE(frame.OpenDocumentFile(m_dir.File("1.mp2")));
    EXPECT_EQ(frame.GetQueuePane()->text(), QStringLiteral("1 / 4"));
    EXPECT_FALSE(frame.GetQueuePane()->isHidden());
    EXPECT_FALSE(frame.GetAction(ID_PLAY_PREVIOUS_FILE)->isEnabled());

    std::vector<QString> names;
    QTest::keyClick(&frame, Qt::Key_Right, Qt::ControlModifier);
    names.push_back(frame.GetView()->GetNameLabel()->text());
    frame.GetAction(ID_PLAY_NEXT_FILE)->trigger();
    names.push_back(frame.GetView()->GetNameLabel()->text());
    QTest::keyClick(&frame, Qt::Key_MediaNext);
    names.push_back(frame.GetView()->GetNameLabel()->text());
    EXPECT_EQ(names, (std::vector<QString>{"2.mp2", "10.mp2", "b.mp1"}));
    EXPECT_EQ(frame.GetQueuePane()->text(), QStringLiteral("4 / 4"));
    EXPECT_EQ(frame.windowTitle(), QStringLiteral("Kyx MPEG Audio Player - b.mp1"));
    EXPECT_FALSE(frame.GetAction(ID_PLAY_NEXT_FILE)->isEnabled());
    QTest::keyClick(&frame, Qt::Key_Left, Qt::ControlModifier);
    EXPECT_EQ(document.GetPathName(), m_dir.File("10.mp2"));
    EXPECT_EQ(frame.GetRecentFiles().GetFiles(), std::vector<std::string>{m_dir.File("1.mp2")});

    // Loop the list is a mark of its own in the Play menu.
    frame.GetAction(ID_PLAY_TOGGLE_LOOP)->trigger();
    EXPECT_TRUE(frame.GetAction(ID_PLAY_TOGGLE_LOOP)->isChecked());
    EXPECT_TRUE(frame.GetAction(ID_PLAY_NEXT_FILE)->isEnabled());

    // Several dropped files are the queue, in their order; a playlist
    // dropped among them stands for its entries.
    std::ofstream(m_dir.File("two.m3u")) << "#EXTINF:1,The Second\n2.mp2\n";
    QMimeData data;
    data.setUrls({QUrl::fromLocalFile(QString::fromStdString(m_dir.File("b.mp1"))),
                  QUrl::fromLocalFile(QString::fromStdString(m_dir.File("two.m3u")))});
    QDragEnterEvent enter(QPoint(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&frame, &enter);
    QDropEvent drop(QPointF(50, 50), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&frame, &drop);
    ASSERT_TRUE(WaitUntil([&] { return frame.GetQueuePane()->text() == "1 / 2"; }))
        << frame.GetQueuePane()->text().toStdString() << m_presenter.Messages().size();
    EXPECT_EQ(document.GetPathName(), m_dir.File("b.mp1"));
    frame.RunCommand(ID_PLAY_NEXT_FILE);
    EXPECT_EQ(frame.GetView()->GetNameLabel()->text(), QStringLiteral("The Second"));
}

TEST_F(MainFrameTest, RecentFilesTakeThePlaceholdersPlaceMostRecentFirst) {
    CMainFrame frame(m_document, IniPath());
    std::vector<std::string> files;
    for (int i = 1; i <= 5; ++i) {
        files.push_back(File("song" + std::to_string(i) + ".mp2"));
        ASSERT_TRUE(frame.OpenDocumentFile(files.back()));
    }
    EXPECT_FALSE(frame.GetRecentFilePlaceholder()->isVisible());
    for (int i = 0; i < CRecentFileList::kSize; ++i) {
        QAction* pAction = frame.GetRecentFileAction(i);
        EXPECT_TRUE(pAction->isVisible());
        EXPECT_TRUE(pAction->isEnabled());
        EXPECT_EQ(pAction->text(), QStringLiteral("&%1 %2").arg(i + 1).arg(QString::fromStdString(
                                       files[static_cast<std::size_t>(4 - i)])));
    }
    std::ifstream in(IniPath());
    const std::string strIni{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    EXPECT_EQ(strIni, "[Recent File List]\nFile1=" + files[4] + "\nFile2=" + files[3] +
                          "\nFile3=" + files[2] + "\nFile4=" + files[1] + "\n");

    // Choosing an entry opens it and moves it to the top.
    frame.GetRecentFileAction(2)->trigger();
    EXPECT_EQ(m_document.GetPathName(), files[2]);
    EXPECT_EQ(frame.GetRecentFiles().GetFiles().front(), files[2]);

    // An entry whose file has gone leaves the list when chosen.
    std::remove(files[4].c_str());
    const int nIndex = 1;
    ASSERT_EQ(frame.GetRecentFiles().GetFiles()[nIndex], files[4]);
    frame.GetRecentFileAction(nIndex)->trigger();
    EXPECT_EQ(frame.GetRecentFiles().GetFiles().size(), 3u);
    EXPECT_FALSE(frame.GetRecentFileAction(3)->isVisible());
    EXPECT_EQ(m_document.GetPathName(), files[2]);

    // A later window reads the same list.
    CRecordingDoc document;
    CMainFrame later(document, IniPath());
    EXPECT_EQ(later.GetRecentFiles().GetFiles(), frame.GetRecentFiles().GetFiles());
}

TEST_F(MainFrameTest, RecentFileNamesShowTheirAmpersands) {
    CMainFrame frame(m_document, IniPath());
    const std::string strFile = File("rock&roll.mp2");
    ASSERT_TRUE(frame.OpenDocumentFile(strFile));
    EXPECT_EQ(frame.GetRecentFileAction(0)->text(),
              QStringLiteral("&1 ") + QString::fromStdString(strFile).replace('&', "&&"));
}

TEST_F(MainFrameTest, OpenDialogFiltersMpegAudioInAnyCase) {
    EXPECT_EQ(GetOpenDialogFilters(), (QStringList{QStringLiteral("Mpeg Audio (*.mp*)"),
                                                   QStringLiteral("Playlists (*.m3u *.m3u8 *.pls)"),
                                                   QStringLiteral("All Files (*)")}));
    for (const char* pszName : {"a.mp2", "B.MP2", "c.Mp3", "d.wav", "e.txt"}) {
        File(pszName);
    }
    const QString strFolder = QString::fromStdString(m_dir.Path().string());
    std::unique_ptr<QFileDialog> pDialog = CreateOpenDialog(nullptr, strFolder);
    EXPECT_FALSE(pDialog->filter() & QDir::CaseSensitive);
    EXPECT_EQ(pDialog->fileMode(), QFileDialog::ExistingFiles);
    auto* pModel = pDialog->findChild<QFileSystemModel*>();
    ASSERT_NE(pModel, nullptr);
    pDialog->show();
    auto Listed = [&] {
        QStringList names;
        const QModelIndex folder = pModel->index(strFolder);
        for (int i = 0; i < pModel->rowCount(folder); ++i) {
            names << pModel->index(i, 0, folder).data().toString();
        }
        names.sort();
        return names;
    };
    const QStringList expected{QStringLiteral("B.MP2"), QStringLiteral("a.mp2"),
                               QStringLiteral("c.Mp3")};
    EXPECT_TRUE(WaitUntil([&] { return Listed() == expected; }))
        << Listed().join(' ').toStdString();
    pDialog->selectNameFilter(GetOpenDialogFilters().back());
    EXPECT_TRUE(WaitUntil([&] { return Listed().size() == 5; }))
        << Listed().join(' ').toStdString();
}

TEST_F(MainFrameTest, FastForwardMovesThePositionThroughTheRealDocument) {
    CCorvinaDoc document;
    CMainFrame frame(document, IniPath());
    ASSERT_TRUE(frame.OpenDocumentFile(File("song.mp2")));
    ASSERT_TRUE(frame.RunCommand(ID_PLAY_FAST_FORWARD));
    EXPECT_EQ(g_nPosition.load(), 5);
    EXPECT_EQ(frame.GetView()->GetSlider()->value(), 5);
    EXPECT_EQ(g_bSeekPending.load(), 1);
    // Opening a file puts the position and the thumb back to the start.
    ASSERT_TRUE(frame.OpenDocumentFile(File("other.mp2")));
    EXPECT_EQ(g_nPosition.load(), 0);
    EXPECT_EQ(frame.GetView()->GetSlider()->value(), 0);
    EXPECT_EQ(g_nPlayState.load(), PLAY_IDLE);
}

// The Audio menu of a transport stream with two tracks: an item for each,
// named as --info names it, the first marked; choosing the second marks it.
TEST_F(MainFrameTest, TheAudioMenuListsTheTracksOfAFileAndChoosesOne) {
    if (std::system("command -v ffmpeg >/dev/null") != 0) {
        GTEST_SKIP() << "ffmpeg is not installed";
    }
    const std::string strFile = m_dir.File("two.ts");
    const std::string strMake =
        "ffmpeg -v error -y -f lavfi -i sine=frequency=440:duration=2:sample_rate=48000 "
        "-f lavfi -i sine=frequency=1000:duration=2:sample_rate=48000 -map 0 -map 1 -c:a mp2 "
        "-metadata:s:a:0 language=deu -metadata:s:a:1 language=eng '" +
        strFile + "'";
    ASSERT_EQ(std::system(strMake.c_str()), 0);
    CCorvinaDoc document;
    CMainFrame frame(document, IniPath());
    ASSERT_TRUE(frame.OpenDocumentFile(strFile));
    frame.UpdateCommandStates();
    QAction* pFirst = frame.GetAction(ID_AUDIO_TRACK_1);
    QAction* pSecond = frame.GetAction(ID_AUDIO_TRACK_2);
    EXPECT_TRUE(pFirst->isVisible() && pSecond->isVisible());
    EXPECT_FALSE(frame.GetAction(ID_AUDIO_TRACK_3)->isVisible());
    EXPECT_EQ(pFirst->text(), QStringLiteral("Track 1: deu, main"));
    EXPECT_EQ(pSecond->text(), QStringLiteral("Track 2: eng, main"));
    EXPECT_TRUE(pFirst->isChecked());
    ASSERT_TRUE(frame.RunCommand(ID_AUDIO_TRACK_2));
    EXPECT_TRUE(pSecond->isChecked());
    EXPECT_FALSE(pFirst->isChecked());
    SetPlayerTrackChoice({});
    // A file of one track has none to choose.
    ASSERT_TRUE(frame.OpenDocumentFile(File("song.mp2")));
    frame.UpdateCommandStates();
    EXPECT_FALSE(pFirst->isVisible());
}

TEST_F(MainFrameTest, ExitClosesTheWindow) {
    CMainFrame frame(m_document, IniPath());
    frame.show();
    ASSERT_TRUE(frame.RunCommand(ID_APP_EXIT));
    EXPECT_FALSE(frame.isVisible());
}

TEST_F(MainFrameTest, AudioChoicesAreRadioItemsKeptBesideTheRecentFilesForTheNextStart) {
    auto Checked = [](CMainFrame& frame, std::initializer_list<int> ids) {
        std::vector<int> checked;
        for (int nID : ids) {
            if (frame.GetAction(nID)->isChecked()) {
                checked.push_back(nID);
            }
        }
        return checked;
    };
    const std::initializer_list<int> kGains = {ID_AUDIO_REPLAYGAIN_OFF, ID_AUDIO_REPLAYGAIN_TRACK,
                                               ID_AUDIO_REPLAYGAIN_ALBUM};
    {
        CCorvinaDoc document;
        CMainFrame frame(document, IniPath());
        EXPECT_EQ(Checked(frame, kGains), std::vector<int>{ID_AUDIO_REPLAYGAIN_OFF});
        ASSERT_TRUE(frame.OpenDocumentFile(File("song.mp2")));
        ASSERT_TRUE(frame.RunCommand(ID_AUDIO_REPLAYGAIN_ALBUM));
        ASSERT_TRUE(frame.RunCommand(ID_AUDIO_CHANNEL_SECOND));
        EXPECT_EQ(Checked(frame, kGains), std::vector<int>{ID_AUDIO_REPLAYGAIN_ALBUM});
    }
    ResetControlBlock();
    SetReplayGainMode(EReplayGain::Off);

    {
        CCorvinaDoc document;
        CMainFrame frame(document, IniPath());
        EXPECT_EQ(GetReplayGainMode(), EReplayGain::Album);
        EXPECT_EQ(g_nDualChannel.load(), static_cast<int>(EDualChannel::Second));
        EXPECT_EQ(Checked(frame, kGains), std::vector<int>{ID_AUDIO_REPLAYGAIN_ALBUM});
        EXPECT_EQ(Checked(frame, {ID_AUDIO_CHANNEL_BOTH, ID_AUDIO_CHANNEL_FIRST,
                                  ID_AUDIO_CHANNEL_SECOND, ID_AUDIO_CHANNEL_MIX}),
                  std::vector<int>{ID_AUDIO_CHANNEL_SECOND});
        EXPECT_EQ(frame.GetRecentFiles().GetFiles().size(), 1u);
        SetReplayGainMode(EReplayGain::Off);
    }

    // A value that is no choice leaves the choice as it is.
    std::ofstream(IniPath()) << "[Settings]\nReplayGain=loud\nDualChannel=3\n";
    ResetControlBlock();
    CCorvinaDoc document;
    CMainFrame frame(document, IniPath());
    EXPECT_EQ(GetReplayGainMode(), EReplayGain::Off);
    EXPECT_EQ(g_nDualChannel.load(), 0);
}

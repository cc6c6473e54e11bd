// The window's message boxes: shown on the interface thread, the calling
// thread held until the box closes, and every waiter let go at shutdown.
#include "ui/qt_message_presenter.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QMessageBox>
#include <QThread>
#include <algorithm>
#include <atomic>
#include <thread>

#include "player/control_block.h"
#include "player/message_stream.h"
#include "tests/support/temp_dir.h"
#include "tests/ui/ui_test_support.h"
#include "ui/main_frame.h"

using namespace corvina;

namespace {

class MessagePresenterTest : public testing::Test {
  protected:
    void SetUp() override {
        ResetControlBlock();
        SetMessagePresenter(&m_presenter);
    }
    void TearDown() override { SetMessagePresenter(nullptr); }

    // A worker that raises a warning the way the decoder does.
    std::thread StartWorker(const char* pszText) {
        return std::thread([this, pszText] {
            g_MessageStream << pszText;
            ShowMessage(MSG_WARNING);
            m_bWorkerDone = true;
        });
    }
    QMessageBox* WaitForBox() {
        QMessageBox* pBox = nullptr;
        WaitUntil([&] {
            pBox = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            return pBox != nullptr && pBox->isVisible();
        });
        return pBox;
    }

    CQtMessagePresenter m_presenter;
    std::atomic<bool> m_bWorkerDone{false};
};

}  // namespace

TEST_F(MessagePresenterTest, WorkerWarningIsShownOnTheInterfaceThreadWhileTheWorkerWaits) {
    bool bLooked = false;
    CModalCloser closer([&](QWidget* pBox) {
        EXPECT_EQ(pBox->thread(), QApplication::instance()->thread());
        // The worker stays in ShowMessage for as long as the box is open.
        QThread::msleep(50);
        EXPECT_FALSE(m_bWorkerDone);
        EXPECT_EQ(m_presenter.GetWaitingCount(), 1);
        bLooked = true;
    });
    std::thread worker = StartWorker("Invalid Audio Stream");
    EXPECT_TRUE(WaitUntil([&] { return m_bWorkerDone.load(); }));
    worker.join();
    EXPECT_TRUE(bLooked);
    ASSERT_EQ(closer.GetClosed().size(), 1u);
    const CClosedModal& box = closer.GetClosed()[0];
    EXPECT_EQ(box.strCaption, QStringLiteral("Warning"));
    EXPECT_EQ(box.strText, QStringLiteral("Invalid Audio Stream"));
    EXPECT_EQ(box.nIcon, QMessageBox::Critical);
    EXPECT_TRUE(box.bApplicationModal);
    EXPECT_EQ(box.buttons, std::vector<QString>{QStringLiteral("OK")});
    EXPECT_EQ(m_presenter.GetWaitingCount(), 0);
}

TEST_F(MessagePresenterTest, InformationOnTheInterfaceThreadIsShownAtOnceWithoutIcon) {
    CModalCloser closer;
    g_MessageStream << "Layer II, stereo\n";
    ShowMessage(MSG_INFORMATION);
    ASSERT_EQ(closer.GetClosed().size(), 1u);
    const CClosedModal& box = closer.GetClosed()[0];
    EXPECT_EQ(box.strCaption, QStringLiteral("Information"));
    EXPECT_EQ(box.nIcon, QMessageBox::NoIcon);
    // The line break that ends the text is not shown as an empty line.
    EXPECT_EQ(box.strText, QStringLiteral("Layer II, stereo"));
    EXPECT_TRUE(box.bApplicationModal);
}

TEST_F(MessagePresenterTest, TextIsShownAsItStandsNotAsMarkup) {
    auto pBox = CQtMessagePresenter::CreateMessageBox(MSG_WARNING, "<b>x</b> & y");
    EXPECT_EQ(pBox->textFormat(), Qt::PlainText);
    EXPECT_EQ(pBox->text(), QStringLiteral("<b>x</b> & y"));
}

TEST_F(MessagePresenterTest, ClosingTheWindowReleasesAWorkerWaitingInABox) {
    CTempDir dir;
    CCorvinaDoc document;
    CMainFrame frame(document, dir.File("corvina.ini"));
    frame.SetPresenter(&m_presenter);
    frame.show();

    // The window closes while the box is open, as a quit would close it.
    CModalCloser closer([&](QWidget*) { frame.close(); });
    std::thread worker = StartWorker("couldn't open file");
    EXPECT_TRUE(WaitUntil([&] { return m_bWorkerDone.load(); }, 2000));
    worker.join();
    EXPECT_EQ(closer.GetClosed().size(), 1u);
    EXPECT_TRUE(WaitUntil([] { return QApplication::activeModalWidget() == nullptr; }, 2000));

    // Later messages no longer wait for anybody.
    m_bWorkerDone = false;
    std::thread late = StartWorker("late warning");
    late.join();
    EXPECT_TRUE(m_bWorkerDone);
    EXPECT_TRUE(m_presenter.IsShutDown());
}

TEST_F(MessagePresenterTest, HandedOverBoxesComeOneAtATimeAndShutdownReleasesThemAll) {
    std::atomic<int> nDone{0};
    int nBoxesSeen = 0;
    CModalCloser closer([&](QWidget*) {
        ++nBoxesSeen;
        // All three wait, yet only one box is open.
        EXPECT_TRUE(WaitUntil([&] { return m_presenter.GetWaitingCount() == 3; }));
        const QWidgetList windows = QApplication::topLevelWidgets();
        EXPECT_EQ(std::count_if(windows.begin(), windows.end(),
                                [](QWidget* p) {
                                    return qobject_cast<QMessageBox*>(p) != nullptr &&
                                           p->isVisible();
                                }),
                  1);
        m_presenter.Shutdown();
    });
    std::vector<std::thread> workers;
    for (int i = 0; i < 3; ++i) {
        workers.emplace_back([&] {
            m_presenter.Present(MSG_WARNING, "one of three");
            ++nDone;
        });
    }
    EXPECT_TRUE(WaitUntil([&] { return nDone.load() == 3; }, 5000));
    for (std::thread& worker : workers) {
        worker.join();
    }
    EXPECT_EQ(nBoxesSeen, 1);
}

TEST_F(MessagePresenterTest, OtherKindsShowNothing) {
    CModalCloser closer;
    g_MessageStream << "nothing";
    ShowMessage(7);
    QCoreApplication::processEvents();
    EXPECT_TRUE(closer.GetClosed().empty());
}

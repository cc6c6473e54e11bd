// The player view: the time scale and the slider's actions as seek requests.
#include "ui/corvina_view.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QStyle>
#include <QStyleOptionSlider>
#include <QTest>
#include <QWheelEvent>
#include <thread>

#include "player/control_block.h"
#include "player/engine_events.h"
#include "player/playback_control.h"
#include "tests/ui/ui_test_support.h"
#include "ui/engine_event_relay.h"
#include "ui/play_progress.h"
#include "ui/position_slider.h"

using namespace corvina;

namespace {

// Resets the control block before the view attaches its slider to it.
struct CFreshControlBlock {
    CFreshControlBlock() { ResetControlBlock(); }
};

class CorvinaViewTest : public testing::Test {
  protected:
    void SetUp() override {
        m_view.resize(CCorvinaView::kFrameWidth, CCorvinaView::kViewHeight);
        m_view.show();
    }

    // Puts the thumb and the position where the worker would have left them.
    void Place(int nPosition) {
        g_nPosition = nPosition;
        m_view.SetPosition(nPosition);
        g_bSeekPending = 0;
    }

    QRect HandleRect(int nValue) const {
        CPositionSlider* pSlider = m_view.GetSlider();
        QStyleOptionSlider option;
        option.initFrom(pSlider);
        option.subControls = QStyle::SC_All;
        option.orientation = Qt::Horizontal;
        option.minimum = pSlider->minimum();
        option.maximum = pSlider->maximum();
        option.sliderPosition = nValue;
        option.sliderValue = nValue;
        option.singleStep = pSlider->singleStep();
        option.pageStep = pSlider->pageStep();
        option.tickPosition = pSlider->tickPosition();
        option.tickInterval = pSlider->tickInterval();
        return pSlider->style()->subControlRect(QStyle::CC_Slider, &option, QStyle::SC_SliderHandle,
                                                pSlider);
    }

    void Mouse(QEvent::Type type, QPoint point, Qt::MouseButton button, Qt::MouseButtons buttons) {
        QWidget* pSlider = m_view.GetSlider();
        QMouseEvent event(type, QPointF(point), QPointF(pSlider->mapToGlobal(point)), button,
                          buttons, Qt::NoModifier);
        QApplication::sendEvent(pSlider, &event);
    }
    void Click(QPoint point) {
        Mouse(QEvent::MouseButtonPress, point, Qt::LeftButton, Qt::LeftButton);
        Mouse(QEvent::MouseButtonRelease, point, Qt::LeftButton, Qt::NoButton);
    }

    void ExpectNoSeekAt(int nPosition) {
        EXPECT_EQ(g_nPosition.load(), nPosition);
        EXPECT_EQ(g_bSeekPending.load(), 0);
        EXPECT_EQ(g_bSliderTracking.load(), 0);
        EXPECT_EQ(m_view.GetSlider()->value(), nPosition);
    }

    void ExpectSeekTo(int nPosition) {
        EXPECT_EQ(g_nPosition.load(), nPosition);
        EXPECT_EQ(g_bSeekPending.load(), 1);
        EXPECT_EQ(g_bSliderTracking.load(), 0);
    }

    CFreshControlBlock m_fresh;
    CCorvinaDoc m_document;
    CCorvinaView m_view{m_document};
};

std::vector<std::string> Labels(float fPlayingTime) {
    std::vector<std::string> labels;
    for (int i = 0; i < kTimeLabelCount; ++i) {
        labels.push_back(FormatTimeLabel(i, fPlayingTime));
    }
    return labels;
}

}  // namespace

TEST(TimeScale, SecondsWithDecimalsBelowAMinuteMinutesAndSecondsFromOne) {
    using Texts = std::vector<std::string>;
    EXPECT_EQ(Labels(12.5f), (Texts{"0.00", "2.50", "5.00", "7.50", "10.00", "12.50"}));
    EXPECT_EQ(Labels(59.9f), (Texts{"0.00", "11.98", "23.96", "35.94", "47.92", "59.90"}));
    EXPECT_EQ(Labels(60.0f), (Texts{" 0:00", " 0:12", " 0:24", " 0:36", " 0:48", " 1:00"}));
    EXPECT_EQ(Labels(180.0f), (Texts{" 0:00", " 0:36", " 1:12", " 1:48", " 2:24", " 3:00"}));
    // Long streams widen the minutes; the seconds keep two digits.
    EXPECT_EQ(FormatTimeLabel(5, 6005.0f), "100:05");
}

TEST(TimeScale, ABrokenPlayingTimeGivesZeroesInsteadOfGarbage) {
    EXPECT_EQ(FormatTimeLabel(3, std::numeric_limits<float>::quiet_NaN()), "0.00");
    EXPECT_EQ(FormatTimeLabel(3, -5.0f), "0.00");
    EXPECT_FALSE(FormatTimeLabel(5, std::numeric_limits<float>::infinity()).empty());
    EXPECT_FALSE(FormatTimeLabel(5, 1e30f).empty());
}

TEST(TimeScale, ClockShowsWholeSecondsWithHoursOnlyWhenNeeded) {
    EXPECT_EQ(FormatClock(0.0), "0:00");
    EXPECT_EQ(FormatClock(83.99), "1:23");
    EXPECT_EQ(FormatClock(180.0), "3:00");
    EXPECT_EQ(FormatClock(3723.5), "1:02:03");
    EXPECT_EQ(FormatClock(std::numeric_limits<double>::quiet_NaN()), "0:00");
    EXPECT_EQ(FormatClock(-4.0), "0:00");
    EXPECT_FALSE(FormatClock(1e300).empty());
}

TEST_F(CorvinaViewTest, TimeLabelsStandUnderTheSliderOnceThePlayingTimeIsKnown) {
    for (int i = 0; i < kTimeLabelCount; ++i) {
        EXPECT_FALSE(m_view.GetTimeLabel(i)->isVisible()) << i;
    }
    m_view.ShowTimeScale(true, 180.0f);
    const char* aszExpected[] = {" 0:00", " 0:36", " 1:12", " 1:48", " 2:24", " 3:00"};
    for (int i = 0; i < kTimeLabelCount; ++i) {
        QLabel* pLabel = m_view.GetTimeLabel(i);
        EXPECT_TRUE(pLabel->isVisible()) << i;
        EXPECT_EQ(pLabel->text().toStdString(), aszExpected[i]);
        EXPECT_EQ(pLabel->pos(), QPoint(10 + 58 * i, 35));
    }
    m_view.ShowTimeScale(true, 12.5f);
    EXPECT_EQ(m_view.GetTimeLabel(4)->text(), QStringLiteral("10.00"));
    m_view.ShowTimeScale(false, 0.0f);
    EXPECT_FALSE(m_view.GetTimeLabel(0)->isVisible());
}

TEST_F(CorvinaViewTest, NameAndTimesFollowTheEngineAndStayWhilePausedAndStopped) {
    CEngineEventRelay relay;
    CPlayProgress progress(relay);
    QObject::connect(&progress, &CPlayProgress::Changed, [&] { m_view.ShowProgress(progress); });
    std::vector<double> jumps;
    QObject::connect(&progress, &CPlayProgress::Jumped, [&](double d) { jumps.push_back(d); });
    progress.SetFile("/music/a song.mp2");
    EXPECT_EQ(m_view.GetNameLabel()->text(), QStringLiteral("a song.mp2"));
    EXPECT_EQ(m_view.GetClockLabel()->text(), QStringLiteral("0:00"));

    // The worker: the decoder with its playing time, whatever became of the
    // start's handshake, then the sound heard at 1:22.8 (its read position,
    // ahead of that, is not shown).
    std::thread([] {
        SetPlayState(PLAY_STARTED);
        NotifyDecoderChanged(true, 180.0f);
        g_nPosition = 47;
        NotifyPositionChanged();
        NotifyHeardTime(82.8, 84.0);
    }).join();
    ASSERT_TRUE(WaitUntil([&] { return m_view.GetClockLabel()->text().endsWith(" / 3:00"); }));
    EXPECT_TRUE(m_view.GetClockLabel()->text().startsWith(QStringLiteral("1:22")));
    EXPECT_TRUE(m_view.GetTimeLabel(5)->isVisible());

    std::thread([] {
        NotifyDecoderChanged(false, 0.0f);
        SetPlayState(PLAY_PAUSED);
    }).join();
    ASSERT_TRUE(WaitUntil([&] { return progress.GetState() == PLAY_PAUSED; }));
    const QString strPaused = m_view.GetClockLabel()->text();
    EXPECT_TRUE(strPaused.startsWith(QStringLiteral("1:2"))) << strPaused.toStdString();
    EXPECT_TRUE(m_view.GetTimeLabel(5)->isVisible());

    // A stop puts the position and the thumb at the start, as a jump.
    Place(46);
    jumps.clear();
    StopPlayback();
    SetPlayState(PLAY_ENDED);
    ASSERT_TRUE(WaitUntil([&] { return progress.GetState() == PLAY_ENDED; }));
    EXPECT_EQ(m_view.GetClockLabel()->text(), QStringLiteral("0:00 / 3:00"));
    EXPECT_EQ(m_view.GetSlider()->value(), 0);
    EXPECT_TRUE(m_view.GetTimeLabel(5)->isVisible());
    ASSERT_FALSE(jumps.empty());
    EXPECT_EQ(jumps.back(), 0.0);
}

TEST_F(CorvinaViewTest, SliderSpansTheFileInPercentWithTicksEveryFive) {
    CPositionSlider* pSlider = m_view.GetSlider();
    EXPECT_EQ(pSlider->geometry(), QRect(5, 5, 332, 30));
    EXPECT_EQ(pSlider->minimum(), 0);
    EXPECT_EQ(pSlider->maximum(), 100);
    EXPECT_EQ(pSlider->pageStep(), 5);
    EXPECT_EQ(pSlider->tickInterval(), 5);
    EXPECT_NE(pSlider->tickPosition(), QSlider::NoTicks);
    EXPECT_EQ(g_hTrackbar.load(), static_cast<CSlider*>(&m_view));
}

TEST_F(CorvinaViewTest, ClickLeftOfTheThumbSeeksBackTenClampedAtTheStart) {
    Place(5);
    Click(QPoint(HandleRect(5).left() / 2, HandleRect(5).center().y()));
    ExpectSeekTo(0);

    Place(50);
    Click(QPoint(HandleRect(50).left() / 2, HandleRect(50).center().y()));
    ExpectSeekTo(40);
    EXPECT_EQ(m_view.GetSlider()->value(), 40);
}

TEST_F(CorvinaViewTest, ClickRightOfTheThumbSeeksForwardFiveClampedAtTheEnd) {
    Place(97);
    const QRect handle = HandleRect(97);
    Click(QPoint((handle.right() + m_view.GetSlider()->width()) / 2, handle.center().y()));
    ExpectSeekTo(100);
}

TEST_F(CorvinaViewTest, PageKeysStepLikeClicksBesideTheThumb) {
    Place(5);
    QTest::keyClick(m_view.GetSlider(), Qt::Key_PageUp);
    ExpectSeekTo(0);
    Place(97);
    QTest::keyClick(m_view.GetSlider(), Qt::Key_PageDown);
    ExpectSeekTo(100);
}

TEST_F(CorvinaViewTest, DragSeeksWhereTheThumbIsReleasedWhateverThePositionHeld) {
    Place(70);
    const QPoint from = HandleRect(70).center();
    const QPoint to = from + (HandleRect(40).center() - HandleRect(70).center());
    Mouse(QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(g_bSliderTracking.load(), 1);
    Mouse(QEvent::MouseMove, to, Qt::NoButton, Qt::LeftButton);
    EXPECT_EQ(g_bSliderTracking.load(), 1);
    EXPECT_EQ(g_bSeekPending.load(), 0);
    // Meanwhile the position moves on, as if the worker still reported.
    g_nPosition = 12;
    Mouse(QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
    ExpectSeekTo(40);
}

TEST_F(CorvinaViewTest, ArrowHomeAndEndKeysAndTheWheelSeekWhereTheyMoveTheThumb) {
    const std::pair<Qt::Key, int> steps[] = {{Qt::Key_Right, 31}, {Qt::Key_Down, 31},
                                             {Qt::Key_Left, 29},  {Qt::Key_Up, 29},
                                             {Qt::Key_Home, 0},   {Qt::Key_End, 100}};
    for (const auto& [key, nTarget] : steps) {
        Place(30);
        QTest::keyClick(m_view.GetSlider(), key);
        ExpectSeekTo(nTarget);
        EXPECT_EQ(m_view.GetSlider()->value(), nTarget);
    }
    Place(30);
    QWheelEvent wheel(QPointF(5, 5), QPointF(5, 5), QPoint(), QPoint(0, -240), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(m_view.GetSlider(), &wheel);
    ExpectSeekTo(28);
}

TEST_F(CorvinaViewTest, WorkerPositionsArriveQueuedAndTheWorkerNeverWaits) {
    std::thread worker([] {
        for (int i = 0; i <= 100; ++i) {
            SetSliderPosition(i);
            RepaintSlider();
        }
    });
    // The worker finishes without the interface thread running its loop.
    worker.join();
    EXPECT_EQ(m_view.GetPosition(), 100);
    EXPECT_TRUE(WaitUntil([&] { return m_view.GetSlider()->value() == 100; }));
}

TEST_F(CorvinaViewTest, PositionSetOnTheInterfaceThreadIsThereAtOnce) {
    Place(20);
    MovePosition(+5);
    EXPECT_EQ(m_view.GetPosition(), 25);
    EXPECT_EQ(m_view.GetSlider()->value(), 25);
}

TEST_F(CorvinaViewTest, WorkerDoesNotPullTheThumbFromUnderTheMouse) {
    Place(50);
    const QPoint thumb = HandleRect(50).center();
    Mouse(QEvent::MouseButtonPress, thumb, Qt::LeftButton, Qt::LeftButton);
    std::thread([] { SetSliderPosition(90); }).join();
    QCoreApplication::processEvents();
    EXPECT_EQ(m_view.GetSlider()->value(), 50);
    Mouse(QEvent::MouseButtonRelease, thumb, Qt::LeftButton, Qt::NoButton);
    // Taking the thumb without moving it moves nothing: no seek back to the
    // start of the whole percent shown.
    ExpectNoSeekAt(50);
}

TEST_F(CorvinaViewTest, AnActionThatLosesItsMouseStillEnds) {
    Place(50);
    Mouse(QEvent::MouseButtonPress, HandleRect(50).center(), Qt::LeftButton, Qt::LeftButton);
    EXPECT_EQ(g_bSliderTracking.load(), 1);
    m_view.GetSlider()->EndOpenAction();
    ExpectNoSeekAt(50);
}

TEST(CorvinaView, DestroyedViewTakesItsSliderAway) {
    ResetControlBlock();
    CCorvinaDoc document;
    {
        CCorvinaView view(document);
        EXPECT_NE(g_hTrackbar.load(), nullptr);
    }
    EXPECT_EQ(g_hTrackbar.load(), nullptr);
    SetSliderPosition(10);  // lost, harmlessly
}

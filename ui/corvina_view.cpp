// The player view.
#include "ui/corvina_view.h"

#include <QLabel>

#include "player/control_block.h"
#include "player/running_stream.h"
#include "resources/command_table.h"
#include "ui/play_progress.h"
#include "ui/position_slider.h"
#include "ui/qt_strings.h"

using namespace corvina;

namespace {

// The line under the time scale: the name on the left, the times on the
// right.
constexpr int kInfoTop = 64;
constexpr int kClockWidth = 110;

int ClampPercent(int nPosition) {
    return nPosition < 0 ? 0 : (nPosition > 100 ? 100 : nPosition);
}

}  // namespace

CCorvinaView::CCorvinaView(CDocument& document, QWidget* pParent)
    : QWidget(pParent),
      m_document(document),
      m_pSlider(new CPositionSlider(this)),
      m_idInterfaceThread(std::this_thread::get_id()) {
    m_pSlider->setGeometry(5, 5, 332, 30);
    m_pSlider->setWhatsThis(QString::fromUtf8(kSliderPrompt));
    connect(m_pSlider, &CPositionSlider::ScrollNotification, this, &CCorvinaView::OnHScroll);
    connect(m_pSlider, &QAbstractSlider::valueChanged, this,
            [this](int nValue) { m_nSliderPosition.store(nValue); });
    for (int i = 0; i < kTimeLabelCount; ++i) {
        m_apTimeLabels[i] = new QLabel(this);
        m_apTimeLabels[i]->setTextFormat(Qt::PlainText);
        m_apTimeLabels[i]->setAlignment(Qt::AlignLeft | Qt::AlignTop);
        m_apTimeLabels[i]->move(10 + 58 * i, 35);
        m_apTimeLabels[i]->hide();
    }
    m_pNameLabel = new QLabel(this);
    m_pNameLabel->setTextFormat(Qt::PlainText);
    m_pNameLabel->setGeometry(10, kInfoTop, kFrameWidth - 30 - kClockWidth, 20);
    m_pClockLabel = new QLabel(this);
    m_pClockLabel->setTextFormat(Qt::PlainText);
    m_pClockLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_pClockLabel->setGeometry(kFrameWidth - 15 - kClockWidth, kInfoTop, kClockWidth, 20);
    m_document.AddView(this);
    AttachSlider(this);
}

CCorvinaView::~CCorvinaView() {
    // After this no worker call reaches the slider.
    DetachSlider(this);
    m_document.RemoveView(this);
}

void CCorvinaView::OnUpdate() {
    m_pSlider->setEnabled(IsRunningStreamSeekable());
}

void CCorvinaView::ShowProgress(const CPlayProgress& progress) {
    // A stream from a pipe has no known playing time and so no scale.
    const double dLength = progress.GetLength();
    ShowTimeScale(dLength > 0.0, static_cast<float>(dLength));

    const QString strName = FromFileName(progress.GetTitle());
    if (strName != m_strFileName) {
        m_strFileName = strName;
        m_pNameLabel->setToolTip(strName);
        m_pNameLabel->setText(m_pNameLabel->fontMetrics().elidedText(strName, Qt::ElideMiddle,
                                                                     m_pNameLabel->width()));
    }
    QString strClock;
    if (!progress.GetPath().empty()) {
        strClock = QString::fromStdString(FormatClock(progress.GetPosition()));
        if (dLength > 0.0) {
            strClock += QStringLiteral(" / ") + QString::fromStdString(FormatClock(dLength));
        }
    }
    if (m_pClockLabel->text() != strClock) {
        m_pClockLabel->setText(strClock);
    }

    const int nState = progress.GetState();
    if (m_pSlider->isSliderDown() || g_bSliderTracking.load() != 0) {
        return;
    }
    if (progress.IsPlaying() && dLength > 0.0) {
        // The thumb stands where the sound heard is, not where the worker reads.
        m_bThumbFollowsSound = true;
        SetPosition(ClampPercent(static_cast<int>(progress.GetPosition() * 100.0 / dLength)));
    } else if (nState != PLAY_PAUSED) {
        m_bThumbFollowsSound = false;
        SetPosition(ClampPercent(g_nPosition.load()));
    }
}

void CCorvinaView::ShowTimeScale(bool bHasStream, float fPlayingTime) {
    for (int i = 0; i < kTimeLabelCount; ++i) {
        QLabel* pLabel = m_apTimeLabels[i];
        if (!bHasStream) {
            pLabel->hide();
            continue;
        }
        const QString strText = QString::fromStdString(FormatTimeLabel(i, fPlayingTime));
        if (pLabel->text() != strText) {
            pLabel->setText(strText);
            pLabel->adjustSize();
        }
        pLabel->show();
    }
}

void CCorvinaView::SetPosition(int nPosition) {
    const bool bInterfaceThread = std::this_thread::get_id() == m_idInterfaceThread;
    // While the sound heard moves the thumb, the worker's read position,
    // about a second ahead of it, does not.
    if (!bInterfaceThread && m_bThumbFollowsSound.load()) {
        return;
    }
    m_nSliderPosition.store(nPosition);
    if (bInterfaceThread) {
        ApplySliderPosition();
        return;
    }
    // From the worker: the latest value waits in m_nSliderPosition, and one
    // queued call at a time carries it over; the worker never waits.
    if (!m_bSliderUpdatePosted.exchange(true)) {
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_bSliderUpdatePosted.store(false);
                ApplySliderPosition();
            },
            Qt::QueuedConnection);
    }
}

int CCorvinaView::GetPosition() const {
    return m_nSliderPosition.load();
}

void CCorvinaView::Repaint() {
    // From the worker the queued update repaints the thumb anyway.
    if (std::this_thread::get_id() == m_idInterfaceThread) {
        m_pSlider->repaint();
    }
}

void CCorvinaView::ApplySliderPosition() {
    // The thumb stays under the user's mouse while it is held.
    if (m_pSlider->isSliderDown()) {
        return;
    }
    m_pSlider->setValue(m_nSliderPosition.load());
}

void CCorvinaView::OnHScroll(int nCode) {
    // The worker reports no position while an action is open, so the one
    // that stood when it began is where its steps count from.
    if (g_bSliderTracking.exchange(1) == 0) {
        m_nActionTarget = ClampPercent(g_nPosition.load());
        m_bActionMoved = false;
        m_bThumbDragged = false;
    }
    auto MoveTo = [this](int nPosition) {
        m_nActionTarget = ClampPercent(nPosition);
        m_bActionMoved = true;
    };
    switch (nCode) {
        case TB_LINEUP:
            MoveTo(m_nActionTarget - 1);
            break;
        case TB_LINEDOWN:
            MoveTo(m_nActionTarget + 1);
            break;
        case TB_PAGEUP:
            MoveTo(m_nActionTarget - 10);
            break;
        case TB_PAGEDOWN:
            MoveTo(m_nActionTarget + 5);
            break;
        case TB_TOP:
            MoveTo(0);
            break;
        case TB_BOTTOM:
            MoveTo(100);
            break;
        case TB_THUMBTRACK:
            m_bThumbDragged = true;
            break;
        case TB_ENDTRACK: {
            if (m_bThumbDragged) {
                MoveTo(m_pSlider->value());
            }
            const int nPosition = m_bActionMoved ? m_nActionTarget : g_nPosition.load();
            // A thumb taken and let go where it was moves nothing: a seek to
            // the whole percent shown would go back by up to one percent.
            if (m_bActionMoved) {
                // The position first, then the request, then the worker may
                // look.
                g_nPosition.store(nPosition, std::memory_order_release);
                g_bSeekPending.store(1, std::memory_order_release);
            }
            g_bSliderTracking.store(0, std::memory_order_release);
            // The thumb shows where playback goes on, also while no worker
            // runs to report it, and the others hear of the move.
            m_pSlider->setValue(ClampPercent(nPosition));
            if (m_bActionMoved) {
                ShowPosition(nPosition);
            }
            break;
        }
        default:
            break;
    }
}

// The player view.
#include "ui/corvina_view.h"

#include <QLabel>

#include "player/control_block.h"
#include "player/running_stream.h"
#include "resources/command_table.h"
#include "ui/position_slider.h"

namespace {

// 1 once the thumb has been dragged in the present slider action; the
// interface thread alone uses it.
int g_bThumbDragged = 0;

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
    m_document.AddView(this);
    AttachSlider(this);
}

CCorvinaView::~CCorvinaView() {
    // After this no worker call reaches the slider.
    DetachSlider(this);
    m_document.RemoveView(this);
}

void CCorvinaView::OnUpdate() {
    float fPlayingTime = 0.0f;
    // A stream from a pipe has no known playing time and so no scale.
    const bool bHasStream = GetRunningPlayingTime(fPlayingTime) && fPlayingTime > 0.0f;
    ShowTimeScale(bHasStream, fPlayingTime);
    m_pSlider->setEnabled(IsRunningStreamSeekable());
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
    m_nSliderPosition.store(nPosition);
    if (std::this_thread::get_id() == m_idInterfaceThread) {
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
    g_bSliderTracking.store(1);
    switch (nCode) {
        case TB_PAGEUP:
            g_nPosition.store(g_nPosition.load() - 10);
            break;
        case TB_PAGEDOWN:
            g_nPosition.store(g_nPosition.load() + 5);
            break;
        case TB_THUMBTRACK:
            g_bThumbDragged = 1;
            break;
        case TB_ENDTRACK: {
            int nPosition = g_nPosition.load();
            if (g_bThumbDragged == 1) {
                nPosition = m_pSlider->value();
                g_bThumbDragged = 0;
            }
            nPosition = ClampPercent(nPosition);
            // The position first, then the request, then the worker may look.
            g_nPosition.store(nPosition, std::memory_order_release);
            g_bSeekPending.store(1, std::memory_order_release);
            g_bSliderTracking.store(0, std::memory_order_release);
            // The thumb shows where playback goes on, also while no worker
            // runs to report it.
            m_pSlider->setValue(nPosition);
            break;
        }
        default:
            break;
    }
}

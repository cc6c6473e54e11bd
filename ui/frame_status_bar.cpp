// The status bar.
#include "ui/frame_status_bar.h"

#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QStatusBar>

#include "resources/command_table.h"

CFrameStatusBar::CFrameStatusBar(QStatusBar* pStatusBar)
    : QObject(pStatusBar),
      m_bReadLockKeys(QGuiApplication::platformName() != QLatin1String("offscreen") &&
                      QGuiApplication::platformName() != QLatin1String("minimal")) {
    pStatusBar->setSizeGripEnabled(false);
    m_pMessagePane = new QLabel(QString::fromUtf8(kIdleMessage), pStatusBar);
    pStatusBar->addWidget(m_pMessagePane, 1);
    m_pQueuePane = new QLabel(pStatusBar);
    m_pQueuePane->setAlignment(Qt::AlignCenter);
    m_pQueuePane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    m_pQueuePane->hide();
    pStatusBar->addPermanentWidget(m_pQueuePane);
    for (int nID : GetIndicators()) {
        auto* pPane = new QLabel(pStatusBar);
        pPane->setAlignment(Qt::AlignCenter);
        pPane->setFrameStyle(QFrame::Panel | QFrame::Sunken);
        pPane->setFixedWidth(
            pPane->fontMetrics().horizontalAdvance(QString::fromUtf8(IndicatorText(nID))) + 12);
        pStatusBar->addPermanentWidget(pPane);
        m_indicatorPanes[nID] = pPane;
    }
    UpdateLockKeyPanes();
    if (m_bReadLockKeys) {
        qApp->installEventFilter(this);
    }
}

void CFrameStatusBar::ShowQueuePosition(std::size_t nIndex, std::size_t nCount) {
    if (nCount < 2) {
        m_pQueuePane->hide();
        m_pQueuePane->clear();
        return;
    }
    m_pQueuePane->setText(QStringLiteral("%1 / %2").arg(nIndex + 1).arg(nCount));
    m_pQueuePane->show();
}

QLabel* CFrameStatusBar::GetIndicatorPane(int nID) const {
    const auto it = m_indicatorPanes.find(nID);
    return it == m_indicatorPanes.end() ? nullptr : it->second;
}

void CFrameStatusBar::UpdateLockKeyPanes() {
    const CLockKeyStates keys = m_bReadLockKeys ? ReadLockKeyStates() : CLockKeyStates{};
    const std::pair<int, bool> states[] = {{ID_INDICATOR_CAP, keys.bCapsLock},
                                           {ID_INDICATOR_NUM, keys.bNumLock},
                                           {ID_INDICATOR_SCRL, keys.bScrollLock}};
    for (const auto& [nID, bOn] : states) {
        if (QLabel* pPane = GetIndicatorPane(nID)) {
            const QString strText = bOn ? QString::fromUtf8(IndicatorText(nID)) : QString();
            if (pPane->text() != strText) {
                pPane->setText(strText);
            }
        }
    }
}

bool CFrameStatusBar::eventFilter(QObject* pWatched, QEvent* pEvent) {
    const QEvent::Type type = pEvent->type();
    if (type == QEvent::KeyRelease || type == QEvent::ApplicationActivate) {
        UpdateLockKeyPanes();
    }
    return QObject::eventFilter(pWatched, pEvent);
}

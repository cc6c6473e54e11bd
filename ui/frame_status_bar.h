// The status bar: the message pane (the idle text, hidden while a prompt is
// shown), the queue's pane and the panes of the lock keys to its right.
#pragma once

#include <QObject>
#include <cstddef>
#include <map>

#include "ui/lock_keys.h"

class QLabel;
class QStatusBar;

class CFrameStatusBar : public QObject {
    Q_OBJECT

  public:
    explicit CFrameStatusBar(QStatusBar* pStatusBar);

    QLabel* GetMessagePane() const { return m_pMessagePane; }
    QLabel* GetQueuePane() const { return m_pQueuePane; }
    // "2 / 7" for entry nIndex (from 0) of nCount; a queue of one shows none.
    void ShowQueuePosition(std::size_t nIndex, std::size_t nCount);
    QLabel* GetIndicatorPane(int nID) const;

  protected:
    bool eventFilter(QObject* pWatched, QEvent* pEvent) override;

  private:
    void UpdateLockKeyPanes();

    QLabel* m_pMessagePane = nullptr;
    QLabel* m_pQueuePane = nullptr;
    std::map<int, QLabel*> m_indicatorPanes;
    // Platforms without a keyboard of their own show the keys as off.
    bool m_bReadLockKeys;
};

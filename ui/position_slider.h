// The position slider: a Qt slider that reports its actions the way the
// player's scroll handler expects them, one notification code per step and a
// closing TB_ENDTRACK when the action is over.
#pragma once

#include <QSlider>

// The notification codes of a slider action.
enum : int {
    TB_LINEUP = 0,         // arrow left or up
    TB_LINEDOWN = 1,       // arrow right or down
    TB_PAGEUP = 2,         // click left of the thumb, Page Up
    TB_PAGEDOWN = 3,       // click right of the thumb, Page Down
    TB_THUMBPOSITION = 4,  // the thumb has been taken with the mouse
    TB_THUMBTRACK = 5,     // the thumb is being dragged
    TB_TOP = 6,            // Home
    TB_BOTTOM = 7,         // End
    TB_ENDTRACK = 8,       // the action is over
};

class CPositionSlider : public QSlider {
    Q_OBJECT

  public:
    explicit CPositionSlider(QWidget* pParent = nullptr);

    // Closes an action whose mouse release will not come (a modal box took
    // the mouse away), so the worker is not kept from seeking for ever.
    void EndOpenAction();
    bool IsActionOpen() const { return m_bMouseAction; }

  signals:
    void ScrollNotification(int nCode);

  protected:
    void keyPressEvent(QKeyEvent* pEvent) override;
    void mousePressEvent(QMouseEvent* pEvent) override;
    void mouseReleaseEvent(QMouseEvent* pEvent) override;
    void wheelEvent(QWheelEvent* pEvent) override;

  private:
    // One complete key or wheel action: move the thumb, tell, and end.
    void Step(int nCode, int nValue);

    bool m_bMouseAction = false;
    int m_nWheelRest = 0;
};

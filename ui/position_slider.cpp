// The position slider.
#include "ui/position_slider.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QWheelEvent>

CPositionSlider::CPositionSlider(QWidget* pParent) : QSlider(Qt::Horizontal, pParent) {
    setRange(0, 100);
    setSingleStep(1);
    setPageStep(5);
    setTickInterval(5);
    setTickPosition(QSlider::TicksBelow);

    // Clicks beside the thumb arrive as page actions, repeated while the
    // button is held.
    connect(this, &QAbstractSlider::actionTriggered, this, [this](int nAction) {
        if (nAction == QAbstractSlider::SliderPageStepSub) {
            emit ScrollNotification(TB_PAGEUP);
        } else if (nAction == QAbstractSlider::SliderPageStepAdd) {
            emit ScrollNotification(TB_PAGEDOWN);
        }
    });
    // Taking the thumb opens the action, so the worker stops moving the
    // thumb under the mouse; moving it makes the action a drag.
    connect(this, &QAbstractSlider::sliderPressed, this,
            [this] { emit ScrollNotification(TB_THUMBPOSITION); });
    connect(this, &QAbstractSlider::sliderMoved, this,
            [this] { emit ScrollNotification(TB_THUMBTRACK); });
}

void CPositionSlider::EndOpenAction() {
    if (!m_bMouseAction) {
        return;
    }
    m_bMouseAction = false;
    setRepeatAction(SliderNoAction);
    setSliderDown(false);
    emit ScrollNotification(TB_ENDTRACK);
}

void CPositionSlider::Step(int nCode, int nValue) {
    setValue(nValue);
    emit ScrollNotification(nCode);
    emit ScrollNotification(TB_ENDTRACK);
}

void CPositionSlider::keyPressEvent(QKeyEvent* pEvent) {
    // The keys of a position bar: left and up go back, Page Up pages back.
    switch (pEvent->key()) {
        case Qt::Key_Left:
        case Qt::Key_Up:
            Step(TB_LINEUP, value() - singleStep());
            break;
        case Qt::Key_Right:
        case Qt::Key_Down:
            Step(TB_LINEDOWN, value() + singleStep());
            break;
        case Qt::Key_PageUp:
            Step(TB_PAGEUP, value() - pageStep());
            break;
        case Qt::Key_PageDown:
            Step(TB_PAGEDOWN, value() + pageStep());
            break;
        case Qt::Key_Home:
            Step(TB_TOP, minimum());
            break;
        case Qt::Key_End:
            Step(TB_BOTTOM, maximum());
            break;
        default:
            pEvent->ignore();
            return;
    }
    pEvent->accept();
}

void CPositionSlider::mousePressEvent(QMouseEvent* pEvent) {
    if (!m_bMouseAction &&
        (pEvent->button() == Qt::LeftButton || pEvent->button() == Qt::MiddleButton)) {
        m_bMouseAction = true;
    }
    QSlider::mousePressEvent(pEvent);
}

void CPositionSlider::mouseReleaseEvent(QMouseEvent* pEvent) {
    QSlider::mouseReleaseEvent(pEvent);
    if (m_bMouseAction && pEvent->buttons() == Qt::NoButton) {
        m_bMouseAction = false;
        emit ScrollNotification(TB_ENDTRACK);
    }
}

void CPositionSlider::wheelEvent(QWheelEvent* pEvent) {
    const QPoint delta = pEvent->angleDelta();
    m_nWheelRest += delta.y() != 0 ? delta.y() : delta.x();
    // One step per notch of 120; finer wheels add up until they make one.
    while (m_nWheelRest >= 120) {
        m_nWheelRest -= 120;
        Step(TB_LINEDOWN, value() + singleStep());
    }
    while (m_nWheelRest <= -120) {
        m_nWheelRest += 120;
        Step(TB_LINEUP, value() - singleStep());
    }
    pEvent->accept();
}

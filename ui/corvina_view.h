// The player view: the position slider with the time scale under it, and the
// open file's name with its elapsed and total time below.
#pragma once

#include <QWidget>
#include <atomic>
#include <thread>

#include "platform/document.h"
#include "platform/slider.h"
#include "ui/time_scale.h"

class QLabel;
class CPlayProgress;
class CPositionSlider;

class CCorvinaView : public QWidget, public CView, public CSlider {
    Q_OBJECT

  public:
    // The view height that the main window is sized for.
    static constexpr int kViewHeight = 110;
    static constexpr int kFrameWidth = 352;

    explicit CCorvinaView(CDocument& document, QWidget* pParent = nullptr);
    ~CCorvinaView() override;

    // The document's request to show its present state: the slider moves
    // only a stream that can seek.
    void OnUpdate() override;

    // The slider as the engine sees it. SetPosition may come from the
    // worker: it never waits for the interface thread.
    void SetPosition(int nPosition) override;
    int GetPosition() const override;
    void Repaint() override;

    // The time scale of a stream of fPlayingTime seconds; hidden without one.
    void ShowTimeScale(bool bHasStream, float fPlayingTime);
    // The file's name, its times and scale; a stopped file's thumb stands
    // where the next play starts.
    void ShowProgress(const CPlayProgress& progress);
    // Turns a slider action into a seek request.
    void OnHScroll(int nCode);

    CPositionSlider* GetSlider() const { return m_pSlider; }
    QLabel* GetTimeLabel(int nIndex) const { return m_apTimeLabels[nIndex]; }
    QLabel* GetNameLabel() const { return m_pNameLabel; }
    QLabel* GetClockLabel() const { return m_pClockLabel; }

  private:
    void ApplySliderPosition();

    CDocument& m_document;
    CPositionSlider* m_pSlider;
    QLabel* m_apTimeLabels[kTimeLabelCount];
    QLabel* m_pNameLabel;
    QLabel* m_pClockLabel;
    QString m_strFileName;
    // The position that a slider action under way leads to, and whether
    // the action has moved it or dragged the thumb at all.
    int m_nActionTarget = 0;
    bool m_bActionMoved = false;
    bool m_bThumbDragged = false;
    // The thumb's position as the engine last set or the user left it.
    std::atomic<int> m_nSliderPosition{0};
    // One queued update at a time carries the worker's latest position.
    std::atomic<bool> m_bSliderUpdatePosted{false};
    std::thread::id m_idInterfaceThread;
    // Set while a playing stream's heard position drives the thumb.
    std::atomic<bool> m_bThumbFollowsSound{false};
};

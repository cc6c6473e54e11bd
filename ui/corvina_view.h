// The player view: the position slider with the time scale under it.
#pragma once

#include <QWidget>
#include <atomic>
#include <thread>

#include "platform/document.h"
#include "platform/slider.h"
#include "ui/time_scale.h"

class QLabel;
class CPositionSlider;

class CCorvinaView : public QWidget, public CView, public CSlider {
    Q_OBJECT

  public:
    // The view height that the main window is sized for.
    static constexpr int kViewHeight = 110;
    static constexpr int kFrameWidth = 352;

    explicit CCorvinaView(CDocument& document, QWidget* pParent = nullptr);
    ~CCorvinaView() override;

    // The document's request to show its present state: redraws the time
    // scale of the running stream, or hides it when none runs.
    void OnUpdate() override;

    // The slider as the engine sees it. SetPosition may come from the
    // worker: it never waits for the interface thread.
    void SetPosition(int nPosition) override;
    int GetPosition() const override;
    void Repaint() override;

    // The time scale of a stream of fPlayingTime seconds; hidden without one.
    void ShowTimeScale(bool bHasStream, float fPlayingTime);
    // Turns a slider action into a seek request.
    void OnHScroll(int nCode);

    CPositionSlider* GetSlider() const { return m_pSlider; }
    QLabel* GetTimeLabel(int nIndex) const { return m_apTimeLabels[nIndex]; }

  private:
    void ApplySliderPosition();

    CDocument& m_document;
    CPositionSlider* m_pSlider;
    QLabel* m_apTimeLabels[kTimeLabelCount];
    // The thumb's position as the engine last set or the user left it.
    std::atomic<int> m_nSliderPosition{0};
    // One queued update at a time carries the worker's latest position.
    std::atomic<bool> m_bSliderUpdatePosted{false};
    std::thread::id m_idInterfaceThread;
};

// The position slider as the engine sees it.
#pragma once

class CSlider {
  public:
    virtual ~CSlider() = default;
    // Moves the thumb to 0..100 and redraws it. May be called from the worker
    // thread; an implementation must not block it for long.
    virtual void SetPosition(int nPosition) = 0;
    virtual int GetPosition() const = 0;
    // Repaints the slider at once.
    virtual void Repaint() = 0;
};

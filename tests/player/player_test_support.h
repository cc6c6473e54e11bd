// What the playback tests share: a slider that can stop the worker inside a
// position report, a view that counts its refreshes, waits with a bound, and
// the streams they play.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/document.h"
#include "platform/slider.h"
#include "player/control_block.h"

class CTempDir;

// Attaches itself for its lifetime. Every position the worker reports is
// kept; a gate set with StopWorkerWhen holds the worker inside the first
// report that meets it until LetGo.
class CTestSlider : public CSlider {
  public:
    CTestSlider();
    ~CTestSlider() override;
    CTestSlider(const CTestSlider&) = delete;
    CTestSlider& operator=(const CTestSlider&) = delete;

    void SetPosition(int nPosition) override;
    int GetPosition() const override;
    void Repaint() override {}

    // Attaches the slider again after the control block was reset.
    void Attach() { AttachSlider(this); }
    // One-shot: the next worker report for which fnWhen is true waits. Set
    // it before the worker can get there: an unpaced worker runs through a
    // whole stream in moments.
    void StopWorkerWhen(std::function<bool(int nPosition)> fnWhen);
    // True once the worker stands in a report held by the gate.
    bool WaitForStoppedWorker(int nTimeoutMs = 60000);
    // Lets the held worker go on; a gate set meanwhile stays armed.
    void LetGo();
    // Positions from the worker, in order.
    std::vector<int> WorkerPositions() const;

  private:
    mutable std::mutex m_lock;
    std::condition_variable m_changed;
    int m_nPosition = 0;
    std::vector<int> m_workerPositions;
    std::function<bool(int)> m_fnWhen;
    bool m_bHolding = false;
};

class CCountingView : public CView {
  public:
    void OnUpdate() override { ++m_nUpdates; }
    int m_nUpdates = 0;  // the interface thread alone refreshes views
};

// Polls every 2 ms; false when the time ran out first.
bool WaitUntil(const std::function<bool()>& fnDone, int nTimeoutMs = 60000);
// The worker has returned and the state says so.
bool WaitForWorkerEnd(int nTimeoutMs = 60000);
// A gate for the first report at or past nPercent.
std::function<bool(int)> AtPercent(int nPercent);
// Once the worker stands at the armed gate: Pause, arm the next gate, let the
// worker go and wait until the hold has it. The caller resumes.
bool PauseAtGate(CDocument& document, CTestSlider& slider,
                 std::function<bool(int)> fnNextGate = nullptr);

// The bundled sample: 20 s of Layer II stereo at 44.1 kHz.
std::string SamplePath();
// The sample's first nBytes, as a stream of its own in dir.
std::string SampleCut(const CTempDir& dir, std::size_t nBytes, const std::string& strName);
// nFrames of Layer I single channel, each frame unlike the ones around it.
std::vector<uint8_t> VariedLayer1MonoStream(int nFrames);

// Whether the played PCM from sample nFrom on is the decoded PCM from sample
// nDecodedFrom to its end (interleaved samples both), followed by silence only.
bool PlaysTail(const std::vector<int16_t>& played, std::size_t nFrom,
               const std::vector<int16_t>& decoded, std::size_t nDecodedFrom);

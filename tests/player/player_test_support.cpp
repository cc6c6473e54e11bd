// Support for the playback tests.
#include "tests/player/player_test_support.h"

#include <algorithm>
#include <chrono>
#include <thread>

#include "platform/worker_thread.h"
#include "player/control_block.h"
#include "player/playback_control.h"
#include "resources/resource_ids.h"
#include "tests/support/stream_builder.h"
#include "tests/support/temp_dir.h"

using namespace corvina;

CTestSlider::CTestSlider() {
    AttachSlider(this);
}

CTestSlider::~CTestSlider() {
    StopWorkerWhen(nullptr);
    LetGo();
    DetachSlider(this);
}

void CTestSlider::SetPosition(int nPosition) {
    std::unique_lock<std::mutex> lock(m_lock);
    m_nPosition = nPosition;
    if (CWorkerThread::Current() == nullptr) {
        return;
    }
    m_workerPositions.push_back(nPosition);
    if (m_fnWhen && m_fnWhen(nPosition)) {
        m_fnWhen = nullptr;
        m_bHolding = true;
        m_changed.notify_all();
        m_changed.wait(lock, [this] { return !m_bHolding; });
    }
}

int CTestSlider::GetPosition() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_nPosition;
}

void CTestSlider::StopWorkerWhen(std::function<bool(int)> fnWhen) {
    std::lock_guard<std::mutex> lock(m_lock);
    m_fnWhen = std::move(fnWhen);
}

bool CTestSlider::WaitForStoppedWorker(int nTimeoutMs) {
    std::unique_lock<std::mutex> lock(m_lock);
    return m_changed.wait_for(lock, std::chrono::milliseconds(nTimeoutMs),
                              [this] { return m_bHolding; });
}

void CTestSlider::LetGo() {
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_bHolding = false;
    }
    m_changed.notify_all();
}

std::vector<int> CTestSlider::WorkerPositions() const {
    std::lock_guard<std::mutex> lock(m_lock);
    return m_workerPositions;
}

bool WaitUntil(const std::function<bool()>& fnDone, int nTimeoutMs) {
    const auto tEnd = std::chrono::steady_clock::now() + std::chrono::milliseconds(nTimeoutMs);
    while (!fnDone()) {
        if (std::chrono::steady_clock::now() > tEnd) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

bool WaitForWorkerEnd(int nTimeoutMs) {
    return WaitUntil(
        [] {
            const int nState = g_nPlayState;
            return (nState == PLAY_ENDED || nState == PLAY_INVALID) && !IsWorkerRunning();
        },
        nTimeoutMs);
}

std::function<bool(int)> AtPercent(int nPercent) {
    return [nPercent](int nPosition) { return nPosition >= nPercent; };
}

bool PauseAtGate(CDocument& document, CTestSlider& slider, std::function<bool(int)> fnNextGate) {
    if (!slider.WaitForStoppedWorker()) {
        return false;
    }
    const bool bPaused = document.ExecuteCommand(ID_PLAY_PAUSE);
    slider.StopWorkerWhen(std::move(fnNextGate));
    slider.LetGo();
    return bPaused && g_nPlayState == PLAY_PAUSED && WaitUntil([] {
               const CWorkerThread* pWorker = g_pPlayThread.load();
               return pWorker != nullptr && pWorker->IsWaitingInHold();
           });
}

std::string SamplePath() {
    return std::string(CORVINA_SAMPLES_DIR) + "/corvina-sample.mp2";
}

std::string SampleCut(const CTempDir& dir, std::size_t nBytes, const std::string& strName) {
    std::vector<uint8_t> bytes = ReadFileBytes(SamplePath());
    bytes.resize(std::min(bytes.size(), nBytes));
    return dir.Write(strName, bytes);
}

std::vector<uint8_t> VariedLayer1MonoStream(int nFrames) {
    std::vector<uint8_t> bytes;
    for (int i = 0; i < nFrames; ++i) {
        CFrameShape frame;
        frame.nLayer = 1;
        frame.nMode = 3;
        frame.nBitrateIndex = 10;
        frame.SetAll(4 + i % 3, 2 + (i * 7) % 20, static_cast<uint32_t>((i * 5 + 3) % 31), 20);
        Append(bytes, BuildFrame(frame));
    }
    return bytes;
}

bool PlaysTail(const std::vector<int16_t>& played, std::size_t nFrom,
               const std::vector<int16_t>& decoded, std::size_t nDecodedFrom) {
    if (nDecodedFrom > decoded.size() || nFrom + (decoded.size() - nDecodedFrom) > played.size()) {
        return false;
    }
    const auto itPlayed = played.begin() + static_cast<long>(nFrom);
    const auto itEnd = itPlayed + static_cast<long>(decoded.size() - nDecodedFrom);
    return std::equal(decoded.begin() + static_cast<long>(nDecodedFrom), decoded.end(), itPlayed) &&
           std::all_of(itEnd, played.end(), [](int16_t n) { return n == 0; });
}

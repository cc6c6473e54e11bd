// The headless player of a list of files: which file plays, what the engine
// did with it, what the keys ask, and the text of the status line.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "decoder/audio_decoder.h"
#include "player/engine_events.h"

class CCorvinaDoc;
class CStatusLine;

class CTerminalPlayer : public CEngineListener {
  public:
    // fnWake is called on the engine's threads whenever something changed;
    // pStatus is null when no terminal shows a status line.
    CTerminalPlayer(CCorvinaDoc& document, std::vector<std::string> files, bool bLoop,
                    std::function<void()> fnWake, CStatusLine* pStatus);
    ~CTerminalPlayer() override;
    CTerminalPlayer(const CTerminalPlayer&) = delete;
    CTerminalPlayer& operator=(const CTerminalPlayer&) = delete;

    void OnPlayStateChanged(int) override { m_fnWake(); }
    void OnDecoderChanged(bool bHasDecoder, float fPlayingTime) override;
    void OnHeardTimeChanged(const CHeardTime& heard) override;
    // A live stream whose connection was lost did not play to its end.
    void OnLiveStateChanged(corvina::ELiveState eState) override {
        if (eState == corvina::ELiveState::Lost) {
            m_bLiveLost = true;
        }
    }

    // Plays the first file that can be opened, from start.
    void Start(const corvina::CStartPoint& start);
    // Takes in what the engine did: a file that ended or failed moves the
    // list on. False once the list is done or the device failed.
    bool Update();
    // Carries out a key; false when it asks to quit.
    bool HandleKey(int nKey);
    // The status line in at most nColumns display columns; pszEnded in place
    // of the play state once playback has ended that way.
    std::string StatusText(int nColumns, const char* pszEnded = nullptr);
    // Milliseconds until the time shown changes (its next tenth), at most
    // nMaxMs: the line is redrawn then, so it changes with the sound.
    int MsUntilTimeChanges(int nMaxMs);
    // 0 when every file played, 1 when one could not be used.
    int ExitStatus() const { return m_bFailed || m_bLiveLost ? 1 : 0; }

  private:
    using CClock = std::chrono::steady_clock;

    std::atomic<bool> m_bLiveLost{false};

    // Plays file nIndex, or the first after it in direction nStep that can be
    // opened; false when the list ran out.
    bool PlayFrom(int nIndex, int nStep, const corvina::CStartPoint& start);
    bool Advance(int nStep);
    void AnnounceName();
    void AnnounceFormat();
    void TogglePause();
    void ToggleMute();
    void ToggleSmooth();
    void NextTrack();
    // Starts the file again where it is heard, as it is set up now.
    void RestartWhereHeard();
    void ShowVolume();
    double HeardSeconds();

    CCorvinaDoc& m_document;
    std::vector<std::string> m_files;
    bool m_bLoop;
    std::function<void()> m_fnWake;
    CStatusLine* m_pStatus;
    int m_nIndex = 0;
    bool m_bDone = false;
    bool m_bFailed = false;
    // A pass through the list played something: loop play goes round again.
    bool m_bPlayedThisPass = false;
    CClock::time_point m_volumeShownUntil{};

    std::mutex m_lock;  // the engine's reports below
    float m_fPlayingTime = -1.0f;
    CHeardTime m_heard;
};

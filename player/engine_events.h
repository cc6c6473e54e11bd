// The engine events: what the worker and the control operations changed,
// told to the front ends that listen, so none of them has to poll the
// control block.
#pragma once

#include <chrono>
#include <memory>
#include <string>

#include "decoder/track_info.h"
#include "synth/caller_hooks.h"

// The time of the sound heard: the second of the stream that the device
// plays, as measured at a moment. While playback runs it moves on with the
// clock from there, but never past the end of what the device was given.
struct CHeardTime {
    using CClock = std::chrono::steady_clock;
    double dSeconds = 0.0;
    double dLimit = 0.0;  // where the sound handed to the device ends
    CClock::time_point at{};
    bool bMoving = false;
    // The second heard at the moment now.
    double At(CClock::time_point now) const;
};

// A front end's ear on the engine. Each call comes on the thread that made
// the change (the worker or the interface thread) and must return at once:
// the engine never waits on a front end. A listener must not add or remove
// listeners from inside a call.
class CEngineListener {
  public:
    virtual ~CEngineListener() = default;
    // g_nPlayState is now nState.
    virtual void OnPlayStateChanged(int /*nState*/) {}
    // g_nPosition is now nPosition, whole percent 0..100.
    virtual void OnPositionChanged(int /*nPosition*/) {}
    // A decoder has come, playing fPlayingTime seconds, or has gone; without
    // a decoder, a playing time above 0 is that of the file just opened.
    virtual void OnDecoderChanged(bool /*bHasDecoder*/, float /*fPlayingTime*/) {}
    // The sound heard was measured anew, or it stopped or went on moving.
    virtual void OnHeardTimeChanged(const CHeardTime& /*heard*/) {}
    // What plays, as the tags of the stream about to start tell it; told
    // before the decoder comes.
    virtual void OnTrackInfoChanged(const std::shared_ptr<const corvina::CTrackInfo>& /*pInfo*/) {}
    // The title on air of the live stream that plays is now strTitle (empty:
    // none, or no live stream any more).
    virtual void OnLiveTitleChanged(const std::string& /*strTitle*/) {}
    // The live stream that plays is buffering, playing, reconnecting or lost.
    virtual void OnLiveStateChanged(corvina::ELiveState /*eState*/) {}
};

void AddEngineListener(CEngineListener* pListener);
// Once this returns, no call reaches the listener any more.
void RemoveEngineListener(CEngineListener* pListener);

// The tellers. The state and the position are read inside the listeners'
// lock, so when two threads change them at once the last call a listener
// gets carries the value that stands.
void NotifyPlayStateChanged();
void NotifyPositionChanged();
void NotifyDecoderChanged(bool bHasDecoder, float fPlayingTime);
void NotifyTrackInfoChanged(std::shared_ptr<const corvina::CTrackInfo> pInfo);
// The sound heard is at dSeconds now, and what was handed over ends at
// dLimit; it moves on while the play state is a playing one.
void NotifyHeardTime(double dSeconds, double dLimit);
// Tells the last heard time again as it stands now, moving or not as the play
// state now says: for a pause and a resume.
void RenewHeardTime();
// The last heard time told.
CHeardTime GetHeardTime();
// What a live stream told: its title on air and its state, as they stand;
// the state goes back to Playing and the title to none as a stream ends.
void NotifyLiveTitleChanged(const std::string& strTitle);
void NotifyLiveStateChanged(corvina::ELiveState eState);
std::string GetLiveTitle();
corvina::ELiveState GetLiveState();

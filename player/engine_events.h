// The engine events: what the worker and the control operations changed,
// told to the front ends that listen, so none of them has to poll the
// control block.
#pragma once

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
    // A decoder has come, playing fPlayingTime seconds, or has gone.
    virtual void OnDecoderChanged(bool /*bHasDecoder*/, float /*fPlayingTime*/) {}
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

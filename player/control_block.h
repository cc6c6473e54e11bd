// The playback control block: the state that the interface thread and the
// worker share. Every variable is read and written whole.
#pragma once

#include <atomic>
#include <mutex>

namespace corvina {
class CAudioDecoder;
}  // namespace corvina
class CAutoResetEvent;
class CSlider;
class CWorkerThread;

enum : int {
    PLAY_IDLE = 0,
    PLAY_STARTED = 1,
    PLAY_RESUMED = 2,
    PLAY_STOPPING = 3,
    PLAY_PAUSED = 4,
    PLAY_ENDED = 5,
    PLAY_INVALID = 7,
};

extern std::atomic<int> g_nPlayState;
extern std::atomic<corvina::CAudioDecoder*> g_pDecoder;
extern std::atomic<CWorkerThread*> g_pPlayThread;
// Whole percent of the file's bytes, 0..100. A seek request stores the
// position, then the flag with release; the worker loads the flag with
// acquire, then the position.
extern std::atomic<int> g_nPosition;
extern std::atomic<int> g_bSeekPending;
// A seek to seconds of the playing time rather than to g_nPosition percent:
// stored before g_bSeekPending, negative when the seek is by percent.
extern std::atomic<double> g_dSeekSeconds;
// Set by the worker when the wave output could open no device for the
// stream; cleared by the next start.
extern std::atomic<int> g_bDeviceFailed;
extern std::atomic<int> g_bSliderTracking;
extern std::atomic<int> g_bLoopPlay;
extern std::atomic<int> g_bSmoothPlay;
// How the worker decodes: 0 where damaged frames play as they stand (or as
// silence); the programme of dual-channel frames, an EDualChannel.
extern std::atomic<int> g_bConcealFrames;
extern std::atomic<int> g_nDualChannel;
// Set by the worker while the frame in hand is dual channel.
extern std::atomic<int> g_bDualChannelStream;
// 0 while a stream that cannot seek (standard input, a pipe) plays.
extern std::atomic<int> g_bSeekable;
extern std::atomic<CSlider*> g_hTrackbar;
extern std::atomic<CAutoResetEvent*> g_hReadyEvent;
extern std::atomic<CAutoResetEvent*> g_hGoEvent;

// Keeps the decoder that g_pDecoder names alive: the worker takes it to
// publish or delete the decoder, the interface thread to read it. Never held
// while a message is shown.
extern std::mutex g_DecoderLock;

// Calls on g_hTrackbar go through these, under a lock that the view also
// takes when it attaches or detaches its slider; without a slider they do
// nothing.
void SetSliderPosition(int nPosition);
void RepaintSlider();
void AttachSlider(CSlider* pSlider);
void DetachSlider(CSlider* pSlider);

// Every change of g_nPlayState outside tests goes through these two, which
// tell the engine listeners.
void SetPlayState(int nState);
// Moves the state only if nobody moved it meanwhile (the worker may be
// ending at the same moment); true, and told, when it moved.
bool MovePlayState(int nFrom, int nTo);
// Moves the slider to nPosition and tells the listeners that the position
// moved.
void ShowPosition(int nPosition);

// Sets every variable back to its value at program start (for tests).
void ResetControlBlock();

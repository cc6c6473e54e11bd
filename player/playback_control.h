// The control operations that start, pause, resume and stop the worker and
// move the playing position; all run on the interface thread.
#pragma once

#include <memory>
#include <string>

#include "decoder/audio_decoder.h"

class CDocument;

// How a start tells that its file proved to be no audio stream: through the
// message presenter, as for a file the user chose to play, or as a warning
// line on standard error, for an entry that the queue went on to.
enum class EInvalidNotice { Presenter, Console };

// States 0, 3 and 5: starts a worker for the document's file and waits at
// most 2000 ms for it to come up. A worker still running from an earlier
// start is waited for first, so two workers never overlap. A start point
// given begins the first run there instead of at the position. False when
// no worker could be started.
bool StartPlayback(CDocument& document, const corvina::CStartPoint& start = {},
                   EInvalidNotice notice = EInvalidNotice::Presenter);
// States 1 and 2: holds the worker and the sound at once, state 4, loop
// play off.
// The ReplayGain that each stream started from now on plays with; off at
// first.
void SetReplayGainMode(corvina::EReplayGain eMode);
corvina::EReplayGain GetReplayGainMode();
void PausePlayback();
// State 4: lets the sound and the worker go on, state 2.
void ResumePlayback();
// Any state: position 0, asks the worker to end and waits at most ten sleeps
// of 1 ms for it.
void StopPlayback();
// Adds nDelta to the position, clamped to 0..100, moves the slider and asks
// the worker to seek there; what is queued is dropped.
void MovePosition(int nDelta);
// Asks the worker to move to dSeconds of the playing time (clamped to it),
// and shows that time as heard at once.
void MoveToTime(double dSeconds);
// The same, dDelta seconds from the sound heard now.
void MoveByTime(double dDelta);
// The wave output's report that the sound device could not be used or
// failed; the stream then ends without a loop restart.
void NoteDeviceFailure();
// True when the device failed since the last start.
bool HasPlaybackFailed();
// True while a worker started by StartPlayback has not yet returned.
bool IsWorkerRunning();
// How long a stopped worker may take to end before a start or an open gives up.
constexpr int kWorkerEndMs = 2000;
// Lets a held worker go and waits at most nTimeoutMs for the worker of the
// previous start to return; false when it still runs.
bool RetireWorker(int nTimeoutMs);
// Ends the worker in any state (paused or showing a message included) and
// waits for it; for closing the document and quitting.
void ShutdownPlayback();

// The events of one start, shared by StartPlayback and its worker.
struct CStartHandshake;

// The worker's body: plays the file until it ends, is stopped, or fails;
// with loop play it starts the file again at its end. The handshake is null
// when nobody waits for the worker.
unsigned PlayThreadProc(const std::string& strPath, std::shared_ptr<CStartHandshake> pHandshake,
                        corvina::CStartPoint start = {},
                        EInvalidNotice notice = EInvalidNotice::Presenter);

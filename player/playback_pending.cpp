// Placeholder control operations until the worker is built: the states move
// as the commands ask, but nothing plays.
#include "player/control_block.h"
#include "player/playback_control.h"
#include "player/running_stream.h"

void StartPlayback(CDocument&) {
    g_nPlayState = PLAY_STARTED;
}
void PausePlayback() {
    g_nPlayState = PLAY_PAUSED;
    g_bLoopPlay = 0;
}
void ResumePlayback() {
    g_nPlayState = PLAY_RESUMED;
}
void StopPlayback() {
    g_nPosition = 0;
    const int nState = g_nPlayState;
    if (nState == PLAY_STARTED || nState == PLAY_RESUMED || nState == PLAY_PAUSED) {
        g_nPlayState = PLAY_ENDED;
        g_bLoopPlay = 0;
    }
}
void MovePosition(int nDelta) {
    int nPosition = g_nPosition + nDelta;
    nPosition = nPosition < 0 ? 0 : (nPosition > 100 ? 100 : nPosition);
    g_nPosition = nPosition;
    SetSliderPosition(nPosition);
    g_bSeekPending.store(1, std::memory_order_release);
}
bool IsWorkerRunning() {
    return false;
}
void ShutdownPlayback() {
    StopPlayback();
}
unsigned PlayThreadProc(const std::string&, CDocument*) {
    return 0;
}
bool GetRunningPlayingTime(float&) {
    return false;
}
bool ShowRunningStreamInfo() {
    return false;
}

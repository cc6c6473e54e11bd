// What the player hands the decoder: the control block's stop, the message
// stream for warnings, and the wave output as the sink.
#pragma once

#include "decoder/audio_decoder.h"

// A warning shown to the user through the message stream.
void ShowWarningText(const std::string& strText);
// "Invalid Audio Stream", with strReason (the decoder's FailureReason) as a
// second sentence where it is known.
void ShowInvalidStream(const std::string& strReason);
// True while a stop is in progress, or once the program is being ended.
bool IsPlaybackStopping();
// The program is being ended (Ctrl+C): every search and wait of the worker
// gives up at once, as for a stop, before the stop itself comes. Safe in a
// signal handler.
void InterruptPlayback();
bool IsPlaybackInterrupted();
// The track that playback takes of a container with several (the command
// line's, or the one the user switched to); safe from any thread.
void SetPlayerTrackChoice(const corvina::CTrackChoice& choice);
corvina::CTrackChoice GetPlayerTrackChoice();
// strTitle names the stream in the desktop's mixer.
corvina::CAudioDecoder::CHooks MakePlayerDecoderHooks(const std::string& strTitle);

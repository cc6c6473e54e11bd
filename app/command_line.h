// The command line of corvina.
#pragma once

#include <string>
#include <vector>

#include "decoder/audio_decoder.h"
#include "player/audio_choices.h"

enum class ERunMode {
    Window,   // corvina [FILE...]
    Play,     // --play FILE...
    Wav,      // --wav OUT FILE
    Raw,      // --raw OUT FILE
    Info,     // --info FILE...
    Help,     // --help
    Version,  // --version
};

struct CCommandLine {
    ERunMode mode = ERunMode::Window;
    std::string strFile;             // the first of files, or empty
    std::vector<std::string> files;  // the streams to open, play, decode or describe
    // Indexes into files of those given with -@ or --list: playlists,
    // whatever their names.
    std::vector<std::size_t> listed;
    std::string strOutput;  // --wav or --raw: the file to write, "-" for standard output
    std::string strDevice;  // --output: empty when not given
    bool bLoop = false;
    bool bSmooth = false;
    corvina::CStartPoint start;   // --start: where --wav, --raw and the first file of --play begin
    int nThreads = 0;             // --threads: cores that --wav and --raw use; 0 for all
    corvina::CTrackChoice track;  // --track, --audio-lang: the track of a container
    // --replaygain: off unless given; --wav and --raw apply it only when given.
    corvina::EReplayGain eReplayGain = corvina::EReplayGain::Off;
    corvina::CDecodeChoices choices;  // --conceal, --channel
    // Given on the command line: the window's kept setting gives way for
    // this run.
    bool bReplayGainGiven = false;
    bool bChannelGiven = false;
};

// Exit statuses.
enum : int {
    EXIT_DECODED = 0,
    EXIT_UNUSABLE = 1,
    EXIT_USAGE = 2,
};

// False with a one-line reason when the arguments cannot be used.
bool ParseCommandLine(int argc, const char* const* argv, CCommandLine& commandLine,
                      std::string& strError);

// Reads a start time: seconds ("83.5"), minutes and seconds ("1:23.5") or a
// percentage of the playing time ("40%"); false when TEXT is none of them.
bool ParseStartPoint(const std::string& strText, corvina::CStartPoint& start);

// The text of --help.
std::string UsageText();

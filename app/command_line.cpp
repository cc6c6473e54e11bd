// Parsing the command line.
#include "app/command_line.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "app/terminal_keys.h"
#include "decoder/segment_decoder.h"
#include "platform/wave_device.h"

using namespace corvina;

namespace {

bool SetMode(CCommandLine& commandLine, ERunMode mode, bool& bModeSet, std::string& strError) {
    if (bModeSet) {
        strError = "only one of --play, --wav, --raw, --info, --help and --version may be given";
        return false;
    }
    commandLine.mode = mode;
    bModeSet = true;
    return true;
}

// A whole non-negative decimal number, nothing before or after it.
bool ParseNumber(std::string_view text, double& dValue) {
    if (text.empty() || text[0] == '-' || text[0] == '+') {
        return false;
    }
    const auto result =
        std::from_chars(text.data(), text.data() + text.size(), dValue, std::chars_format::fixed);
    // inf and nan read as numbers too, but are no time.
    return result.ec == std::errc() && result.ptr == text.data() + text.size() &&
           std::isfinite(dValue);
}

}  // namespace

bool ParseStartPoint(const std::string& strText, CStartPoint& start) {
    std::string_view text(strText);
    start = CStartPoint{};
    if (!text.empty() && text.back() == '%') {
        start.bPercent = true;
        return ParseNumber(text.substr(0, text.size() - 1), start.dValue) && start.dValue <= 100;
    }
    const std::size_t nColon = text.find(':');
    if (nColon == std::string_view::npos) {
        return ParseNumber(text, start.dValue);
    }
    double dMinutes = 0;
    double dSeconds = 0;
    if (!ParseNumber(text.substr(0, nColon), dMinutes) ||
        dMinutes != static_cast<double>(static_cast<long long>(dMinutes)) ||
        !ParseNumber(text.substr(nColon + 1), dSeconds) || dSeconds >= 60) {
        return false;
    }
    start.dValue = dMinutes * 60 + dSeconds;
    return true;
}

namespace {

// The options that take a value, given as "--option VALUE" or "--option=VALUE".
bool TakesValue(std::string_view option) {
    return option == "--wav" || option == "--raw" || option == "--output" || option == "--start" ||
           option == "--threads" || option == "--list" || option == "-@" ||
           option == "--replaygain" || option == "--conceal" || option == "--channel" ||
           option == "--track" || option == "--audio-lang";
}

}  // namespace

bool ParseCommandLine(int argc, const char* const* argv, CCommandLine& commandLine,
                      std::string& strError) {
    commandLine = CCommandLine{};
    std::vector<std::string>& files = commandLine.files;
    bool bModeSet = false;
    bool bOptionsEnded = false;
    bool bStartGiven = false;
    bool bThreadsGiven = false;
    bool bListGiven = false;
    bool bTrackGiven = false;
    for (int i = 1; i < argc; ++i) {
        std::string_view arg(argv[i]);
        if (bOptionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
            files.emplace_back(arg);
            continue;
        }
        if (arg == "--") {
            bOptionsEnded = true;
            continue;
        }
        // The value of an option that takes one: after '=' or the next word.
        std::string strValue;
        bool bHasValue = false;
        if (const std::size_t nEquals = arg.find('=');
            arg.starts_with("--") && nEquals != arg.npos) {
            strValue = std::string(arg.substr(nEquals + 1));
            arg = arg.substr(0, nEquals);
            bHasValue = true;
            if (!TakesValue(arg)) {
                strError = std::string(arg) + " takes no value";
                return false;
            }
        } else if (TakesValue(arg) && i + 1 < argc) {
            strValue = argv[++i];
            bHasValue = true;
        }
        if (arg == "--help" || arg == "-h") {
            if (!SetMode(commandLine, ERunMode::Help, bModeSet, strError))
                return false;
        } else if (arg == "--version") {
            if (!SetMode(commandLine, ERunMode::Version, bModeSet, strError))
                return false;
        } else if (arg == "--play") {
            if (!SetMode(commandLine, ERunMode::Play, bModeSet, strError))
                return false;
        } else if (arg == "--info") {
            if (!SetMode(commandLine, ERunMode::Info, bModeSet, strError))
                return false;
        } else if (arg == "--wav" || arg == "--raw") {
            if (!SetMode(commandLine, arg == "--wav" ? ERunMode::Wav : ERunMode::Raw, bModeSet,
                         strError)) {
                return false;
            }
            if (!bHasValue || strValue.empty()) {
                strError = std::string(arg) + " needs an output file";
                return false;
            }
            commandLine.strOutput = strValue;
        } else if (arg == "--output") {
            if (!bHasValue) {
                strError = "--output needs a device: pulse[:SINK], alsa[:PCM], null or wav:PATH";
                return false;
            }
            commandLine.strDevice = strValue;
            if (!IsValidWaveDeviceName(commandLine.strDevice)) {
                strError = "unknown output device '" + commandLine.strDevice +
                           "': use pulse[:SINK], alsa[:PCM], null or wav:PATH";
                return false;
            }
        } else if (arg == "--start") {
            if (!bHasValue || !ParseStartPoint(strValue, commandLine.start)) {
                strError =
                    "--start needs a time: seconds (83.5), m:ss (1:23.5) or a percentage "
                    "(40%)";
                return false;
            }
            bStartGiven = true;
        } else if (arg == "--threads") {
            const auto result = std::from_chars(strValue.data(), strValue.data() + strValue.size(),
                                                commandLine.nThreads);
            if (!bHasValue || strValue.empty() || result.ec != std::errc() ||
                result.ptr != strValue.data() + strValue.size() || commandLine.nThreads < 1 ||
                commandLine.nThreads > CSegmentDecoder::kMaxThreads) {
                strError = "--threads needs a number of threads from 1 to " +
                           std::to_string(CSegmentDecoder::kMaxThreads);
                return false;
            }
            bThreadsGiven = true;
        } else if (arg == "--track") {
            int& nTrack = commandLine.track.nTrack;
            const auto result =
                std::from_chars(strValue.data(), strValue.data() + strValue.size(), nTrack);
            if (!bHasValue || strValue.empty() || result.ec != std::errc() ||
                result.ptr != strValue.data() + strValue.size() || nTrack < 1 || nTrack > 99) {
                strError = "--track needs the number of a track, from 1";
                return false;
            }
            bTrackGiven = true;
        } else if (arg == "--audio-lang") {
            if (!bHasValue || strValue.size() != 3 ||
                !std::all_of(strValue.begin(), strValue.end(),
                             [](char c) { return std::isalpha(static_cast<unsigned char>(c)); })) {
                strError = "--audio-lang needs a language code of three letters (ISO 639-2: deu)";
                return false;
            }
            commandLine.track.strLanguage = strValue;
            bTrackGiven = true;
        } else if (arg == "--list" || arg == "-@") {
            // As mpg123 takes them: a playlist of any name, to play.
            if (!bHasValue || strValue.empty()) {
                strError = std::string(arg) + " needs a playlist file";
                return false;
            }
            commandLine.listed.push_back(files.size());
            files.push_back(strValue);
            bListGiven = true;
        } else if (arg == "--replaygain") {
            if (!ParseReplayGain(strValue, commandLine.eReplayGain)) {
                strError = "--replaygain needs track, album or off";
                return false;
            }
            commandLine.bReplayGainGiven = true;
        } else if (arg == "--conceal") {
            if (strValue != "on" && strValue != "off") {
                strError = "--conceal needs on or off";
                return false;
            }
            commandLine.choices.bConceal = strValue == "on";
        } else if (arg == "--channel") {
            if (!ParseDualChannel(strValue, commandLine.choices.eDual)) {
                strError = "--channel needs both, 1, 2 or mix";
                return false;
            }
            commandLine.bChannelGiven = true;
        } else if (arg == "--loop") {
            commandLine.bLoop = true;
        } else if (arg == "--smooth") {
            commandLine.bSmooth = true;
        } else {
            strError = "unknown option '" + std::string(arg) + "'";
            return false;
        }
    }

    if (bListGiven && !bModeSet) {
        commandLine.mode = ERunMode::Play;
    }
    const ERunMode mode = commandLine.mode;
    if (mode == ERunMode::Help || mode == ERunMode::Version) {
        return true;
    }
    if (bListGiven && mode != ERunMode::Play) {
        strError = "-@ and --list go with --play";
        return false;
    }
    if ((commandLine.bLoop || commandLine.bSmooth) && mode != ERunMode::Play) {
        strError = "--loop and --smooth go with --play";
        return false;
    }
    if (bStartGiven && mode != ERunMode::Play && mode != ERunMode::Wav && mode != ERunMode::Raw) {
        strError = "--start goes with --play, --wav or --raw";
        return false;
    }
    if (bTrackGiven && mode != ERunMode::Play && mode != ERunMode::Wav && mode != ERunMode::Raw) {
        strError = "--track and --audio-lang go with --play, --wav or --raw";
        return false;
    }
    if (bThreadsGiven && mode != ERunMode::Wav && mode != ERunMode::Raw) {
        strError = "--threads goes with --wav or --raw";
        return false;
    }
    if (!commandLine.strDevice.empty() && mode != ERunMode::Play && mode != ERunMode::Window) {
        strError = "--output goes with --play or the player window";
        return false;
    }
    // The environment's device is checked as the option's is.
    const char* pszDevice = std::getenv("CORVINA_OUTPUT");
    if (commandLine.strDevice.empty() && (mode == ERunMode::Play || mode == ERunMode::Window) &&
        pszDevice != nullptr && *pszDevice != '\0' && !IsValidWaveDeviceName(pszDevice)) {
        strError = std::string("unknown output device '") + pszDevice +
                   "' in CORVINA_OUTPUT: use pulse[:SINK], alsa[:PCM], null or wav:PATH";
        return false;
    }
    if (files.size() > 1 && mode != ERunMode::Play && mode != ERunMode::Info &&
        mode != ERunMode::Window) {
        strError = "only one file may be decoded at a time";
        return false;
    }
    if (files.empty() && mode != ERunMode::Window) {
        strError = "no input file given";
        return false;
    }
    if (!files.empty()) {
        commandLine.strFile = files.front();
    }
    return true;
}

std::string UsageText() {
    return std::string(
               "Usage: corvina [OPTIONS] [FILE...]\n"
               "Plays MPEG-1 audio files, Layers I and II.\n"
               "\n"
               "  corvina [FILE...]        open FILE in the player window (it does not play);\n"
               "                           Next goes on through its folder, or the FILEs\n"
               "  corvina --play FILE...   play the files in order without a window\n"
               "  -@ LIST, --list LIST     play the playlist LIST, whatever its name\n"
               "      --loop               start the list again at its end\n"
               "      --smooth             play at half the sample rate\n"
               "  corvina --info FILE...   describe the stream of each FILE\n"
               "  corvina --wav OUT FILE   decode FILE to the WAV file OUT\n"
               "  corvina --raw OUT FILE   decode FILE to signed 16-bit little-endian PCM,\n"
               "                           channels interleaved; OUT - is standard output\n"
               "  --start TIME             with --play (its first file), --wav, --raw: begin\n"
               "                           at seconds (83.5), m:ss (1:23.5) or percent (40%)\n"
               "  --threads N              with --wav, --raw: decode on N threads (default:\n"
               "                           one per core); the output is the same\n"
               "  --replaygain MODE        track, album or off (the default): the tagged\n"
               "                           ReplayGain, held below clipping by the peak\n"
               "  --conceal on|off         a damaged frame repeats the last good one,\n"
               "                           fading (on, the default), or plays as it stands\n"
               "  --channel both|1|2|mix   of a dual-channel (two-language) stream: both as\n"
               "                           stereo (the default), the first or the second on\n"
               "                           both sides, or the two mixed\n"
               "  --track N                with --play, --wav, --raw: the Nth Layer I/II\n"
               "                           track of a container (--info lists them)\n"
               "  --audio-lang LANG        ... or its track in language LANG (ISO 639-2:\n"
               "                           deu); else the first not made for the impaired\n"
               "  --output DEVICE          with the window or --play: pulse[:SINK] (the\n"
               "                           default when a sound server answers),\n"
               "                           alsa[:PCM] (else the default), null, or wav:PATH;\n"
               "                           else the CORVINA_OUTPUT environment variable\n"
               "  FILE -                   standard input\n"
               "  FILE.m3u, .m3u8, .pls    a playlist: its entries in order\n"
               "  --help, --version        this text; the version\n"
               "Options take their value as --option VALUE or --option=VALUE.\n"
               "\n"
               "Exit status: 0 when every stream was decoded or played to its end, 1 when a\n"
               "file or the sound device could not be used, 2 for a usage error, 128 plus\n"
               "the signal's number when --play was ended by Ctrl+C or SIGTERM.\n"
               "\n"
               "With --play on a terminal:\n") +
           TerminalKeysText();
}

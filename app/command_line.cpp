// Parsing the command line.
#include "app/command_line.h"

#include <charconv>
#include <string>
#include <string_view>
#include <vector>

#include "app/terminal_keys.h"
#include "decoder/segment_decoder.h"
#include "platform/wave_device.h"

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
    return result.ec == std::errc() && result.ptr == text.data() + text.size();
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

bool ParseCommandLine(int argc, const char* const* argv, CCommandLine& commandLine,
                      std::string& strError) {
    commandLine = CCommandLine{};
    std::vector<std::string> files;
    bool bModeSet = false;
    bool bOptionsEnded = false;
    bool bStartGiven = false;
    bool bThreadsGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg(argv[i]);
        const bool bHasValue = i + 1 < argc;
        if (bOptionsEnded || arg.empty() || arg[0] != '-' || arg == "-") {
            files.emplace_back(arg);
        } else if (arg == "--") {
            bOptionsEnded = true;
        } else if (arg == "--help" || arg == "-h") {
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
            if (!bHasValue) {
                strError = std::string(arg) + " needs an output file";
                return false;
            }
            commandLine.strOutput = argv[++i];
        } else if (arg == "--output") {
            if (!bHasValue) {
                strError = "--output needs a device: alsa[:PCM], null or wav:PATH";
                return false;
            }
            commandLine.strDevice = argv[++i];
            if (!IsValidWaveDeviceName(commandLine.strDevice)) {
                strError = "unknown output device '" + commandLine.strDevice +
                           "': use alsa[:PCM], null or wav:PATH";
                return false;
            }
        } else if (arg == "--start") {
            if (!bHasValue || !ParseStartPoint(argv[i + 1], commandLine.start)) {
                strError =
                    "--start needs a time: seconds (83.5), m:ss (1:23.5) or a percentage "
                    "(40%)";
                return false;
            }
            bStartGiven = true;
            ++i;
        } else if (arg == "--threads") {
            const std::string_view value = bHasValue ? std::string_view(argv[i + 1]) : "";
            const auto result =
                std::from_chars(value.data(), value.data() + value.size(), commandLine.nThreads);
            if (value.empty() || result.ec != std::errc() ||
                result.ptr != value.data() + value.size() || commandLine.nThreads < 1 ||
                commandLine.nThreads > CSegmentDecoder::kMaxThreads) {
                strError = "--threads needs a number of threads from 1 to " +
                           std::to_string(CSegmentDecoder::kMaxThreads);
                return false;
            }
            bThreadsGiven = true;
            ++i;
        } else if (arg == "--loop") {
            commandLine.bLoop = true;
        } else if (arg == "--smooth") {
            commandLine.bSmooth = true;
        } else {
            strError = "unknown option '" + std::string(arg) + "'";
            return false;
        }
    }

    const ERunMode mode = commandLine.mode;
    if (mode == ERunMode::Help || mode == ERunMode::Version) {
        return true;
    }
    if ((commandLine.bLoop || commandLine.bSmooth) && mode != ERunMode::Play) {
        strError = "--loop and --smooth go with --play";
        return false;
    }
    if (bStartGiven && mode != ERunMode::Play && mode != ERunMode::Wav && mode != ERunMode::Raw) {
        strError = "--start goes with --play, --wav or --raw";
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
    if (files.size() > 1) {
        strError = "only one file may be given";
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
               "Usage: corvina [OPTIONS] [FILE]\n"
               "Plays MPEG-1 audio files, Layers I and II.\n"
               "\n"
               "  corvina [FILE]               open FILE in the player window (it does not play by "
               "itself)\n"
               "  corvina --play FILE          play FILE without a window and return at its end\n"
               "      --loop                   start FILE again at its end\n"
               "      --smooth                 play at half the sample rate\n"
               "  corvina --wav OUT FILE       decode FILE to the WAV file OUT\n"
               "  corvina --raw OUT FILE       decode FILE to signed 16-bit little-endian PCM,\n"
               "                               channels interleaved; OUT - is standard output\n"
               "  corvina --info FILE          describe the stream of FILE\n"
               "  --start TIME                 with --play, --wav, --raw: begin at seconds\n"
               "                               (83.5), m:ss (1:23.5) or a percentage (40%)\n"
               "  --threads N                  with --wav, --raw: decode on N threads (default:\n"
               "                               one per core); the output is the same\n"
               "  FILE -                       standard input\n"
               "  --output DEVICE              with the window or --play: alsa[:PCM] (default\n"
               "                               alsa:default), null, or wav:PATH; else the\n"
               "                               CORVINA_OUTPUT environment variable\n"
               "  --help, --version            this text; the version\n"
               "\n"
               "Exit status: 0 when the stream was decoded to its end, 1 when the file could\n"
               "not be used, 2 for a usage error; --play ended by Ctrl+C or SIGTERM: 128\n"
               "plus the signal's number.\n"
               "\n"
               "With --play on a terminal:\n") +
           TerminalKeysText();
}

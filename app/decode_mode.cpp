// --wav and --raw: decode a stream file into a PCM file.
#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <thread>

#include "app/run_modes.h"
#include "app/track_choice.h"
#include "decoder/audio_decoder.h"
#include "decoder/segment_decoder.h"
#include "output/pcm_file_sink.h"
#include "platform/message_presenter.h"
#include "player/message_stream.h"
#include "player/player_hooks.h"

using namespace corvina;

namespace {

// Writing the output over the stream being read would destroy it.
bool IsSameFile(const std::string& strOutput, const std::string& strInput) {
    struct stat output {};
    struct stat input {};
    return strOutput != "-" && stat(strOutput.c_str(), &output) == 0 &&
           stat(strInput.c_str(), &input) == 0 && output.st_dev == input.st_dev &&
           output.st_ino == input.st_ino;
}

}  // namespace

int RunDecodeMode(const CCommandLine& commandLine) {
    const std::string& strOutput = commandLine.strOutput;
    if (IsSameFile(strOutput, commandLine.strFile)) {
        std::fprintf(stderr, "corvina: %s is the input file; not overwriting it\n",
                     strOutput.c_str());
        return EXIT_UNUSABLE;
    }
    SetMessageSubject(commandLine.strFile);
    const bool bWav = commandLine.mode == ERunMode::Wav;
    CPcmFileSink* pSink = nullptr;
    std::string strReason;
    bool bOpenFailed = false;
    bool bWriteFailed = false;
    std::string strWriteReason;
    // The output file is made only once the stream has shown a first frame,
    // so an unusable input leaves no file behind.
    CAudioDecoder::CHooks hooks;
    hooks.fnReportWarning = ShowWarningText;
    // A live stream whose connection was lost (told as a warning) did not
    // come to its end.
    bool bLost = false;
    hooks.live.fnStateChanged = [&bLost](ELiveState eState) {
        bLost = bLost || eState == ELiveState::Lost;
    };
    hooks.fnMakeSink = [&](const CStreamFormat& format) {
        auto pFileSink = std::make_unique<CPcmFileSink>();
        if (!pFileSink->Open(strOutput, bWav, format.nChannels,
                             static_cast<uint32_t>(format.nSampleRate), strReason)) {
            bOpenFailed = true;
            return std::unique_ptr<CAudioSink>();
        }
        pFileSink->ReportFailureTo(&bWriteFailed, &strWriteReason);
        pSink = pFileSink.get();
        return std::unique_ptr<CAudioSink>(std::move(pFileSink));
    };
    hooks.track = commandLine.track;
    // Decoding from the start to the end needs no walk over the headers;
    // a start point goes by it.
    hooks.bWalk = commandLine.start.dValue > 0.0;
    CAudioDecoder decoder(commandLine.strFile.c_str(), std::move(hooks));
    decoder.SetChoices(commandLine.choices);
    const int nInitialized = decoder.Initialize();
    if (nInitialized != 0 && pSink != nullptr) {
        pSink->SetReplayGain(
            ReplayGainFactor(decoder.TrackInfo().replayGain, commandLine.eReplayGain));
    }
    if (nInitialized == 0) {
        if (bOpenFailed) {
            std::fprintf(stderr, "corvina: %s: cannot write (%s)\n", strOutput.c_str(),
                         strReason.c_str());
        } else {
            ShowInvalidStream(decoder.FailureReason());
        }
        return EXIT_UNUSABLE;
    }
    if (!CheckTrackChoice(decoder, commandLine.track, commandLine.strFile)) {
        if (strOutput != "-") {
            std::remove(strOutput.c_str());
        }
        return EXIT_UNUSABLE;
    }
    const int nThreads =
        commandLine.nThreads > 0
            ? commandLine.nThreads
            : static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u,
                                          static_cast<unsigned>(CSegmentDecoder::kMaxThreads)));
    // A start point goes by the walk over the whole stream, so that every run
    // starts on the same frame; so does the split of a container, which
    // cannot seek before its walk is in.
    if (commandLine.start.dValue > 0.0 || (nThreads > 1 && !decoder.Stream().CanSeek())) {
        decoder.AwaitWalk();
    }
    // A start past the end is a mistake in the command, not an empty decode.
    const double dPlayingTime = decoder.PlayingTime();
    if (!commandLine.start.bPercent && dPlayingTime > 0 &&
        commandLine.start.dValue > dPlayingTime) {
        std::fprintf(stderr, "corvina: %s: --start %g s is past the end of the stream (%.1f s)\n",
                     commandLine.strFile.c_str(), commandLine.start.dValue, dPlayingTime);
        if (strOutput != "-") {
            std::remove(strOutput.c_str());
        }
        return EXIT_USAGE;
    }
    if (decoder.MoveToStart(commandLine.start) == 0 && !decoder.HasEnded()) {
        g_MessageStream << "the playing time of " << commandLine.strFile
                        << " is not known, so --start cannot take a percentage of it; "
                           "decoding from the beginning";
        ShowMessage(MSG_WARNING);
    }
    const int nSegmentFrames = CSegmentDecoder::SegmentFrames(decoder.Header().SamplesPerFrame());
    const bool bSegmented =
        nThreads > 1 && CSegmentDecoder::CanSplit(decoder, commandLine.strFile, nSegmentFrames);
    if (bSegmented) {
        // The workers read the file for themselves; this decoder keeps the
        // sink, which takes their output in order.
        CSegmentDecoder segments(commandLine.strFile, commandLine.start, ShowWarningText,
                                 commandLine.choices, commandLine.track);
        // The segments' samples go to the file as they lie in memory.
        segments.SetBlockWriter([pSink](std::span<const int16_t> samples, int nChannels) {
            return pSink->WriteFrames(samples, nChannels);
        });
        std::string strFailure;
        if (!segments.Run(
                *pSink, nThreads, [pSink] { return pSink->Failed(); }, strFailure,
                nSegmentFrames)) {
            std::fprintf(stderr, "corvina: %s\n", strFailure.c_str());
            return EXIT_UNUSABLE;
        }
        if (!pSink->Close()) {
            bWriteFailed = true;
            strWriteReason = pSink->FailureReason();
        }
    }
    // The decoder closes the sink after the last frame; a write failure on
    // the way ends the decoding early.
    while (!bSegmented && !decoder.HasEnded()) {
        if (pSink->Failed()) {
            bWriteFailed = true;
            strWriteReason = pSink->FailureReason();
            break;
        }
        if (decoder.DecodeFrame() == 0) {
            break;  // the sink is gone now
        }
    }
    if (bWriteFailed) {
        std::fprintf(stderr, "corvina: %s: writing failed (%s)\n",
                     strOutput == "-" ? "standard output" : strOutput.c_str(),
                     strWriteReason.empty() ? "write error" : strWriteReason.c_str());
        return EXIT_UNUSABLE;
    }
    return bLost ? EXIT_UNUSABLE : EXIT_DECODED;
}

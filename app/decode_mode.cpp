// --wav and --raw: decode a stream file into a PCM file.
#include <sys/stat.h>

#include <corvina/stream.h>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <thread>
#include <vector>

#include "app/run_modes.h"
#include "app/track_choice.h"
#include "output/pcm_file_sink.h"
#include "platform/message_presenter.h"
#include "player/message_stream.h"
#include "player/player_hooks.h"

using namespace corvina;

namespace {

// Interleaved samples per read: a quarter megabyte per write, as the file
// sink's own blocks.
constexpr std::size_t kReadSamples = 128 * 1024;

// Writing the output over the stream being read would destroy it.
bool IsSameFile(const std::string& strOutput, const std::string& strInput) {
    struct stat output {};
    struct stat input {};
    return strOutput != "-" && stat(strOutput.c_str(), &output) == 0 &&
           stat(strInput.c_str(), &input) == 0 && output.st_dev == input.st_dev &&
           output.st_ino == input.st_ino;
}

void RemoveOutput(const std::string& strOutput) {
    if (strOutput != "-") {
        std::remove(strOutput.c_str());
    }
}

// The file the decoded samples go to, following the stream's formats where
// the file can.
class COutput {
  public:
    COutput(const std::string& strPath, bool bWav) : m_strPath(strPath), m_bWav(bWav) {}

    // A WAV file on standard output has its header written ahead, so its
    // stream keeps the first format (as CPcmFileSink::FollowsFormat says).
    bool KeepsFormat() const { return m_bWav && m_strPath == "-"; }

    // Made for the first format; false where it cannot be written.
    bool Open(const CPcmFormat& format) {
        std::string strReason;
        if (!m_sink.Open(m_strPath, m_bWav, format.nChannels, static_cast<uint32_t>(format.nRate),
                         strReason)) {
            std::fprintf(stderr, "corvina: %s: cannot write (%s)\n", m_strPath.c_str(),
                         strReason.c_str());
            return false;
        }
        m_format = format;
        return true;
    }
    void SetReplayGain(double dFactor) { m_sink.SetReplayGain(dFactor); }

    // The stream goes on in format: a WAV file goes on in the next file.
    void Follow(const CPcmFormat& format) {
        if ((format.nRate != m_format.nRate || format.nChannels != m_format.nChannels) &&
            m_sink.FollowsFormat()) {
            CStreamFormat next;
            next.nChannels = format.nChannels;
            next.nSampleRate = static_cast<int>(format.nRate);
            m_sink.ChangeFormat(next);
            m_format = format;
        }
    }

    // Whole frames' samples in format; false once a write failed.
    bool Write(std::span<const int16_t> samples, const CPcmFormat& format) {
        Follow(format);
        if (!m_sink.WriteFrames(samples, format.nChannels)) {
            m_sink.WriteFrame(samples, format.nChannels);
            m_sink.EndFrame();
        }
        return !m_sink.Failed();
    }

    // Finishes the file; false, having said why on standard error, where a
    // write failed on the way or now.
    bool Close() {
        if (m_sink.Close()) {
            return true;
        }
        const std::string strReason = m_sink.FailureReason();
        std::fprintf(stderr, "corvina: %s: writing failed (%s)\n",
                     m_strPath == "-" ? "standard output" : m_strPath.c_str(),
                     strReason.empty() ? "write error" : strReason.c_str());
        return false;
    }

  private:
    std::string m_strPath;
    bool m_bWav;
    CPcmFileSink m_sink;
    CPcmFormat m_format;
};

// The stream read on one thread, from where it stands to its end or a
// failed write.
void DecodeHere(CStream& stream, COutput& output) {
    std::vector<int16_t> pcm(kReadSamples);
    CPcmFormat format;
    stream.Format(format);
    for (;;) {
        std::size_t nRead = 0;
        const EStreamResult eResult = stream.Read(pcm, nRead);
        if (eResult == EStreamResult::NewFormat) {
            // Followed at once: the stream's warnings about the frames in
            // the new format come after the file's note of it.
            stream.Format(format);
            output.Follow(format);
        } else if (eResult != EStreamResult::Ok ||
                   !output.Write(std::span(pcm).first(nRead), format)) {
            return;
        }
    }
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
    COutput output(strOutput, commandLine.mode == ERunMode::Wav);
    CStream stream;
    stream.SetWarningHandler(
        [](EDecoderWarning, const std::string& strText) { ShowWarningText(strText); });
    // Decoding from the start to the end needs no walk over the headers;
    // a start point goes by it.
    stream.SetBackgroundWalk(true);
    stream.SetCountFrames(commandLine.start.dValue > 0.0);
    stream.SetKeepFormat(output.KeepsFormat());
    stream.SetTrackChoice(commandLine.track);
    stream.SetDecodeChoices(commandLine.choices);
    if (stream.OpenFile(commandLine.strFile) != EStreamResult::Ok) {
        ShowInvalidStream(stream.FailureReason());
        return EXIT_UNUSABLE;
    }
    // The output file is made only once the stream has shown a first frame,
    // so an unusable input leaves no file behind.
    CPcmFormat format;
    std::size_t nRead = 0;
    if (stream.Read({}, nRead) != EStreamResult::NewFormat ||
        stream.Format(format) != EStreamResult::Ok || !output.Open(format)) {
        return EXIT_UNUSABLE;
    }
    output.SetReplayGain(ReplayGainFactor(stream.TrackInfo().replayGain, commandLine.eReplayGain));
    if (!CheckTrackChoice(stream, commandLine.track, commandLine.strFile)) {
        RemoveOutput(strOutput);
        return EXIT_UNUSABLE;
    }
    const int nThreads =
        commandLine.nThreads > 0
            ? commandLine.nThreads
            : static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u,
                                          static_cast<unsigned>(CStream::kMaxThreads)));
    // A start point goes by the walk over the whole stream, so that every run
    // starts on the same frame; so does the split of a container, which
    // cannot seek before its walk is in (a file that can seek has no walk
    // to wait for here).
    if (commandLine.start.dValue > 0.0 || nThreads > 1) {
        stream.AwaitLength();
    }
    // A start past the end is a mistake in the command, not an empty decode.
    const double dPlayingTime = stream.PlayingTime();
    if (!commandLine.start.bPercent && dPlayingTime > 0 &&
        commandLine.start.dValue > dPlayingTime) {
        std::fprintf(stderr, "corvina: %s: --start %g s is past the end of the stream (%.1f s)\n",
                     commandLine.strFile.c_str(), commandLine.start.dValue, dPlayingTime);
        RemoveOutput(strOutput);
        return EXIT_USAGE;
    }
    if (stream.MoveToStart(commandLine.start) == EStreamResult::ErrSeek) {
        g_MessageStream << "the playing time of " << commandLine.strFile
                        << " is not known, so --start cannot take a percentage of it; "
                           "decoding from the beginning";
        ShowMessage(MSG_WARNING);
    }
    if (nThreads > 1 && stream.CanSplit()) {
        // The workers read the file for themselves; the segments' samples
        // go to the file in order, as they lie in memory.
        if (stream.DecodeOnThreads(nThreads, [&output](std::span<const int16_t> samples,
                                                       const CPcmFormat& blockFormat) {
                return output.Write(samples, blockFormat);
            }) != EStreamResult::Ok) {
            std::fprintf(stderr, "corvina: %s\n", stream.FailureReason().c_str());
            return EXIT_UNUSABLE;
        }
    } else {
        DecodeHere(stream, output);
    }
    if (!output.Close()) {
        return EXIT_UNUSABLE;
    }
    return stream.ConnectionLost() ? EXIT_UNUSABLE : EXIT_DECODED;
}

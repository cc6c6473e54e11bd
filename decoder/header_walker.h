// The walk over a long stream that did not finish before the first frame:
// on a thread of its own, over a second reading of the same file, it
// measures the container (where there is one) and counts the frames. The
// decoder takes the result on its own thread once it is there.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "decoder/bit_stream.h"
#include "decoder/frame_index.h"
#include "synth/caller_hooks.h"

namespace corvina {

class CHeaderWalker {
  public:
    // Walks pSource (from CByteSource::ReopenFile) from the stream offset
    // nStart, where the decoder's own walk began, in the track of choice.
    CHeaderWalker(std::unique_ptr<CByteSource> pSource, std::string strName, int64_t nStart,
                  CTrackChoice choice = {});
    // Stops the walk and waits for its thread, which looks at the stop
    // between a few thousand frames or container packets.
    ~CHeaderWalker();
    CHeaderWalker(const CHeaderWalker&) = delete;
    CHeaderWalker& operator=(const CHeaderWalker&) = delete;

    // Whether the walk has ended; the results below may be read from then on.
    bool IsDone() const { return m_bDone.load(std::memory_order_acquire); }
    // Waits until the walk has ended; false when fnStop said so first.
    bool Await(const StopRequest& fnStop);

    // The stream walked, whose source holds the container's index; null
    // where the walk failed.
    CBitStream* Stream() { return m_pStream.get(); }
    // The frames counted; not built where the stream could not be walked.
    const CFrameIndex& Index() const { return m_index; }

  private:
    void Run(std::unique_ptr<CByteSource> pSource, const std::string& strName, int64_t nStart);

    std::atomic<bool> m_bStop{false};
    std::atomic<bool> m_bDone{false};
    std::mutex m_lock;
    std::condition_variable m_ended;
    std::unique_ptr<CBitStream> m_pStream;
    CFrameIndex m_index;
    CTrackChoice m_choice;
    std::thread m_thread;
};

}  // namespace corvina

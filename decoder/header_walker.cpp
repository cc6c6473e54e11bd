// The walk on a thread of its own.
#include "decoder/header_walker.h"

#include <chrono>
#include <exception>

namespace corvina {

namespace {

// How often a wait for the walk looks at its caller's stop request.
constexpr auto kStopCheck = std::chrono::milliseconds(20);

}  // namespace

CHeaderWalker::CHeaderWalker(std::unique_ptr<CByteSource> pSource, std::string strName,
                             int64_t nStart, CTrackChoice choice)
    : m_choice(std::move(choice)),
      m_thread(&CHeaderWalker::Run, this, std::move(pSource), std::move(strName), nStart) {}

CHeaderWalker::~CHeaderWalker() {
    m_bStop.store(true, std::memory_order_relaxed);
    m_thread.join();
}

void CHeaderWalker::Run(std::unique_ptr<CByteSource> pSource, const std::string& strName,
                        int64_t nStart) {
    const StopRequest fnStop = [this] { return m_bStop.load(std::memory_order_relaxed); };
    try {
        // The stream warns about nothing here: the decoder's own reading of
        // the same bytes has told whatever there is to tell.
        m_pStream = std::make_unique<CBitStream>(
            OpenBitStream(std::move(pSource), strName, WarningReporter{}, fnStop, -1, m_choice));
        if (m_pStream->CanSeek() && m_pStream->SeekOffset(nStart) != 0) {
            m_index.Build(*m_pStream, fnStop);
        }
    } catch (const std::exception&) {
        // Out of memory: no result, and the decoder goes on with its estimate.
        m_pStream.reset();
        m_index = CFrameIndex();
    }
    {
        std::lock_guard<std::mutex> lock(m_lock);
        m_bDone.store(true, std::memory_order_release);
    }
    m_ended.notify_all();
}

bool CHeaderWalker::Await(const StopRequest& fnStop) {
    std::unique_lock<std::mutex> lock(m_lock);
    while (!m_bDone.load(std::memory_order_acquire)) {
        if (IsStopRequested(fnStop)) {
            return false;
        }
        m_ended.wait_for(lock, kStopCheck);
    }
    return true;
}

}  // namespace corvina

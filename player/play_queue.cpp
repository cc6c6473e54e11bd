// The queue behind the document.
#include "player/play_queue.h"

void CPlayQueue::Assign(std::vector<CQueueEntry> entries, std::size_t nIndex) {
    m_entries = std::move(entries);
    m_nIndex = nIndex < m_entries.size() ? nIndex : 0;
}

const CQueueEntry& CPlayQueue::GetCurrent() const {
    static const CQueueEntry empty;
    return m_entries.empty() ? empty : m_entries[m_nIndex];
}

bool CPlayQueue::FindStep(std::size_t nFrom, int nStep, std::size_t& nTo) const {
    const std::size_t nCount = m_entries.size();
    if (nCount < 2 || nFrom >= nCount) {
        return false;
    }
    if (nStep > 0) {
        if (nFrom + 1 < nCount) {
            nTo = nFrom + 1;
            return true;
        }
        nTo = 0;
        return m_bLoop;
    }
    if (nFrom > 0) {
        nTo = nFrom - 1;
        return true;
    }
    nTo = nCount - 1;
    return m_bLoop;
}

bool CPlayQueue::HasNext() const {
    std::size_t nTo = 0;
    return FindStep(m_nIndex, +1, nTo);
}

bool CPlayQueue::HasPrevious() const {
    std::size_t nTo = 0;
    return FindStep(m_nIndex, -1, nTo);
}

void CPlayQueue::SetIndex(std::size_t nIndex) {
    if (nIndex < m_entries.size()) {
        m_nIndex = nIndex;
    }
}

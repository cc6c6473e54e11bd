// The queue behind the document: the entries that Next and Previous go
// through, in order, and the one in hand.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

struct CQueueEntry {
    std::string strPath;      // a file's path; later also an address
    std::string strTitle;     // what a playlist calls it, or empty
    std::string strPlaylist;  // the playlist that listed it, or empty
};

class CPlayQueue {
  public:
    // The entries in order with entry nIndex in hand; an index past them is
    // taken as the first.
    void Assign(std::vector<CQueueEntry> entries, std::size_t nIndex = 0);
    void Clear() { Assign({}); }

    bool IsEmpty() const { return m_entries.empty(); }
    std::size_t GetCount() const { return m_entries.size(); }
    std::size_t GetIndex() const { return m_nIndex; }
    const std::vector<CQueueEntry>& GetEntries() const { return m_entries; }
    // The entry in hand; an empty one when the queue is.
    const CQueueEntry& GetCurrent() const;

    // Loop the list: the last entry is followed by the first again.
    bool IsLooping() const { return m_bLoop; }
    void SetLooping(bool bLoop) { m_bLoop = bLoop; }

    // The index of the entry nStep (+1 or -1) away from nFrom, round the
    // ends only while the list loops; false at an end.
    bool FindStep(std::size_t nFrom, int nStep, std::size_t& nTo) const;
    bool HasNext() const;
    bool HasPrevious() const;
    void SetIndex(std::size_t nIndex);

  private:
    std::vector<CQueueEntry> m_entries;
    std::size_t m_nIndex = 0;
    bool m_bLoop = false;
};

// The player's document: one audio file known by its path, the queue of
// entries it stands in, and every playback, audio and stream command with
// its update rule.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "decoder/audio_track.h"
#include "platform/document.h"
#include "player/play_queue.h"

class CCorvinaDoc : public CDocument {
  public:
    CCorvinaDoc();
    // Ends the worker, whatever it is doing.
    ~CCorvinaDoc() override;

    bool OnNewDocument() override;
    bool OnOpenDocument(const std::string& strPath) override;
    void OnUpdateCommand(CCmdUI& cmdUI) override;
    bool OnCommand(int nID) override;

    // The entries that Next and Previous go through; the one in hand is the
    // document's file.
    const CPlayQueue& GetQueue() const { return m_queue; }
    // A file the user opened: a playlist's entries become the queue, any
    // other file the queue of its folder's playable files, with it in hand.
    // Opened, not played. False when nothing could be opened; the reason has
    // been shown.
    bool OpenFile(const std::string& strPath);
    // Several files opened at once, in order, each playlist among them
    // standing for its entries; the first entry that opens is in hand.
    bool OpenFiles(const std::vector<std::string>& paths);
    // For the interface thread once the play state has changed: at the end
    // of an entry that the document started, the next one plays; past one
    // that proved unplayable too. True when the queue moved on.
    bool ContinueQueue();

    // The player's own volume, full at first; never the desktop's or the
    // card's master. Each step starts from the volume as it is now.
    int m_bCanVolumeUp = 1;
    int m_bCanVolumeDown = 1;
    uint32_t m_dwVolume = 0xFFFFFFFF;
    uint32_t m_dwVolumeStep = 0x20002000;

  private:
    bool HasFile() const { return !GetPathName().empty(); }
    // One volume step up or down.
    void StepVolume(bool bUp);
    // The entries of the paths given, playlists read; what was left out is
    // told in problems.
    std::vector<CQueueEntry> CollectEntries(const std::vector<std::string>& paths,
                                            std::vector<std::string>& problems);
    // Opens entry nIndex, or the first after it in direction nStep that
    // opens; what cannot be opened is told on standard error. With bPlay it
    // plays. False when none opened; the document is then as it was.
    bool OpenEntryFrom(std::size_t nIndex, int nStep, bool bPlay);
    // Starts the document's file; bQuiet when the queue went on to it.
    void Play(bool bQuiet);
    void OnPlayNextFile();
    void OnPlayPreviousFile();
    void OnPlayPlayback();
    void OnAudioVolumeUp();
    void OnAudioVolumeDown();
    void UpdateTrackCommand(CCmdUI& cmdUI) const;
    void OnAudioNextTrack();
    void SwitchTrack(int nTrack);
    void OnFileClose();

    CPlayQueue m_queue;
    // The Layer I/II tracks of the file, as the open found them.
    std::vector<corvina::CAudioTrack> m_tracks;
    // A start of this document is running: its end moves the queue on.
    bool m_bRunWatched = false;
    // The running start was the queue's own (its unplayable entry is skipped).
    bool m_bRunQuiet = false;
    // The direction the queue last moved in, and the entries passed over
    // since something played, so a queue of nothing playable ends.
    int m_nLastStep = 1;
    std::size_t m_nSkipped = 0;
};

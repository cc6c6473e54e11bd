// The player's document: one audio file known by its path, and every
// playback, audio and stream command with its update rule.
#pragma once

#include <cstdint>
#include <string>

#include "platform/document.h"

class CCorvinaDoc : public CDocument {
  public:
    CCorvinaDoc();
    // Ends the worker, whatever it is doing.
    ~CCorvinaDoc() override;

    bool OnNewDocument() override;
    bool OnOpenDocument(const std::string& strPath) override;
    void OnUpdateCommand(CCmdUI& cmdUI) override;
    bool OnCommand(int nID) override;

    // The player's own volume, full at first; never the desktop's or the
    // card's master. Each step starts from the volume as it is now.
    int m_bCanVolumeUp = 1;
    int m_bCanVolumeDown = 1;
    uint32_t m_dwVolume = 0xFFFFFFFF;
    uint32_t m_dwVolumeStep = 0x20002000;

  private:
    bool HasFile() const { return !GetPathName().empty(); }
    void OnPlayPlayback();
    void OnAudioVolumeUp();
    void OnAudioVolumeDown();
    void OnFileClose();
};

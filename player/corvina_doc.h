// The player's document: one audio file known by its path, and every
// playback, audio and stream command with its update rule.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/document.h"

class CWaveDevice;

class CCorvinaDoc : public CDocument {
  public:
    CCorvinaDoc();
    // Ends the worker, whatever it is doing.
    ~CCorvinaDoc() override;

    bool OnNewDocument() override;
    bool OnOpenDocument(const std::string& strPath) override;
    void OnUpdateCommand(CCmdUI& cmdUI) override;
    bool OnCommand(int nID) override;

    int m_bCanVolumeUp = 0;
    int m_bCanVolumeDown = 0;
    uint32_t m_dwVolume = 0;
    uint32_t m_dwVolumeStep = 0;

  private:
    bool HasFile() const { return !GetPathName().empty(); }
    void OnPlayPlayback();
    void OnAudioVolumeUp();
    void OnAudioVolumeDown();
    void OnFileClose();

    // The default device, kept for its volume control.
    std::unique_ptr<CWaveDevice> m_pVolumeDevice;
};

// The cover of the track in hand as a file that the desktop's media controls
// can show: written once per track under the user's runtime folder, with a
// new name for each track, and removed when the track changes and at exit.
#pragma once

#include <memory>
#include <string>

#include "player/engine_events.h"

class CCoverFile {
  public:
    CCoverFile() = default;
    ~CCoverFile();
    CCoverFile(const CCoverFile&) = delete;
    CCoverFile& operator=(const CCoverFile&) = delete;

    // Shows the cover of pInfo (none where null or without one) for track
    // nTrack: the file is kept where the track and its picture are those
    // shown already.
    void Show(const std::shared_ptr<const corvina::CTrackInfo>& pInfo, int nTrack);
    // The file's URL (file://...); empty where there is no cover.
    const std::string& GetUrl() const { return m_strUrl; }

  private:
    void Remove();

    std::shared_ptr<const corvina::CTrackInfo> m_pShown;
    int m_nTrack = -1;
    int m_nWritten = 0;
    std::string m_strPath;
    std::string m_strUrl;
};

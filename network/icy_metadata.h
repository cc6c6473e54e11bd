// The metadata that an Icecast or SHOUTcast server puts between the audio
// bytes when asked for it (Icy-MetaData: 1): taken out, its StreamTitle told.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace corvina {

class CIcyMetadataFilter {
  public:
    // nInterval: the audio bytes between two metadata blocks (the answer's
    // icy-metaint); 0 for a stream without them.
    explicit CIcyMetadataFilter(std::size_t nInterval = 0) : m_nInterval(nInterval) {}

    // Removes the metadata from the nBytes at pData, moving the audio bytes
    // together at its start, and gives their count. Each StreamTitle that
    // differs from the one before goes to fnTitle.
    std::size_t Filter(uint8_t* pData, std::size_t nBytes,
                       const std::function<void(const std::string&)>& fnTitle);

  private:
    void EndBlock(const std::function<void(const std::string&)>& fnTitle);

    std::size_t m_nInterval;
    std::size_t m_nAudioLeft = 0;  // audio bytes until the next length byte
    std::size_t m_nBlockLeft = 0;  // metadata bytes still to come
    bool m_bStarted = false;
    std::string m_strBlock;
    std::string m_strTitle;
};

// The StreamTitle='...'; of one metadata block; false where it has none.
bool ParseStreamTitle(std::string_view block, std::string& strTitle);

}  // namespace corvina

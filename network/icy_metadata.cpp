// Taking the ICY metadata out of the audio.
#include "network/icy_metadata.h"

#include <algorithm>
#include <cstring>

namespace corvina {

std::size_t CIcyMetadataFilter::Filter(uint8_t* pData, std::size_t nBytes,
                                       const std::function<void(const std::string&)>& fnTitle) {
    if (m_nInterval == 0) {
        return nBytes;
    }
    if (!m_bStarted) {
        m_nAudioLeft = m_nInterval;
        m_bStarted = true;
    }
    std::size_t nOut = 0;
    std::size_t i = 0;
    while (i < nBytes) {
        if (m_nAudioLeft > 0) {
            const std::size_t nTake = std::min(m_nAudioLeft, nBytes - i);
            std::memmove(pData + nOut, pData + i, nTake);
            nOut += nTake;
            i += nTake;
            m_nAudioLeft -= nTake;
        } else if (m_nBlockLeft > 0) {
            const std::size_t nTake = std::min(m_nBlockLeft, nBytes - i);
            m_strBlock.append(reinterpret_cast<const char*>(pData + i), nTake);
            i += nTake;
            m_nBlockLeft -= nTake;
            if (m_nBlockLeft == 0) {
                EndBlock(fnTitle);
            }
        } else {
            // The length byte, in units of 16 bytes; 0 means nothing new.
            m_nBlockLeft = std::size_t{pData[i++]} * 16;
            m_strBlock.clear();
            if (m_nBlockLeft == 0) {
                m_nAudioLeft = m_nInterval;
            }
        }
    }
    return nOut;
}

void CIcyMetadataFilter::EndBlock(const std::function<void(const std::string&)>& fnTitle) {
    m_nAudioLeft = m_nInterval;
    std::string strTitle;
    if (ParseStreamTitle(m_strBlock, strTitle) && strTitle != m_strTitle) {
        m_strTitle = strTitle;
        if (fnTitle) {
            fnTitle(m_strTitle);
        }
    }
}

bool ParseStreamTitle(std::string_view block, std::string& strTitle) {
    // The block is padded with zero bytes to its length.
    block = block.substr(0, block.find('\0'));
    constexpr std::string_view kKey = "StreamTitle='";
    const std::size_t nStart = block.find(kKey);
    if (nStart == std::string_view::npos) {
        return false;
    }
    const std::string_view rest = block.substr(nStart + kKey.size());
    // A title may hold an apostrophe: the value ends at the "';" before the
    // next key (or at the block's last quote).
    std::size_t nEnd = rest.find("';");
    if (nEnd == std::string_view::npos) {
        nEnd = rest.rfind('\'');
        if (nEnd == std::string_view::npos) {
            return false;
        }
    }
    strTitle.clear();
    // Control characters would upset the terminal's status line.
    for (const char c : rest.substr(0, nEnd)) {
        strTitle += static_cast<unsigned char>(c) < 0x20 ? ' ' : c;
    }
    return true;
}

}  // namespace corvina

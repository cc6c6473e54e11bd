// A byte source over bytes held in memory: what tests and fuzzers decode.
#pragma once

#include <memory>
#include <vector>

#include "decoder/byte_source.h"

namespace corvina {

class CMemorySource : public CByteSource {
  public:
    explicit CMemorySource(std::vector<uint8_t> bytes, bool bCanSeek = true)
        : m_pBytes(std::make_shared<const std::vector<uint8_t>>(std::move(bytes))),
          m_bCanSeek(bCanSeek) {}
    CMemorySource(const uint8_t* pBytes, std::size_t nBytes, bool bCanSeek = true)
        : CMemorySource(std::vector<uint8_t>(pBytes, pBytes + nBytes), bCanSeek) {}

    std::size_t Read(uint8_t* pBuffer, std::size_t nBytes) override;
    bool CanSeek() const override { return m_bCanSeek; }
    int64_t Size() const override {
        return m_bCanSeek ? static_cast<int64_t>(m_pBytes->size()) : -1;
    }
    int64_t Position() const override { return static_cast<int64_t>(m_nPosition); }
    bool Seek(int64_t nOffset) override;
    // Shares the bytes, as a file opened twice does.
    std::unique_ptr<CByteSource> ReopenFile() const override;

  private:
    CMemorySource(std::shared_ptr<const std::vector<uint8_t>> pBytes, bool bCanSeek)
        : m_pBytes(std::move(pBytes)), m_bCanSeek(bCanSeek) {}

    std::shared_ptr<const std::vector<uint8_t>> m_pBytes;
    bool m_bCanSeek;
    std::size_t m_nPosition = 0;
};

}  // namespace corvina

// A byte source over bytes held in memory: what tests and fuzzers decode.
#pragma once

#include <vector>

#include "decoder/byte_source.h"

class CMemorySource : public CByteSource {
  public:
    explicit CMemorySource(std::vector<uint8_t> bytes, bool bCanSeek = true)
        : m_bytes(std::move(bytes)), m_bCanSeek(bCanSeek) {}
    CMemorySource(const uint8_t* pBytes, std::size_t nBytes, bool bCanSeek = true)
        : m_bytes(pBytes, pBytes + nBytes), m_bCanSeek(bCanSeek) {}

    std::size_t Read(uint8_t* pBuffer, std::size_t nBytes) override;
    bool CanSeek() const override { return m_bCanSeek; }
    int64_t Size() const override { return m_bCanSeek ? static_cast<int64_t>(m_bytes.size()) : -1; }
    int64_t Position() const override { return static_cast<int64_t>(m_nPosition); }
    bool Seek(int64_t nOffset) override;

  private:
    std::vector<uint8_t> m_bytes;
    bool m_bCanSeek;
    std::size_t m_nPosition = 0;
};

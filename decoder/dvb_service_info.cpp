// Reading the SDT's and the EIT's names, and DVB's character tables.
#include "decoder/dvb_service_info.h"

#include <algorithm>
#include <string_view>

#include "decoder/track_info.h"

namespace corvina {

namespace {

constexpr uint8_t kSdtTable = 0x42;
constexpr uint8_t kEitPresentTable = 0x4E;
constexpr uint8_t kServiceDescriptor = 0x48;
constexpr uint8_t kShortEventDescriptor = 0x4D;
constexpr std::size_t kSdtHeadBytes = 11;
constexpr std::size_t kEitHeadBytes = 14;
constexpr std::size_t kMostServices = 64;
constexpr uint32_t kReplacement = 0xFFFD;

// A section that will apply only later (current_next_indicator 0) is not yet read.
bool IsCurrent(const uint8_t* pSection) {
    return (pSection[5] & 1) != 0;
}

int Length12(const uint8_t* p) {
    return ((p[0] & 0x0F) << 8) | p[1];
}

// The body of the first descriptor bTag from pInfo to pEnd, null where there
// is none (or the loop runs past its end first).
const uint8_t* FindDescriptor(const uint8_t* pInfo, const uint8_t* pEnd, uint8_t bTag,
                              const uint8_t*& pBodyEnd) {
    while (pEnd - pInfo >= 2 && pEnd - pInfo - 2 >= pInfo[1]) {
        if (pInfo[0] == bTag) {
            pBodyEnd = pInfo + 2 + pInfo[1];
            return pInfo + 2;
        }
        pInfo += 2 + pInfo[1];
    }
    return nullptr;
}

// A text of a length byte and as many bytes, at p and no further than pEnd;
// p moves past it, or to pEnd where it claims more.
std::string TakeText(const uint8_t*& p, const uint8_t* pEnd) {
    if (p >= pEnd || pEnd - p - 1 < p[0]) {
        p = pEnd;
        return {};
    }
    const std::size_t nLength = p[0];
    std::string strText = DvbTextToUtf8(p + 1, nLength);
    p += 1 + nLength;
    return strText;
}

void AppendCode(std::string& strText, uint32_t dwCode) {
    if (dwCode < 0x80) {
        strText += static_cast<char>(dwCode);
    } else if (dwCode < 0x800) {
        strText += static_cast<char>(0xC0 | (dwCode >> 6));
        strText += static_cast<char>(0x80 | (dwCode & 0x3F));
    } else {
        strText += static_cast<char>(0xE0 | (dwCode >> 12));
        strText += static_cast<char>(0x80 | ((dwCode >> 6) & 0x3F));
        strText += static_cast<char>(0x80 | (dwCode & 0x3F));
    }
}

// The control codes of DVB text (0x80 to 0x9F, or U+E080 to U+E09F): the
// line break as a space, the emphasis marks dropped. False for other codes.
bool TakeControl(std::string& strText, uint32_t dwCode) {
    if (dwCode >= 0x80 && dwCode <= 0x9F) {
        if (dwCode == 0x8A) {
            strText += ' ';
        }
        return true;
    }
    return false;
}

uint32_t Latin9Code(uint8_t b) {
    switch (b) {
        case 0xA4:
            return 0x20AC;
        case 0xA6:
            return 0x0160;
        case 0xA8:
            return 0x0161;
        case 0xB4:
            return 0x017D;
        case 0xB8:
            return 0x017E;
        case 0xBC:
            return 0x0152;
        case 0xBD:
            return 0x0153;
        case 0xBE:
            return 0x0178;
        default:
            return b;
    }
}

enum class ETable { Latin1, Latin9, Ucs2, Utf8, Unknown };

}  // namespace

std::string DvbTextToUtf8(const uint8_t* pText, std::size_t nBytes) {
    ETable eTable = ETable::Latin1;
    std::size_t nAt = 0;
    if (nBytes > 0 && pText[0] < 0x20) {
        nAt = 1;
        switch (pText[0]) {
            case 0x0B:
                eTable = ETable::Latin9;
                break;
            case 0x10:
                nAt = 3;
                eTable = nBytes >= 3 && pText[1] == 0 && pText[2] == 1    ? ETable::Latin1
                         : nBytes >= 3 && pText[1] == 0 && pText[2] == 15 ? ETable::Latin9
                                                                          : ETable::Unknown;
                break;
            case 0x11:
                eTable = ETable::Ucs2;
                break;
            case 0x15:
                eTable = ETable::Utf8;
                break;
            default:
                eTable = ETable::Unknown;
                break;
        }
    }
    nAt = std::min(nAt, nBytes);
    const std::string_view rest(reinterpret_cast<const char*>(pText + nAt), nBytes - nAt);
    if (eTable == ETable::Utf8) {
        return ToValidUtf8(rest);
    }
    std::string strText;
    if (eTable == ETable::Ucs2) {
        for (std::size_t i = 0; i + 1 < rest.size(); i += 2) {
            const uint32_t dwCode = (static_cast<uint32_t>(static_cast<uint8_t>(rest[i])) << 8) |
                                    static_cast<uint8_t>(rest[i + 1]);
            if (dwCode < 0xE000 || !TakeControl(strText, dwCode - 0xE000)) {
                AppendCode(strText, dwCode >= 0xD800 && dwCode <= 0xDFFF ? kReplacement : dwCode);
            }
        }
        return ToValidUtf8(strText);
    }
    for (const char c : rest) {
        const auto b = static_cast<uint8_t>(c);
        if (TakeControl(strText, b)) {
            continue;
        }
        AppendCode(strText, b < 0x80                   ? b
                            : eTable == ETable::Latin1 ? b
                            : eTable == ETable::Latin9 ? Latin9Code(b)
                                                       : kReplacement);
    }
    return ToValidUtf8(strText);
}

std::vector<CDvbService> ReadServiceSection(const uint8_t* pSection, std::size_t nEnd) {
    std::vector<CDvbService> services;
    if (nEnd < kSdtHeadBytes || pSection[0] != kSdtTable || !IsCurrent(pSection)) {
        return services;
    }
    for (std::size_t i = kSdtHeadBytes; i + 5 <= nEnd && services.size() < kMostServices;) {
        const std::size_t nLoopEnd =
            std::min(nEnd, i + 5 + static_cast<std::size_t>(Length12(pSection + i + 3)));
        const uint8_t* pBodyEnd = nullptr;
        if (const uint8_t* pBody =
                FindDescriptor(pSection + i + 5, pSection + nLoopEnd, kServiceDescriptor, pBodyEnd);
            pBody != nullptr && pBody < pBodyEnd) {
            CDvbService service;
            service.nId = (pSection[i] << 8) | pSection[i + 1];
            const uint8_t* p = pBody + 1;  // past the service type
            service.strProvider = TakeText(p, pBodyEnd);
            service.strName = TakeText(p, pBodyEnd);
            services.push_back(std::move(service));
        }
        i = nLoopEnd;
    }
    return services;
}

bool ReadPresentEvent(const uint8_t* pSection, std::size_t nEnd, int& nService,
                      std::string& strName) {
    if (nEnd < kEitHeadBytes || pSection[0] != kEitPresentTable || !IsCurrent(pSection) ||
        pSection[6] != 0) {
        return false;
    }
    nService = (pSection[3] << 8) | pSection[4];
    strName.clear();
    const std::size_t i = kEitHeadBytes;
    if (i + 12 <= nEnd) {
        const std::size_t nLoopEnd =
            std::min(nEnd, i + 12 + static_cast<std::size_t>(Length12(pSection + i + 10)));
        const uint8_t* pBodyEnd = nullptr;
        if (const uint8_t* pBody = FindDescriptor(pSection + i + 12, pSection + nLoopEnd,
                                                  kShortEventDescriptor, pBodyEnd);
            pBody != nullptr && pBodyEnd - pBody >= 3) {
            const uint8_t* p = pBody + 3;  // past the language
            strName = TakeText(p, pBodyEnd);
        }
    }
    return true;
}

}  // namespace corvina

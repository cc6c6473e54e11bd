// The names that DVB's service information gives a transport stream: the
// service description table names each service and its provider, the event
// information table (present/following) the event on air now.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace corvina {

struct CDvbService {
    int nId = 0;  // the program number the PAT gives it
    std::string strProvider;
    std::string strName;
};

// The services of an SDT section of the stream itself (table 0x42), read up
// to nEnd (where its CRC starts); empty for any other section.
std::vector<CDvbService> ReadServiceSection(const uint8_t* pSection, std::size_t nEnd);
// Of a present/following EIT section of the stream itself (table 0x4E):
// true for the present one (section 0), with its service and the name of
// its event (empty where it has none); false for any other section.
bool ReadPresentEvent(const uint8_t* pSection, std::size_t nEnd, int& nService,
                      std::string& strName);
// DVB text as UTF-8: the first byte may choose the character table (UTF-8
// for 0x15, UCS-2 for 0x11, ISO 8859-15 for 0x0B; where none is chosen, ISO
// 8859-1 stands in for the default table, whose letters without accents it
// shares); tables not known here keep their ASCII and show U+FFFD for the
// rest. The control codes go, the line break as a space.
std::string DvbTextToUtf8(const uint8_t* pText, std::size_t nBytes);

}  // namespace corvina

// The names of DVB's service information from hand-built sections: the SDT's
// service and provider, the EIT's present event, and the character tables.
#include "decoder/dvb_service_info.h"

#include <gtest/gtest.h>

using namespace corvina;

namespace {

// A section of head and body, its length field set, with a CRC (not read)
// after it; the end of its data goes to nEnd.
std::vector<uint8_t> Section(std::vector<uint8_t> bytes, std::size_t& nEnd) {
    nEnd = bytes.size();
    const std::size_t nLength = bytes.size() + 4 - 3;
    bytes[1] = static_cast<uint8_t>(0xF0 | (nLength >> 8));
    bytes[2] = static_cast<uint8_t>(nLength & 0xFF);
    bytes.insert(bytes.end(), 4, 0);
    return bytes;
}

std::string Text(std::initializer_list<uint8_t> bytes) {
    const std::vector<uint8_t> text(bytes);
    return DvbTextToUtf8(text.data(), text.size());
}

}  // namespace

TEST(DvbServiceInfo, SdtAndEitGiveTheirNamesAndNothingPastTheirData) {
    std::size_t nEnd = 0;
    const std::vector<uint8_t> sdt =
        Section({0x42, 0, 0, 0, 1, 0xC1, 0, 0, 0, 1, 0xFF,
                 // service 7: a radio service of "Co" named "\x15" "Bé"
                 0, 7, 0xFC, 0x80, 11, 0x48, 9, 0x02, 2, 'C', 'o', 4, 0x15, 'B', 0xC3, 0xA9,
                 // service 8: its name claims more than the descriptor holds
                 0, 8, 0xFC, 0x80, 6, 0x48, 4, 0x02, 0, 9, 'X'},
                nEnd);
    const std::vector<CDvbService> services = ReadServiceSection(sdt.data(), nEnd);
    ASSERT_EQ(services.size(), 2u);
    EXPECT_EQ(services[0].nId, 7);
    EXPECT_EQ(services[0].strProvider, "Co");
    EXPECT_EQ(services[0].strName, "B\xc3\xa9");
    EXPECT_EQ(services[1].strName, "");

    std::vector<uint8_t> eit =
        Section({0x4E, 0, 0, 0, 7, 0xC1, 0, 1, 0, 1, 0, 1, 1, 0x4E,
                 // the event on air: its short event descriptor names it in Latin-9
                 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0x80, 12, 0x4D, 10, 'e', 'n', 'g', 5, 0x0B, 'N', 'e',
                 0xA4, 'w', 0},
                nEnd);
    int nService = 0;
    std::string strName;
    ASSERT_TRUE(ReadPresentEvent(eit.data(), nEnd, nService, strName));
    EXPECT_EQ(nService, 7);
    EXPECT_EQ(strName, "Ne\xe2\x82\xacw");
    eit[6] = 1;  // the following event's section
    EXPECT_FALSE(ReadPresentEvent(eit.data(), nEnd, nService, strName));
    eit[6] = 0;
    eit[5] = 0xC0;  // a section that applies only later
    EXPECT_FALSE(ReadPresentEvent(eit.data(), nEnd, nService, strName));
    // Cut inside the event: no name, no read past the end.
    eit[5] = 0xC1;
    EXPECT_TRUE(ReadPresentEvent(eit.data(), 20, nService, strName));
    EXPECT_EQ(strName, "");
}

TEST(DvbServiceInfo, EachCharacterTableBecomesUtf8) {
    EXPECT_EQ(Text({'C', 'a', 'f', 0xE9, 0x8A, 'x', 0x86}), "Caf\xc3\xa9 x");  // default
    EXPECT_EQ(Text({0x10, 0x00, 0x01, 0xE9}), "\xc3\xa9");                     // ISO 8859-1
    EXPECT_EQ(Text({0x10, 0x00, 0x0F, 0xBD}), "\xc5\x93");                     // ISO 8859-15
    EXPECT_EQ(Text({0x11, 0x00, 'A', 0x20, 0xAC, 0xD8, 0x00}), "A\xe2\x82\xac\xef\xbf\xbd");
    EXPECT_EQ(Text({0x05, 'a', 0xFD}), "a\xef\xbf\xbd");  // a table not known here
    EXPECT_EQ(Text({0x10, 0x00}), "");                    // the table's head cut short
    EXPECT_EQ(Text({0x15}), "");
}

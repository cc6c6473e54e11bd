// The ICY metadata taken out of the audio, in pieces of any size.
#include "network/icy_metadata.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace corvina;

namespace {

// nInterval audio bytes, then a block holding strMeta (or a zero length).
void AppendChunk(std::vector<uint8_t>& stream, std::size_t nInterval, uint8_t nFill,
                 const std::string& strMeta) {
    stream.insert(stream.end(), nInterval, nFill);
    const std::size_t nUnits = (strMeta.size() + 15) / 16;
    stream.push_back(static_cast<uint8_t>(nUnits));
    std::string strBlock = strMeta;
    strBlock.resize(nUnits * 16, '\0');
    stream.insert(stream.end(), strBlock.begin(), strBlock.end());
}

}  // namespace

TEST(IcyMetadata, AudioComesOutWholeAndEachNewTitleIsToldOnceInPiecesOfAnySize) {
    constexpr std::size_t kInterval = 100;
    std::vector<uint8_t> stream;
    AppendChunk(stream, kInterval, 1, "StreamTitle='First';StreamUrl='';");
    AppendChunk(stream, kInterval, 2, "");
    AppendChunk(stream, kInterval, 3, "StreamTitle='First';");
    AppendChunk(stream, kInterval, 4, "StreamTitle='Rock 'n' Roll';StreamUrl='x';");
    stream.insert(stream.end(), 10, 5);
    for (const std::size_t nPiece : {std::size_t{1}, std::size_t{7}, std::size_t{4096}}) {
        SCOPED_TRACE(nPiece);
        CIcyMetadataFilter filter(kInterval);
        std::vector<std::string> titles;
        std::vector<uint8_t> audio;
        for (std::size_t i = 0; i < stream.size(); i += nPiece) {
            std::vector<uint8_t> piece(
                stream.begin() + static_cast<long>(i),
                stream.begin() + static_cast<long>(std::min(stream.size(), i + nPiece)));
            const std::size_t nAudio = filter.Filter(
                piece.data(), piece.size(), [&](const std::string& s) { titles.push_back(s); });
            audio.insert(audio.end(), piece.begin(), piece.begin() + static_cast<long>(nAudio));
        }
        std::vector<uint8_t> expected;
        for (uint8_t n = 1; n <= 4; ++n) {
            expected.insert(expected.end(), kInterval, n);
        }
        expected.insert(expected.end(), 10, 5);
        EXPECT_EQ(audio, expected);
        EXPECT_EQ(titles, (std::vector<std::string>{"First", "Rock 'n' Roll"}));
    }
    // No interval: every byte is audio.
    std::vector<uint8_t> plain(stream);
    EXPECT_EQ(CIcyMetadataFilter().Filter(plain.data(), plain.size(), {}), stream.size());
    std::string strTitle;
    EXPECT_FALSE(ParseStreamTitle("StreamUrl='x';", strTitle));
    ASSERT_TRUE(ParseStreamTitle("StreamTitle='a\nb';", strTitle));
    EXPECT_EQ(strTitle, "a b");
}

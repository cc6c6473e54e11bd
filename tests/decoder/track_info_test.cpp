// The text of what plays: whatever bytes a tag holds come out as UTF-8, and
// the lines and the name shown take only the fields there are.
#include <gtest/gtest.h>

#include "decoder/track_info.h"

using namespace corvina;

TEST(TrackInfoTest, AnyBytesBecomeValidUtf8) {
    EXPECT_EQ(ToValidUtf8("Caf\xc3\xa9 \xe6\x9d\xb1"), "Caf\xc3\xa9 \xe6\x9d\xb1");
    // Not UTF-8 as a whole: each byte is taken as Latin-1.
    EXPECT_EQ(ToValidUtf8("Caf\xe9"), "Caf\xc3\xa9");
    EXPECT_EQ(ToValidUtf8("\xc0\xaf\xed\xa0\x80"), "\xc3\x80\xc2\xaf\xc3\xad\xc2\xa0\xc2\x80");
    EXPECT_EQ(ToValidUtf8("\xe6\x9d"), "\xc3\xa6\xc2\x9d");  // cut short
    EXPECT_EQ(ToValidUtf8(std::string("a\0b\x1b[2J\r\tc", 10)), "ab[2J\tc");
}

TEST(TrackInfoTest, ReplayGainIsHeldBelowClippingByThePeak) {
    CReplayGain gain;
    EXPECT_EQ(ReplayGainFactor(gain, EReplayGain::Track), 1.0);
    gain.dTrackGain = -6.0;
    EXPECT_NEAR(ReplayGainFactor(gain, EReplayGain::Track), 0.501, 0.0005);
    EXPECT_NEAR(ReplayGainFactor(gain, EReplayGain::Album), 0.501, 0.0005);  // the track's
    EXPECT_EQ(ReplayGainFactor(gain, EReplayGain::Off), 1.0);
    gain.dAlbumGain = 6.0;
    gain.dAlbumPeak = 0.9;
    EXPECT_DOUBLE_EQ(ReplayGainFactor(gain, EReplayGain::Album), 1.0 / 0.9);
}

TEST(TrackInfoTest, LinesAndNameTakeTheFieldsThereAre) {
    CTrackInfo info;
    EXPECT_EQ(FormatTrackTags(info), "");
    EXPECT_EQ(TrackDisplayName(info, "a.mp2"), "a.mp2");
    EXPECT_EQ(WithTrackTags("Text.\n", info), "Text.\n");
    info.strTitle = "Song";
    EXPECT_EQ(TrackDisplayName(info, "a.mp2"), "Song");
    info.strArtist = "Band";
    info.strComment = "two\nlines";
    EXPECT_EQ(TrackDisplayName(info, "a.mp2"), "Song \u2014 Band");
    EXPECT_EQ(WithTrackTags("Text.", info),
              "Text.\n\nTitle: Song\nArtist: Band\nComment: two lines\n");
    // A broadcast without titles: what is on air, and where.
    CTrackInfo broadcast;
    broadcast.strService = "Radio";
    EXPECT_EQ(TrackDisplayName(broadcast, "a.ts"), "Radio");
    broadcast.strProgramme = "News";
    EXPECT_EQ(TrackDisplayName(broadcast, "a.ts"), "News \u2014 Radio");
}

// The document's update rules, volume steps, open and close steps.
#include "player/corvina_doc.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <vector>

#include "output/sound_control.h"
#include "player/control_block.h"
#include "player/engine_events.h"
#include "resources/resource_ids.h"
#include "tests/support/recording_presenter.h"
#include "tests/support/stream_builder.h"
#include "tests/support/temp_dir.h"

using namespace corvina;

namespace {

class CorvinaDocTest : public testing::Test {
  protected:
    void SetUp() override { ResetControlBlock(); }

    struct CState {
        bool bEnabled;
        bool bChecked;
    };
    static CState Query(CCorvinaDoc& document, int nID, bool bCheckedBefore = false) {
        CCmdUI cmdUI(nID, bCheckedBefore);
        document.OnUpdateCommand(cmdUI);
        return {cmdUI.m_bEnabled, cmdUI.m_bChecked};
    }
    void OpenFile(CCorvinaDoc& document) {
        ASSERT_TRUE(document.OpenDocument(m_dir.Write("song.mp2", {0xFF, 0xFD})));
    }

    CRecordingPresenter m_presenter;
    CTempDir m_dir;
};

}  // namespace

TEST_F(CorvinaDocTest, WithoutAFileOnlyStopSmoothAndOpenFollowTheirOwnRules) {
    CCorvinaDoc document;
    ASSERT_TRUE(document.NewDocument());
    for (int nID : {ID_PLAY_PLAYBACK, ID_PLAY_LOOP, ID_PLAY_PAUSE, ID_PLAY_FAST_FORWARD,
                    ID_PLAY_REWIND, ID_AUDIO_VOLUME_UP, ID_AUDIO_VOLUME_DOWN, ID_FILE_CLOSE,
                    ID_VIEW_BITSTREAM_INFO, ID_PLAY_STOP, ID_AUDIO_NEXT_TRACK}) {
        EXPECT_FALSE(Query(document, nID).bEnabled) << nID;
    }
    EXPECT_TRUE(Query(document, ID_AUDIO_SMOOTH).bEnabled);
    EXPECT_FALSE(Query(document, ID_AUDIO_SMOOTH).bChecked);
    EXPECT_TRUE(Query(document, ID_FILE_OPEN).bEnabled);
    // Stop's rule looks at the state only, not at the file.
    g_nPlayState = PLAY_PAUSED;
    EXPECT_TRUE(Query(document, ID_PLAY_STOP).bEnabled);
}

// Every state of the update-rule table with a file open: which commands are
// enabled, and the marks of Playback and Loop Play with loop play off and on.
TEST_F(CorvinaDocTest, UpdateRulesFollowThePlayState) {
    CCorvinaDoc document;
    OpenFile(document);
    struct CRow {
        int nState;
        bool bPlay, bPause, bStop, bSmooth;
    };
    const CRow rows[] = {
        {PLAY_IDLE, true, false, false, true},     {PLAY_STARTED, false, true, true, false},
        {PLAY_RESUMED, false, true, true, false},  {PLAY_STOPPING, true, false, false, true},
        {PLAY_PAUSED, true, false, true, false},   {PLAY_ENDED, true, false, false, true},
        {PLAY_INVALID, false, false, false, true},
    };
    for (const CRow& row : rows) {
        g_nPlayState = row.nState;
        for (int bLoop : {0, 1}) {
            g_bLoopPlay = bLoop;
            SCOPED_TRACE(testing::Message() << "state " << row.nState << " loop " << bLoop);
            EXPECT_EQ(Query(document, ID_PLAY_PLAYBACK).bEnabled, row.bPlay);
            EXPECT_EQ(Query(document, ID_PLAY_LOOP).bEnabled, row.bPlay);
            EXPECT_EQ(Query(document, ID_PLAY_PAUSE).bEnabled, row.bPause);
            EXPECT_EQ(Query(document, ID_PLAY_STOP).bEnabled, row.bStop);
            EXPECT_EQ(Query(document, ID_AUDIO_SMOOTH).bEnabled, row.bSmooth);
            EXPECT_TRUE(Query(document, ID_PLAY_FAST_FORWARD).bEnabled);
            EXPECT_TRUE(Query(document, ID_PLAY_REWIND).bEnabled);
            EXPECT_TRUE(Query(document, ID_FILE_CLOSE).bEnabled);
            EXPECT_FALSE(Query(document, ID_VIEW_BITSTREAM_INFO).bEnabled);
            for (bool bBefore : {false, true}) {
                const bool bPlaying = row.nState == PLAY_STARTED || row.nState == PLAY_RESUMED;
                const bool bPlayMark =
                    row.nState == PLAY_INVALID ? bBefore : bPlaying && bLoop == 0;
                const bool bLoopMark =
                    row.nState == PLAY_INVALID ? bBefore : bPlaying && bLoop == 1;
                EXPECT_EQ(Query(document, ID_PLAY_PLAYBACK, bBefore).bChecked, bPlayMark);
                EXPECT_EQ(Query(document, ID_PLAY_LOOP, bBefore).bChecked, bLoopMark);
            }
        }
    }
}

TEST_F(CorvinaDocTest, SmoothPlaybackTogglesAndIsMarkedInEveryState) {
    CCorvinaDoc document;
    OpenFile(document);
    EXPECT_TRUE(document.ExecuteCommand(ID_AUDIO_SMOOTH));
    EXPECT_EQ(g_bSmoothPlay, 1);
    g_nPlayState = PLAY_STARTED;
    EXPECT_TRUE(Query(document, ID_AUDIO_SMOOTH).bChecked);
    EXPECT_FALSE(document.ExecuteCommand(ID_AUDIO_SMOOTH));
    EXPECT_EQ(g_bSmoothPlay, 1);
    g_nPlayState = PLAY_ENDED;
    EXPECT_TRUE(document.ExecuteCommand(ID_AUDIO_SMOOTH));
    EXPECT_EQ(g_bSmoothPlay, 0);
}

TEST_F(CorvinaDocTest, BitstreamInfoWaitsUntilTheDecoderHasReadItsFirstFrame) {
    CCorvinaDoc document;
    alignas(8) static char decoderStandIn[8];
    // Searching for the first frame: a decoder, but nothing to describe.
    g_pDecoder = reinterpret_cast<CAudioDecoder*>(decoderStandIn);
    EXPECT_FALSE(Query(document, ID_VIEW_BITSTREAM_INFO).bEnabled);
    NotifyDecoderChanged(true, 20.0f);
    EXPECT_TRUE(Query(document, ID_VIEW_BITSTREAM_INFO).bEnabled);
    g_pDecoder = nullptr;
    NotifyDecoderChanged(false, 0.0f);
    EXPECT_FALSE(Query(document, ID_VIEW_BITSTREAM_INFO).bEnabled);
}

TEST_F(CorvinaDocTest, CloseNeedsAPathLongerThanOneCharacter) {
    CCorvinaDoc document;
    const std::string strShort = "x";
    ASSERT_EQ(chdir(m_dir.Path().c_str()), 0);
    m_dir.Write(strShort, {0});
    ASSERT_TRUE(document.OpenDocument(strShort));
    EXPECT_FALSE(Query(document, ID_FILE_CLOSE).bEnabled);
    OpenFile(document);
    EXPECT_TRUE(Query(document, ID_FILE_CLOSE).bEnabled);
}

TEST_F(CorvinaDocTest, OpeningResetsStateAndPositionAndEndsLoopMode) {
    CCorvinaDoc document;
    OpenFile(document);
    g_nPlayState = PLAY_INVALID;
    g_nPosition = 40;
    g_bLoopPlay = 1;
    OpenFile(document);
    EXPECT_EQ(g_nPlayState, PLAY_IDLE);
    EXPECT_EQ(g_nPosition, 0);
    EXPECT_EQ(g_bLoopPlay, 0);
    // A file that cannot be read keeps the previous one and its state.
    g_nPlayState = PLAY_ENDED;
    EXPECT_FALSE(document.OpenDocument(m_dir.File("missing.mp2")));
    EXPECT_EQ(document.GetTitle(), "song.mp2");
    EXPECT_EQ(g_nPlayState, PLAY_ENDED);
}

TEST_F(CorvinaDocTest, VolumeUpAtFullVolumeOnlyDisablesItselfAndDownEnablesItAgain) {
    CCorvinaDoc document;
    OpenFile(document);
    ASSERT_EQ(document.m_dwVolume, 0xFFFFFFFFu);
    EXPECT_TRUE(document.ExecuteCommand(ID_AUDIO_VOLUME_UP));
    EXPECT_EQ(CSoundControl::GetVolume(), 0xFFFFFFFFu);
    EXPECT_FALSE(Query(document, ID_AUDIO_VOLUME_UP).bEnabled);
    EXPECT_TRUE(document.ExecuteCommand(ID_AUDIO_VOLUME_DOWN));
    EXPECT_EQ(CSoundControl::GetVolume(), 0xDFFFDFFFu);
    EXPECT_TRUE(Query(document, ID_AUDIO_VOLUME_UP).bEnabled);
}

TEST_F(CorvinaDocTest, SevenStepsDownFromFullReach1FFFAndTheEighthOnlyDisables) {
    CCorvinaDoc document;
    OpenFile(document);
    for (int i = 0; i < 7; ++i) {
        EXPECT_TRUE(document.ExecuteCommand(ID_AUDIO_VOLUME_DOWN));
    }
    EXPECT_EQ(CSoundControl::GetVolume(), 0x1FFF1FFFu);
    EXPECT_TRUE(document.ExecuteCommand(ID_AUDIO_VOLUME_DOWN));
    EXPECT_EQ(CSoundControl::GetVolume(), 0x1FFF1FFFu);
    EXPECT_FALSE(Query(document, ID_AUDIO_VOLUME_DOWN).bEnabled);
    EXPECT_FALSE(document.ExecuteCommand(ID_AUDIO_VOLUME_DOWN));
}

TEST_F(CorvinaDocTest, FourStepsDownFromHalfReachSilence) {
    CCorvinaDoc document;
    OpenFile(document);
    // Set elsewhere: the steps start from the volume as it is now.
    CSoundControl::SetVolume(0x80008000);
    for (int i = 0; i < 4; ++i) {
        document.ExecuteCommand(ID_AUDIO_VOLUME_DOWN);
    }
    EXPECT_EQ(CSoundControl::GetVolume(), 0u);
    EXPECT_TRUE(Query(document, ID_AUDIO_VOLUME_DOWN).bEnabled);
    document.ExecuteCommand(ID_AUDIO_VOLUME_DOWN);
    EXPECT_EQ(CSoundControl::GetVolume(), 0u);
    EXPECT_FALSE(Query(document, ID_AUDIO_VOLUME_DOWN).bEnabled);
}

TEST_F(CorvinaDocTest, UnequalChannelsStepOnTheirOwnWithoutBorrowOrCarry) {
    CCorvinaDoc document;
    OpenFile(document);
    CSoundControl::SetVolume(0x80001000);  // right 0x8000, left 0x1000
    document.ExecuteCommand(ID_AUDIO_VOLUME_DOWN);
    EXPECT_EQ(CSoundControl::GetVolume(), 0x60001000u);  // the left channel has no room: it stays
    CSoundControl::SetVolume(0xF0000100);                // right 0xF000 has no room, left has
    document.ExecuteCommand(ID_AUDIO_VOLUME_UP);
    EXPECT_EQ(CSoundControl::GetVolume(), 0xF0002100u);
}

// The programme of a dual-channel stream: offered only while one plays, the
// choice kept for the next stream; the terminal's key goes round the four.
TEST_F(CorvinaDocTest, ChannelChoicesAreHiddenWithoutADualChannelStreamAndCycle) {
    CCorvinaDoc document;
    ASSERT_TRUE(document.NewDocument());
    CCmdUI mix(ID_AUDIO_CHANNEL_MIX);
    document.OnUpdateCommand(mix);
    EXPECT_FALSE(mix.m_bVisible);
    EXPECT_TRUE(document.OnCommand(ID_AUDIO_CHANNEL_MIX));
    EXPECT_EQ(g_nDualChannel, 3);
    EXPECT_TRUE(Query(document, ID_AUDIO_CHANNEL_MIX).bChecked);
    EXPECT_FALSE(Query(document, ID_AUDIO_CHANNEL_BOTH, true).bChecked);
    for (int nExpected : {0, 1, 2, 3}) {
        EXPECT_TRUE(document.OnCommand(ID_AUDIO_CHANNEL_NEXT));
        EXPECT_EQ(g_nDualChannel, nExpected);
    }
}

// An open tells the front ends the file's playing time before it plays (its
// frames counted); a file of junk tells none, the search through it given
// up, so an open does not wait for it.
TEST_F(CorvinaDocTest, AnOpenTellsThePlayingTimeBeforePlay) {
    struct CListener : CEngineListener {
        void OnDecoderChanged(bool bHasDecoder, float fPlayingTime) override {
            bDecoder = bDecoder || bHasDecoder;
            fTime = fPlayingTime;
        }
        bool bDecoder = false;
        float fTime = -1.0f;
    } listener;
    AddEngineListener(&listener);
    CCorvinaDoc document;
    CFrameShape shape;
    shape.nFrequencyIndex = 1;
    const std::string strSong = m_dir.Write("song.mp2", BuildStream(shape, 400));
    ASSERT_TRUE(document.OpenDocument(strSong));
    EXPECT_FLOAT_EQ(listener.fTime, 400 * 1152 / 48000.0f);
    const std::string strJunk = m_dir.Write("junk.mp2", std::vector<uint8_t>(8 << 20, 0xFF));
    ASSERT_TRUE(document.OpenDocument(strJunk));
    EXPECT_FLOAT_EQ(listener.fTime, 400 * 1152 / 48000.0f);  // nothing told anew
    EXPECT_FALSE(listener.bDecoder);
    RemoveEngineListener(&listener);
}

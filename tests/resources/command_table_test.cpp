// The command table that the window, the toolbar and the terminal player read.
#include "resources/command_table.h"

#include <gtest/gtest.h>

#include <set>

TEST(CommandTable, EveryMenuAndToolbarEntryIsACommandOfTheTable) {
    std::set<int> ids;
    for (const CCommandInfo& command : GetCommands()) {
        EXPECT_TRUE(ids.insert(command.nID).second) << command.pszName << " twice";
    }
    for (const CMenuInfo& menu : GetMenus()) {
        for (int nID : menu.items) {
            EXPECT_TRUE(nID == 0 || ids.count(nID)) << menu.pszTitle << " " << nID;
        }
    }
    ASSERT_EQ(GetToolbar().size(), 18u);
    for (int nID : GetToolbar()) {
        EXPECT_TRUE(nID == 0 || ids.count(nID)) << nID;
    }
    for (const CAccelerator& accelerator : GetAccelerators()) {
        EXPECT_TRUE(ids.count(accelerator.nID)) << accelerator.pszKeys;
    }
}

TEST(CommandTable, CtrlLPausesAndLoopPlayHasNoKey) {
    int nCtrlL = 0;
    for (const CAccelerator& accelerator : GetAccelerators()) {
        EXPECT_NE(accelerator.nID, ID_PLAY_LOOP) << accelerator.pszKeys;
        if (std::string_view(accelerator.pszKeys) == "Ctrl+L") {
            nCtrlL = accelerator.nID;
        }
    }
    EXPECT_EQ(nCtrlL, ID_PLAY_PAUSE);
    EXPECT_STREQ(FindCommand(ID_PLAY_LOOP)->pszMenuText, "&Loop Play\tCtrl+L");
}

TEST(CommandTable, PromptsSplitIntoStatusTextAndTooltip) {
    const CCommandInfo* pPlay = FindCommand(ID_PLAY_PLAYBACK);
    ASSERT_NE(pPlay, nullptr);
    EXPECT_EQ(StatusPrompt(*pPlay), "Start playback the current audio stream");
    EXPECT_EQ(TooltipText(*pPlay), "Playback");
    const CCommandInfo* pSmooth = FindCommand(ID_AUDIO_SMOOTH);
    EXPECT_EQ(StatusPrompt(*pSmooth), "Turn on/off smooth playback mode");
    EXPECT_EQ(TooltipText(*pSmooth), "");
    EXPECT_EQ(FindCommand(12345), nullptr);
}

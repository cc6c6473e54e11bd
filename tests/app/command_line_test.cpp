// The command line: modes, options and usage errors.
#include "app/command_line.h"

#include <gtest/gtest.h>

#include <vector>

using namespace corvina;

namespace {

struct CParsed {
    bool bOk;
    CCommandLine commandLine;
    std::string strError;
};

CParsed Parse(std::vector<const char*> args) {
    args.insert(args.begin(), "corvina");
    CParsed parsed;
    parsed.bOk = ParseCommandLine(static_cast<int>(args.size()), args.data(), parsed.commandLine,
                                  parsed.strError);
    return parsed;
}

}  // namespace

TEST(CommandLine, ModesTakeTheirFiles) {
    auto parsed = Parse({"--wav", "out.wav", "in.mp2"});
    ASSERT_TRUE(parsed.bOk) << parsed.strError;
    EXPECT_EQ(parsed.commandLine.mode, ERunMode::Wav);
    EXPECT_EQ(parsed.commandLine.strOutput, "out.wav");
    EXPECT_EQ(parsed.commandLine.strFile, "in.mp2");

    parsed = Parse({"--raw", "-", "in.mp2"});
    ASSERT_TRUE(parsed.bOk);
    EXPECT_EQ(parsed.commandLine.mode, ERunMode::Raw);
    EXPECT_EQ(parsed.commandLine.strOutput, "-");

    parsed = Parse({"--play", "in.mp2", "--loop", "--smooth", "--output", "null"});
    ASSERT_TRUE(parsed.bOk) << parsed.strError;
    EXPECT_EQ(parsed.commandLine.mode, ERunMode::Play);
    EXPECT_TRUE(parsed.commandLine.bLoop);
    EXPECT_TRUE(parsed.commandLine.bSmooth);
    EXPECT_EQ(parsed.commandLine.strDevice, "null");

    parsed = Parse({"--wav", "o.wav", "in.mp2", "--conceal=off", "--channel", "mix"});
    ASSERT_TRUE(parsed.bOk) << parsed.strError;
    EXPECT_FALSE(parsed.commandLine.choices.bConceal);
    EXPECT_EQ(parsed.commandLine.choices.eDual, EDualChannel::Mix);

    parsed = Parse({});
    ASSERT_TRUE(parsed.bOk);
    EXPECT_EQ(parsed.commandLine.mode, ERunMode::Window);
    EXPECT_TRUE(parsed.commandLine.choices.bConceal);
    EXPECT_EQ(parsed.commandLine.choices.eDual, EDualChannel::Both);
    EXPECT_TRUE(parsed.commandLine.strFile.empty());

    parsed = Parse({"--", "--odd-name.mp2"});
    ASSERT_TRUE(parsed.bOk);
    EXPECT_EQ(parsed.commandLine.strFile, "--odd-name.mp2");
}

TEST(CommandLine, UsageErrorsSayWhatIsWrong) {
    const std::vector<std::vector<const char*>> bad = {
        {"--wav"},                             // no output
        {"--wav", "out.wav"},                  // no input
        {"--info"},                            // no input
        {"--wav", "o.wav", "a.mp2", "b.mp2"},  // two files to decode
        {"--info", "-@", "list.txt"},          // a list to describe
        {"--play", "--list"},                  // no list
        {"--play", "a.mp2", "--loop=yes"},     // a value for a switch
        {"--play", "a.mp2", "--start="},
        {"--play", "a.mp2", "--start", "inf"},
        {"--raw", "-", "a.mp2", "--start", "nan"},
        {"--play", "a.mp2", "--start", "1:inf"},
        {"--play", "a.mp2", "--output"},  // no device
        {"--play", "a.mp2", "--output", "oss"},
        {"--output", "wav:"},
        {"--info", "a.mp2", "--loop"},  // --loop without --play
        {"--wav", "o.wav", "a.mp2", "--output", "null"},
        {"--info", "a.mp2", "--raw", "-"},  // two modes
        {"--frobnicate"},
        {"--play", "a.mp2", "--conceal", "maybe"},
        {"--play", "a.mp2", "--channel", "3"},
        {"--raw", "-", "a.ts", "--track", "0"},
        {"--raw", "-", "a.ts", "--track", "2x"},
        {"--raw", "-", "a.ts", "--audio-lang", "de"},
        {"--info", "a.ts", "--track", "2"},  // --info lists every track
    };
    for (const auto& args : bad) {
        const auto parsed = Parse(args);
        EXPECT_FALSE(parsed.bOk) << args.front();
        EXPECT_FALSE(parsed.strError.empty());
    }
}

TEST(CommandLine, TrackAndLanguage) {
    const auto parsed = Parse({"--play", "a.ts", "--track", "2", "--audio-lang=eng"});
    ASSERT_TRUE(parsed.bOk) << parsed.strError;
    EXPECT_EQ(parsed.commandLine.track.nTrack, 2);
    EXPECT_EQ(parsed.commandLine.track.strLanguage, "eng");
}

TEST(CommandLine, DeviceNames) {
    for (const char* pszName : {"pulse", "pulse:corvina_test", "alsa", "alsa:hw:0,0",
                                "alsa:file:'out.raw',raw", "null", "wav:/tmp/out.wav"}) {
        EXPECT_TRUE(Parse({"--play", "a.mp2", "--output", pszName}).bOk) << pszName;
    }
    for (const char* pszName : {"alsa:", "wav:", "pulse:", "pulseaudio", "", "nul"}) {
        EXPECT_FALSE(Parse({"--play", "a.mp2", "--output", pszName}).bOk) << pszName;
    }
    // The environment's name is refused alike, and the option wins over it.
    setenv("CORVINA_OUTPUT", "bogus", 1);
    EXPECT_FALSE(Parse({"--play", "a.mp2"}).bOk);
    EXPECT_TRUE(Parse({"--play", "a.mp2", "--output", "null"}).bOk);
    EXPECT_TRUE(Parse({"--info", "a.mp2"}).bOk);
    unsetenv("CORVINA_OUTPUT");
}

TEST(CommandLine, ListsOfFilesAndValuesAfterAnEqualsSign) {
    auto parsed = Parse({"--play", "a.mp2", "-", "--output=wav:x=y.wav", "c.mp2", "--start=1:30"});
    ASSERT_TRUE(parsed.bOk) << parsed.strError;
    EXPECT_EQ(parsed.commandLine.files, (std::vector<std::string>{"a.mp2", "-", "c.mp2"}));
    EXPECT_EQ(parsed.commandLine.strFile, "a.mp2");
    EXPECT_EQ(parsed.commandLine.strDevice, "wav:x=y.wav");
    EXPECT_DOUBLE_EQ(parsed.commandLine.start.dValue, 90.0);

    parsed = Parse({"--info", "a.mp2", "b.mp2"});
    ASSERT_TRUE(parsed.bOk) << parsed.strError;
    EXPECT_EQ(parsed.commandLine.files.size(), 2u);

    // The window's queue; mpg123's lists, read as playlists whatever their
    // names, where they stand among the files, and played.
    parsed = Parse({"a.mp2", "b.mp2"});
    ASSERT_TRUE(parsed.bOk) << parsed.strError;
    EXPECT_EQ(parsed.commandLine.mode, ERunMode::Window);
    EXPECT_EQ(parsed.commandLine.files.size(), 2u);
    parsed = Parse({"a.mp2", "-@", "songs.txt", "--list=more", "b.mp2"});
    ASSERT_TRUE(parsed.bOk) << parsed.strError;
    EXPECT_EQ(parsed.commandLine.mode, ERunMode::Play);
    EXPECT_EQ(parsed.commandLine.files,
              (std::vector<std::string>{"a.mp2", "songs.txt", "more", "b.mp2"}));
    EXPECT_EQ(parsed.commandLine.listed, (std::vector<std::size_t>{1, 2}));
    EXPECT_TRUE(Parse({"--play", "--list", "songs.txt"}).bOk);

    parsed = Parse({"--wav=out.wav", "in.mp2"});
    ASSERT_TRUE(parsed.bOk) << parsed.strError;
    EXPECT_EQ(parsed.commandLine.strOutput, "out.wav");
}

TEST(CommandLine, HelpFitsEightyColumnsAndListsTheTerminalKeys) {
    const std::string strUsage = UsageText();
    EXPECT_NE(strUsage.find("--play FILE..."), std::string::npos);
    EXPECT_NE(strUsage.find("space or s"), std::string::npos);
    EXPECT_NE(strUsage.find("Play the next file"), std::string::npos);
    std::size_t nStart = 0;
    for (std::size_t nEnd; (nEnd = strUsage.find('\n', nStart)) != std::string::npos;
         nStart = nEnd + 1) {
        EXPECT_LE(nEnd - nStart, 80u) << strUsage.substr(nStart, nEnd - nStart);
    }
}

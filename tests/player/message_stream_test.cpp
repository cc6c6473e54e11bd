// The message stream: one whole message per ShowMessage, cut at the buffer.
#include "player/message_stream.h"
#include "platform/message_presenter.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "tests/support/recording_presenter.h"

using namespace corvina;

TEST(MessageStream, EachShowMessageStartsTheNextMessageAfresh) {
    CRecordingPresenter presenter;
    g_MessageStream << "first " << 12;
    ShowMessage(MSG_WARNING);
    g_MessageStream << "second";
    ShowMessage(MSG_INFORMATION);
    const auto messages = presenter.Messages();
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].nKind, MSG_WARNING);
    EXPECT_EQ(messages[0].strText, "first 12");
    EXPECT_EQ(messages[1].nKind, MSG_INFORMATION);
    EXPECT_EQ(messages[1].strText, "second");
}

TEST(MessageStream, OtherKindsShowNothingButEmptyTheStream) {
    CRecordingPresenter presenter;
    g_MessageStream << "never shown";
    ShowMessage(2);
    g_MessageStream << "shown";
    ShowMessage(MSG_WARNING);
    ASSERT_EQ(presenter.Texts(), std::vector<std::string>{"shown"});
}

TEST(MessageStream, LongMessageIsCutAtTheBufferAndTheNextOneIsWhole) {
    CRecordingPresenter presenter;
    const std::string strLong(5000, 'x');
    g_MessageStream << strLong << "tail";
    EXPECT_TRUE(g_MessageStream.Truncated());
    ShowMessage(MSG_WARNING);
    g_MessageStream << "next";
    EXPECT_FALSE(g_MessageStream.Truncated());
    ShowMessage(MSG_WARNING);
    const auto texts = presenter.Texts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0], std::string(CMessageStream::kBufferSize - 1, 'x'));
    EXPECT_EQ(texts[1], "next");
}

TEST(MessageStream, ThreadsComposeTheirMessagesApart) {
    CRecordingPresenter presenter;
    g_MessageStream << "interface ";
    std::thread worker([] {
        g_MessageStream << "worker text";
        ShowMessage(MSG_WARNING);
    });
    worker.join();
    g_MessageStream << "text";
    ShowMessage(MSG_INFORMATION);
    const auto texts = presenter.Texts();
    ASSERT_EQ(texts.size(), 2u);
    EXPECT_EQ(texts[0], "worker text");
    EXPECT_EQ(texts[1], "interface text");
}

// One line per warning, naming the file in hand; its lines become sentences.
TEST(ConsolePresenter, WarningsGoToStandardErrorWithTheirPrefix) {
    testing::internal::CaptureStderr();
    testing::internal::CaptureStdout();
    g_MessageStream << "can't seek to the file end\n";
    ShowMessage(MSG_WARNING);
    SetMessageSubject("song.mp2");
    g_MessageStream << "Invalid Audio Stream\nIt is AAC audio.";
    ShowMessage(MSG_WARNING);
    SetMessageSubject("");
    g_MessageStream << "song.mp2 is a layer II stereo\n";
    ShowMessage(MSG_INFORMATION);
    const std::string strOut = testing::internal::GetCapturedStdout();
    const std::string strErr = testing::internal::GetCapturedStderr();
    EXPECT_EQ(strErr,
              "corvina: can't seek to the file end\n"
              "corvina: song.mp2: Invalid Audio Stream. It is AAC audio.\n");
    EXPECT_EQ(strOut, "song.mp2 is a layer II stereo\n");
}

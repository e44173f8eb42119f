#include "msgbox.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "msgbox_recorder.h"

namespace {

using testing::internal::CaptureStderr;
using testing::internal::GetCapturedStderr;

TEST(MessageBox, DefaultAnswerIsTheFirstOrTheSecondButton) {
    struct Case {
        unsigned type;
        int answer;
    } cases[] = {
        {MB_OK, IDOK},
        {MB_OK | MB_ICONSTOP, IDOK},
        {MB_OK | MB_DEFBUTTON2, IDOK},
        {MB_OKCANCEL, IDOK},
        {MB_OKCANCEL | MB_DEFBUTTON2 | MB_ICONEXCLAMATION, IDCANCEL},
        {MB_YESNO | MB_ICONQUESTION, IDYES},
        {MB_YESNO | MB_DEFBUTTON2 | MB_ICONQUESTION, IDNO},
    };
    for (const auto& c : cases) EXPECT_EQ(DefaultMessageBoxAnswer(c.type), c.answer) << c.type;
}

TEST(MessageBox, ConsoleHandlerPrintsCaptionAndTextAndTakesTheDefault) {
    CaptureStderr();
    int answer = ShowMessageBox("Verbindung fehlgeschlagen", "Velo",
                                MB_YESNO | MB_DEFBUTTON2 | MB_ICONQUESTION);
    EXPECT_EQ(GetCapturedStderr(), "Velo: Verbindung fehlgeschlagen\n");
    EXPECT_EQ(answer, IDNO);
}

TEST(MessageBox, RecorderRecordsAndAnswersFromItsScript) {
    MessageBoxRecorder recorder;
    recorder.QueueAnswer(IDNO);
    recorder.QueueAnswer(IDCANCEL);

    EXPECT_EQ(ShowMessageBox("Nachricht löschen?", "Velo", MB_YESNO), IDNO);
    EXPECT_EQ(ShowMessageBox("Abbrechen?", "Relay", MB_OKCANCEL), IDCANCEL);
    EXPECT_EQ(ShowMessageBox("Noch einmal?", "Velo", MB_YESNO | MB_DEFBUTTON2), IDNO);
    EXPECT_EQ(ShowMessageBox("Fertig.", ""), IDOK);

    auto calls = recorder.Calls();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0].text, "Nachricht löschen?");
    EXPECT_EQ(calls[0].caption, "Velo");
    EXPECT_EQ(calls[0].type, unsigned{MB_YESNO});
    EXPECT_EQ(calls[1].caption, "Relay");
    EXPECT_EQ(calls[3].caption, "");
    EXPECT_EQ(calls[3].type, unsigned{MB_OK});
    EXPECT_EQ(recorder.Texts(), (std::vector<std::string>{"Nachricht löschen?", "Abbrechen?",
                                                          "Noch einmal?", "Fertig."}));
}

TEST(MessageBox, RecordersNestAndRestoreTheConsoleHandler) {
    {
        MessageBoxRecorder outer;
        {
            MessageBoxRecorder inner;
            ShowMessageBox("innen", "T");
            EXPECT_EQ(inner.Count(), 1u);
        }
        ShowMessageBox("außen", "T");
        EXPECT_EQ(outer.Texts(), std::vector<std::string>{"außen"});
    }
    CaptureStderr();
    ShowMessageBox("wieder Konsole", "T");
    EXPECT_EQ(GetCapturedStderr(), "T: wieder Konsole\n");
}

TEST(MessageBox, InstalledHandlerIsUsedAndEmptyHandlerRestoresTheConsole) {
    std::string seen;
    MessageBoxHandler previous =
        SetMessageBoxHandler([&](const std::string& text, const std::string& caption, unsigned) {
            seen = caption + "|" + text;
            return IDYES;
        });
    ASSERT_TRUE(previous);
    EXPECT_EQ(ShowMessageBox("Text", "Titel", MB_YESNO | MB_DEFBUTTON2), IDYES);
    EXPECT_EQ(seen, "Titel|Text");

    SetMessageBoxHandler({});
    CaptureStderr();
    EXPECT_EQ(ShowMessageBox("Text", "Titel", MB_YESNO | MB_DEFBUTTON2), IDNO);
    EXPECT_EQ(GetCapturedStderr(), "Titel: Text\n");

    // The handler handed back for the console one is itself usable.
    CaptureStderr();
    EXPECT_EQ(previous("x", "y", MB_OK), IDOK);
    EXPECT_EQ(GetCapturedStderr(), "y: x\n");
}

TEST(MessageBox, BoxesFromManyThreadsAreAllRecorded) {
    constexpr int kThreads = 4, kBoxes = 50;
    MessageBoxRecorder recorder;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([t] {
            for (int i = 0; i < kBoxes; ++i) ShowMessageBox(std::to_string(t), "T");
        });
    }
    EXPECT_TRUE(recorder.WaitForCalls(kThreads * kBoxes, std::chrono::seconds(10)));
    for (auto& th : threads) th.join();

    std::vector<int> perThread(kThreads);
    for (const auto& text : recorder.Texts()) ++perThread.at(std::stoi(text));
    for (int count : perThread) EXPECT_EQ(count, kBoxes);
}

TEST(MessageBox, WaitForCallsTimesOutWhenNoBoxComes) {
    MessageBoxRecorder recorder;
    EXPECT_FALSE(recorder.WaitForCalls(1, std::chrono::milliseconds(20)));
    std::thread later([] { ShowMessageBox("später", "T"); });
    EXPECT_TRUE(recorder.WaitForCalls(1, std::chrono::seconds(10)));
    later.join();
}

}  // namespace

#include "qt_message_box.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QMessageBox>
#include <QPushButton>
#include <QTimer>
#include <atomic>
#include <thread>

#include "msgbox.h"

namespace {

// Answers the next message box that opens by pressing the button with text.
void PressWhenShown(const QString& button) {
    QTimer::singleShot(0, [button] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(w);
            if (!box || !box->isVisible()) continue;
            for (QAbstractButton* b : box->buttons()) {
                if (b->text() == button) {
                    b->click();
                    return;
                }
            }
        }
        PressWhenShown(button);
    });
}

TEST(QtMessageBox, YesNoAnswersAndTheDefaultButton) {
    PressWhenShown("&Nein");
    EXPECT_EQ(QtMessageBox(nullptr, "Frage?", "Telvora", MB_YESNO | MB_ICONQUESTION), IDNO);
    PressWhenShown("&Ja");
    EXPECT_EQ(QtMessageBox(nullptr, "Frage?", "Telvora", MB_YESNO | MB_ICONQUESTION), IDYES);
    PressWhenShown("OK");
    EXPECT_EQ(QtMessageBox(nullptr, "Hinweis", "Telvora", MB_OK | MB_ICONSTOP), IDOK);
}

TEST(QtMessageBox, ABoxAskedOnAnotherThreadIsShownByTheGuiThread) {
    InstallQtMessageBoxHandler();
    std::atomic<int> answer{0};
    std::atomic<bool> done{false};
    std::thread worker([&] {
        answer = ShowMessageBox("Von einem anderen Faden", "Telvora", MB_YESNO);
        done = true;
    });
    PressWhenShown("&Nein");
    while (!done) QApplication::processEvents(QEventLoop::AllEvents, 20);
    worker.join();
    SetMessageBoxHandler({});
    EXPECT_EQ(answer, IDNO);
}

// The GUI thread may be waiting for that thread (joining it, or for a lock
// it holds): a notice from it must not wait for the GUI thread in turn.
TEST(QtMessageBox, ANoticeFromAnotherThreadDoesNotWaitForTheGuiThread) {
    InstallQtMessageBoxHandler();
    std::atomic<int> answer{0};
    std::thread worker([&] { answer = ShowMessageBox("Datei fehlt", "Telvora", MB_ICONSTOP); });
    worker.join();
    EXPECT_EQ(answer, IDOK);
    // The GUI thread shows it as soon as it handles its events.
    QString shown;
    QTimer::singleShot(0, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(w);
            if (box && box->isVisible()) {
                shown = box->text();
                box->accept();
            }
        }
    });
    QApplication::processEvents();
    SetMessageBoxHandler({});
    EXPECT_EQ(shown, "Datei fehlt");
}

}  // namespace

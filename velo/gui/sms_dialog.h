// The progress dialog of sending SMS notes: a modeless window that shows
// each step of the call to the SMS centre, then the result's title and the
// centre's message, and stays open until the user closes it. The core's
// sender runs on the GUI thread; the link's waits handle the window's
// events. Widgets are named "status", "result", "messageLabel", "message"
// and "close" for tests and the screenshot tool.
#pragma once

#include <QDialog>
#include <functional>
#include <string>

#include "sms_sender.h"

class QLabel;
class QPushButton;

class CSendSMSDlg : public QDialog, public SmsProgress {
    Q_OBJECT
public:
    using SendFunction = std::function<bool(SmsProgress&)>;

    explicit CSendSMSDlg(QWidget* parent = nullptr);

    // Shows the dialog and runs send; returns its result with the dialog
    // still open once the result is shown. The dialog may go away during
    // the send (its parent closed); the send then goes on unseen.
    bool Start(const SendFunction& send);
    // Runs until the user closes the dialog or the application quits.
    void WaitForClose();

    bool Sending() const { return sending_; }
    // Called after each progress text is shown (screenshots of a running send).
    void SetStatusShownHook(std::function<void(const std::string&)> hook) {
        statusShown_ = std::move(hook);
    }

    // SmsProgress
    void Status(const std::string& text) override;
    void Report(bool success, const std::string& text) override;

    // While the send runs, neither Escape nor the title bar closes the dialog.
    void reject() override;

private:
    QLabel* status_;
    QLabel* result_;
    QLabel* messageLabel_;
    QLabel* message_;
    QPushButton* close_;
    bool sending_ = false;
    bool reported_ = false;
    std::function<void(const std::string&)> statusShown_;
};

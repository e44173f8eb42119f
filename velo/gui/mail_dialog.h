// The progress dialog of sending an e-mail note: the heading "Email wird
// gesendet...", the status line of each step, then the end state, and an
// "OK" button that is enabled once the send has ended. The core's sender
// runs on the GUI thread. Widgets are named "heading", "status" and "ok"
// for tests and the screenshot tool.
#pragma once

#include <QDialog>
#include <functional>
#include <string>

#include "mail_sender.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;

class CMailDlg : public QDialog, public MailProgress {
    Q_OBJECT
public:
    using SendFunction = std::function<bool(MailProgress&)>;

    explicit CMailDlg(QWidget* parent = nullptr);

    // Shows the dialog and runs send; returns its result with the dialog
    // still open once the end state is shown. The dialog may go away during
    // the send (its parent closed); the send then goes on unseen.
    bool Start(const SendFunction& send);
    // Runs until the user closes the dialog or the application quits.
    void WaitForClose();

    void SetStatusShownHook(std::function<void(const std::string&)> hook) {
        statusShown_ = std::move(hook);
    }

    // MailProgress
    void Status(const std::string& text) override;
    void Report(bool success) override;

    void reject() override;

private:
    QLabel* heading_;
    QPlainTextEdit* status_;
    QPushButton* ok_;
    bool sending_ = false;
    bool reported_ = false;
    std::function<void(const std::string&)> statusShown_;
};

// The progress dialog of sending an ISDN note. The core's sender runs on
// the GUI thread while the dialog shows each step; the link's waits handle
// the window's events (see gui_wait_hook.h), so the dialog stays alive.
// After the report the dialog stays open until the user closes it. Its
// widgets are named "caption", "status", "result" and "close" for tests
// and the screenshot tool.
#pragma once

#include <QDialog>
#include <functional>
#include <string>

#include "note_sender.h"
#include "settings_file.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;
class CSenderDlg;

class CSendDlg : public QDialog, public SendProgress {
    Q_OBJECT
public:
    using SendFunction = std::function<bool(SendProgress&)>;

    // settings: where the sender dialog keeps the sender's own data.
    explicit CSendDlg(const SettingsFile& settings, QWidget* parent = nullptr);

    // For the main window: shows the dialog over parent, runs send, and
    // after the report lets the user read it until the dialog is closed.
    // Returns the send's result.
    static bool Run(QWidget* parent, const SettingsFile& settings, const SendFunction& send);

    // Shows the dialog and runs send; returns its result once it has
    // reported, the dialog still open (tests and screenshots go on from
    // there). A send that ends without a report
    // (the user did not want to enter the sender's data) closes the dialog.
    // The dialog may go away during the send (its parent closed): the send
    // then goes on unseen.
    bool Start(const SendFunction& send);
    // Runs until the user closes the dialog or the application quits.
    void WaitForClose();

    bool Sending() const { return sending_; }

    // Called after each status text is shown (screenshots of a running send).
    void SetStatusShownHook(std::function<void(const std::string&)> hook) {
        statusShown_ = std::move(hook);
    }
    // Called with the sender dialog once it is open; tests fill it in.
    void SetSenderDialogHook(std::function<void(CSenderDlg&)> hook) {
        senderDialogShown_ = std::move(hook);
    }

    // SendProgress
    void Status(const std::string& text) override;
    bool Ask(const std::string& question) override;
    bool EditSettings() override;
    void Report(bool success, const std::string& reply) override;

    // While the send runs, neither Escape nor the title bar closes the dialog.
    void reject() override;

private:
    void ShowText(const std::string& text);

    const SettingsFile& settings_;
    QLabel* caption_;
    QPlainTextEdit* status_;
    QLabel* result_;
    QPushButton* close_;
    bool sending_ = false;
    bool reported_ = false;
    std::function<void(const std::string&)> statusShown_;
    std::function<void(CSenderDlg&)> senderDialogShown_;
};

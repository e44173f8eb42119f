#include "send_dialog.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

#include "app_caption.h"
#include "gui_wait_hook.h"
#include "msgbox.h"
#include "sender_dialog.h"

namespace {

// What the sender talks to. The dialog is a child of the main window and
// goes with it when that closes during a send; the send then finishes
// unseen, as if the user had said no to every question.
class GuardedProgress : public SendProgress {
public:
    explicit GuardedProgress(const QPointer<CSendDlg>& dlg) : dlg_(dlg) {}
    void Status(const std::string& text) override {
        if (dlg_) dlg_->Status(text);
    }
    bool Ask(const std::string& question) override { return dlg_ && dlg_->Ask(question); }
    bool EditSettings() override { return dlg_ && dlg_->EditSettings(); }
    void Report(bool success, const std::string& reply) override {
        if (dlg_) dlg_->Report(success, reply);
    }

private:
    const QPointer<CSendDlg>& dlg_;
};

// The receiver may run on Windows and answer with CR LF line ends.
QString ReplyText(const std::string& reply) {
    return QString::fromStdString(reply).replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
}

}  // namespace

CSendDlg::CSendDlg(const SettingsFile& settings, QWidget* parent)
    : QDialog(parent), settings_(settings) {
    setWindowTitle(QStringLiteral("Notiz senden"));
    caption_ = new QLabel(QStringLiteral("Status:"), this);
    caption_->setObjectName(QStringLiteral("caption"));
    status_ = new QPlainTextEdit(this);
    status_->setObjectName(QStringLiteral("status"));
    status_->setReadOnly(true);
    status_->setMinimumSize(420, 90);
    caption_->setBuddy(status_);
    result_ = new QLabel(this);
    result_->setObjectName(QStringLiteral("result"));
    result_->setTextFormat(Qt::PlainText);
    close_ = new QPushButton(QStringLiteral("&Schließen"), this);
    close_->setObjectName(QStringLiteral("close"));
    close_->setAutoDefault(false);
    connect(close_, &QPushButton::clicked, this, &QDialog::accept);

    auto* bottom = new QHBoxLayout;
    bottom->addWidget(result_, 1);
    bottom->addWidget(close_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(caption_);
    layout->addWidget(status_, 1);
    layout->addLayout(bottom);
}

bool CSendDlg::Run(QWidget* parent, const SettingsFile& settings, const SendFunction& send) {
    // Not on the stack: the parent deletes its children when it goes first.
    QPointer<CSendDlg> dlg = new CSendDlg(settings, parent);
    bool ok = dlg->Start(send);
    if (dlg) dlg->WaitForClose();
    delete dlg;
    return ok;
}

bool CSendDlg::Start(const SendFunction& send) {
    sending_ = true;
    reported_ = false;
    caption_->setText(QStringLiteral("Status:"));
    status_->clear();
    result_->clear();
    close_->setEnabled(false);
    setWindowModality(Qt::WindowModal);
    show();

    QPointer<CSendDlg> self(this);
    GuardedProgress progress(self);
    bool ok = send(progress);
    if (!self) return ok;
    sending_ = false;
    if (!reported_) done(QDialog::Rejected);
    return ok;
}

void CSendDlg::WaitForClose() {
    WaitUntilClosed(*this);
}

void CSendDlg::Status(const std::string& text) {
    status_->setPlainText(QString::fromStdString(text) + QLatin1Char('\n'));
    if (statusShown_) statusShown_(text);
}

bool CSendDlg::Ask(const std::string& question) {
    return ShowMessageBox(question, kAppCaption, MB_YESNO | MB_ICONEXCLAMATION) == IDYES;
}

bool CSendDlg::EditSettings() {
    QPointer<CSenderDlg> dlg = new CSenderDlg(settings_, this);
    if (senderDialogShown_) {
        QTimer::singleShot(0, dlg, [this, dlg] { senderDialogShown_(*dlg); });
    }
    bool ok = dlg->exec() == QDialog::Accepted;
    delete dlg;
    return ok;
}

void CSendDlg::Report(bool success, const std::string& reply) {
    reported_ = true;
    result_->setText(success ? QStringLiteral("Notiz wurde gesendet!")
                             : QStringLiteral("Notiz konnte nicht gesendet werden!"));
    if (success) {
        caption_->setText(QStringLiteral("Empfängermitteilung:"));
        status_->setPlainText(ReplyText(reply));
    }
    QApplication::beep();
    close_->setEnabled(true);
    close_->setDefault(true);
    close_->setFocus();
}

void CSendDlg::reject() {
    // QDialog's close event and Escape both come here.
    if (sending_ && !reported_) return;
    QDialog::reject();
}

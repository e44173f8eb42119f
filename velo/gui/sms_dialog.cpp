#include "sms_dialog.h"

#include <QApplication>
#include <QGridLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>

#include "gui_wait_hook.h"

namespace {

// What the sender talks to; the dialog may be gone (its parent closed).
class GuardedSmsProgress : public SmsProgress {
public:
    explicit GuardedSmsProgress(const QPointer<CSendSMSDlg>& dlg) : dlg_(dlg) {}
    void Status(const std::string& text) override {
        if (dlg_) dlg_->Status(text);
    }
    void Report(bool success, const std::string& text) override {
        if (dlg_) dlg_->Report(success, text);
    }

private:
    const QPointer<CSendSMSDlg>& dlg_;
};

QLabel* WrappingLabel(const char* name, QWidget* parent) {
    auto* label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    return label;
}

}  // namespace

CSendSMSDlg::CSendSMSDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QStringLiteral("SMS senden"));
    status_ = WrappingLabel("status", this);
    status_->setMinimumSize(420, 48);
    status_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    status_->setFrameShape(QFrame::StyledPanel);
    result_ = WrappingLabel("result", this);
    QFont bold = result_->font();
    bold.setBold(true);
    result_->setFont(bold);
    messageLabel_ = WrappingLabel("messageLabel", this);
    message_ = WrappingLabel("message", this);
    message_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    close_ = new QPushButton(QStringLiteral("&Schließen"), this);
    close_->setObjectName(QStringLiteral("close"));
    close_->setAutoDefault(false);
    connect(close_, &QPushButton::clicked, this, &QDialog::accept);

    auto* layout = new QGridLayout(this);
    layout->addWidget(status_, 0, 0, 1, 3);
    layout->addWidget(result_, 1, 0, 1, 3);
    layout->addWidget(messageLabel_, 2, 0, Qt::AlignTop);
    layout->addWidget(message_, 2, 1, 1, 2);
    layout->addWidget(close_, 3, 2, Qt::AlignRight);
    layout->setColumnStretch(1, 1);
}

bool CSendSMSDlg::Start(const SendFunction& send) {
    sending_ = true;
    reported_ = false;
    status_->clear();
    result_->clear();
    messageLabel_->clear();
    message_->clear();
    close_->setEnabled(false);
    show();

    QPointer<CSendSMSDlg> self(this);
    GuardedSmsProgress progress(self);
    bool ok = send(progress);
    if (!self) return ok;
    sending_ = false;
    // A send that ends without a result (nothing to send) leaves nothing to read.
    if (!reported_) done(QDialog::Rejected);
    return ok;
}

void CSendSMSDlg::WaitForClose() {
    WaitUntilClosed(*this);
}

void CSendSMSDlg::Status(const std::string& text) {
    status_->setText(QString::fromStdString(text));
    status_->repaint();
    if (statusShown_) statusShown_(text);
}

void CSendSMSDlg::Report(bool success, const std::string& text) {
    reported_ = true;
    result_->setText(success ? QStringLiteral("SMS-Nachricht wurde gesendet!")
                             : QStringLiteral("SMS-Nachricht konnte nicht gesendet werden!"));
    if (!text.empty()) {
        messageLabel_->setText(QStringLiteral("SMS-Meldung:"));
        message_->setText(QString::fromStdString(text));
    }
    QApplication::beep();
    close_->setEnabled(true);
    close_->setDefault(true);
    close_->setFocus();
}

void CSendSMSDlg::reject() {
    if (sending_ && !reported_) return;
    QDialog::reject();
}

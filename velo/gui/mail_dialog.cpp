#include "mail_dialog.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

#include "app_caption.h"
#include "gui_wait_hook.h"

namespace {

class GuardedMailProgress : public MailProgress {
public:
    explicit GuardedMailProgress(const QPointer<CMailDlg>& dlg) : dlg_(dlg) {}
    void Status(const std::string& text) override {
        if (dlg_) dlg_->Status(text);
    }
    void Report(bool success) override {
        if (dlg_) dlg_->Report(success);
    }

private:
    const QPointer<CMailDlg>& dlg_;
};

}  // namespace

CMailDlg::CMailDlg(QWidget* parent) : QDialog(parent) {
    setWindowTitle(QString::fromUtf8(kAppCaption));
    heading_ = new QLabel(QStringLiteral("Email wird gesendet..."), this);
    heading_->setObjectName(QStringLiteral("heading"));
    QFont bold = heading_->font();
    bold.setBold(true);
    heading_->setFont(bold);
    auto* caption = new QLabel(QStringLiteral("&Status:"), this);
    status_ = new QPlainTextEdit(this);
    status_->setObjectName(QStringLiteral("status"));
    status_->setReadOnly(true);
    status_->setMinimumSize(420, 80);
    caption->setBuddy(status_);
    ok_ = new QPushButton(QStringLiteral("OK"), this);
    ok_->setObjectName(QStringLiteral("ok"));
    ok_->setAutoDefault(false);
    connect(ok_, &QPushButton::clicked, this, &QDialog::accept);

    auto* bottom = new QHBoxLayout;
    bottom->addStretch(1);
    bottom->addWidget(ok_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(heading_);
    layout->addWidget(caption);
    layout->addWidget(status_, 1);
    layout->addLayout(bottom);
}

bool CMailDlg::Start(const SendFunction& send) {
    sending_ = true;
    reported_ = false;
    heading_->setText(QStringLiteral("Email wird gesendet..."));
    status_->clear();
    ok_->setEnabled(false);
    show();
    QPointer<CMailDlg> self(this);
    GuardedMailProgress progress(self);
    bool ok = send(progress);
    if (!self) return ok;
    sending_ = false;
    if (!reported_) done(QDialog::Rejected);
    return ok;
}

void CMailDlg::WaitForClose() {
    WaitUntilClosed(*this);
}

void CMailDlg::Status(const std::string& text) {
    status_->setPlainText(QString::fromStdString(text));
    status_->repaint();
    if (statusShown_) statusShown_(text);
}

void CMailDlg::Report(bool success) {
    reported_ = true;
    heading_->setText(success ? QStringLiteral("Email wurde gesendet!")
                              : QStringLiteral("Email konnte nicht gesendet werden!"));
    QApplication::beep();
    ok_->setEnabled(true);
    ok_->setDefault(true);
    ok_->setFocus();
}

void CMailDlg::reject() {
    if (sending_ && !reported_) return;
    QDialog::reject();
}

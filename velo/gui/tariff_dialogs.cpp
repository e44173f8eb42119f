#include "tariff_dialogs.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "dialog_buttons.h"

namespace {

// A record is one line of Telvora.cfg, and a value there is read back at
// most 255 characters long: the fields together must stay below that.
constexpr int kMaxNameChars = 100;
constexpr int kMaxPrefixChars = 20;

// A refused input gets the focus back with its text selected, so that
// typing replaces it.
void Reselect(QLineEdit* edit) {
    edit->setFocus();
    edit->selectAll();
}

std::string Typed(const QLineEdit* edit) {
    return edit->text().trimmed().toStdString();
}

}  // namespace

CProviderDlg::CProviderDlg(const std::string& name, const std::string& prefix, Store store,
                           QWidget* parent)
    : QDialog(parent), store_(std::move(store)) {
    setWindowTitle(QStringLiteral("Call By Call Provider"));
    name_ = new QLineEdit(QString::fromStdString(name), this);
    name_->setMaxLength(kMaxNameChars);
    prefix_ = new QLineEdit(QString::fromStdString(prefix), this);
    prefix_->setMaxLength(kMaxPrefixChars);
    // Only what a telephone dials.
    prefix_->setValidator(
        new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9*#]*")), prefix_));
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Name:"), name_);
    form->addRow(QStringLiteral("&Vorwahl:"), prefix_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(OkCancelButtons(this));
    setMinimumWidth(320);
}

void CProviderDlg::accept() {
    if (!store_(Typed(name_), Typed(prefix_))) {
        Reselect(name_);
        return;
    }
    QDialog::accept();
}

CPlanDlg::CPlanDlg(const std::string& name, Store store, QWidget* parent)
    : QDialog(parent), store_(std::move(store)) {
    setWindowTitle(QStringLiteral("Tarifplan"));
    name_ = new QLineEdit(QString::fromStdString(name), this);
    name_->setMaxLength(kMaxNameChars);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Name:"), name_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(OkCancelButtons(this));
    setMinimumWidth(300);
}

void CPlanDlg::accept() {
    if (!store_(Typed(name_))) {
        Reselect(name_);
        return;
    }
    QDialog::accept();
}

CTariffDlg::CTariffDlg(const tariff::EntryRanges& ranges, const std::vector<std::string>& providers,
                       const std::string& provider, Store store, QWidget* parent)
    : QDialog(parent), store_(std::move(store)) {
    setWindowTitle(QStringLiteral("Tariff"));
    for (QComboBox*& box : boxes_) box = new QComboBox(this);
    for (const char* day : tariff::kDayNames) {
        boxes_[0]->addItem(QString::fromUtf8(day));
        boxes_[1]->addItem(QString::fromUtf8(day));
    }
    for (int hour = 0; hour <= tariff::kLastHour; ++hour) {
        boxes_[2]->addItem(QString::fromStdString(tariff::FirstHourText(hour)));
        boxes_[3]->addItem(QString::fromStdString(tariff::LastHourText(hour)));
    }
    provider_ = new QComboBox(this);
    for (const std::string& name : providers) provider_->addItem(QString::fromStdString(name));
    provider_->setCurrentIndex(provider_->findText(QString::fromStdString(provider)));
    if (provider_->currentIndex() < 0 && provider_->count() > 0) provider_->setCurrentIndex(0);
    Show(ranges);

    const tariff::RangeList lists[] = {tariff::RangeList::FirstDay, tariff::RangeList::LastDay,
                                       tariff::RangeList::FirstHour, tariff::RangeList::LastHour};
    for (int i = 0; i < 4; ++i) {
        connect(boxes_[i], &QComboBox::currentIndexChanged, this,
                [this, which = lists[i]] { Changed(which); });
    }

    auto* days = new QGroupBox(QStringLiteral("Tag"), this);
    auto* dayForm = new QFormLayout(days);
    dayForm->addRow(QStringLiteral("&Von:"), boxes_[0]);
    dayForm->addRow(QStringLiteral("&Bis:"), boxes_[1]);
    auto* hours = new QGroupBox(QStringLiteral("Uhrzeit"), this);
    auto* hourForm = new QFormLayout(hours);
    hourForm->addRow(QStringLiteral("Vo&n:"), boxes_[2]);
    hourForm->addRow(QStringLiteral("B&is:"), boxes_[3]);
    auto* ranges_row = new QHBoxLayout;
    ranges_row->addWidget(days);
    ranges_row->addWidget(hours);
    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Provider:"), provider_);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(ranges_row);
    layout->addLayout(form);
    layout->addWidget(OkCancelButtons(this));
}

tariff::EntryRanges CTariffDlg::Ranges() const {
    return {boxes_[0]->currentIndex(), boxes_[1]->currentIndex(), boxes_[2]->currentIndex(),
            boxes_[3]->currentIndex()};
}

void CTariffDlg::Show(const tariff::EntryRanges& r) {
    const int values[] = {r.firstDay, r.lastDay, r.firstHour, r.lastHour};
    for (int i = 0; i < 4; ++i) {
        QSignalBlocker block(boxes_[i]);
        boxes_[i]->setCurrentIndex(values[i]);
    }
}

void CTariffDlg::Changed(tariff::RangeList which) {
    tariff::EntryRanges ranges = Ranges();
    if (!tariff::CheckRangeChoice(ranges, which)) Show(ranges);
}

void CTariffDlg::accept() {
    if (!store_(Ranges(), provider_->currentText().toStdString())) return;
    QDialog::accept();
}

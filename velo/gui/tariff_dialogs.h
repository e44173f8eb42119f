// The three small call-by-call dialogs: a provider ("Call By Call
// Provider"), a tariff plan's name ("Tarifplan") and a tariff entry
// ("Tariff"). Each hands its input to a store function on OK and stays
// open when that refuses it; the pages own the lists and the checks.
#pragma once

#include <QDialog>
#include <functional>
#include <string>
#include <vector>

#include "tariff_pages.h"

class QComboBox;
class QLineEdit;

class CProviderDlg : public QDialog {
    Q_OBJECT
public:
    using Store = std::function<bool(const std::string& name, const std::string& prefix)>;
    CProviderDlg(const std::string& name, const std::string& prefix, Store store,
                 QWidget* parent = nullptr);
    QLineEdit* NameEdit() const { return name_; }
    QLineEdit* PrefixEdit() const { return prefix_; }
    void accept() override;

private:
    QLineEdit* name_;
    QLineEdit* prefix_;
    Store store_;
};

class CPlanDlg : public QDialog {
    Q_OBJECT
public:
    using Store = std::function<bool(const std::string& name)>;
    CPlanDlg(const std::string& name, Store store, QWidget* parent = nullptr);
    QLineEdit* NameEdit() const { return name_; }
    void accept() override;

private:
    QLineEdit* name_;
    Store store_;
};

class CTariffDlg : public QDialog {
    Q_OBJECT
public:
    using Store = std::function<bool(const tariff::EntryRanges&, const std::string& provider)>;
    // providers: the names offered; provider: the one chosen first.
    CTariffDlg(const tariff::EntryRanges& ranges, const std::vector<std::string>& providers,
               const std::string& provider, Store store, QWidget* parent = nullptr);
    QComboBox* FirstDayBox() const { return boxes_[0]; }
    QComboBox* LastDayBox() const { return boxes_[1]; }
    QComboBox* FirstHourBox() const { return boxes_[2]; }
    QComboBox* LastHourBox() const { return boxes_[3]; }
    QComboBox* ProviderBox() const { return provider_; }
    tariff::EntryRanges Ranges() const;
    void accept() override;

private:
    void Show(const tariff::EntryRanges& ranges);
    void Changed(tariff::RangeList which);

    QComboBox* boxes_[4];
    QComboBox* provider_;
    Store store_;
};

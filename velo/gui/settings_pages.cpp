#include "settings_pages.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFormLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QRadioButton>
#include <QVBoxLayout>
#include <functional>

#include "app_caption.h"
#include "note_folders.h"
#include "config_keys.h"
#include "item_list.h"
#include "mobile_networks.h"
#include "msgbox.h"
#include "paths.h"
#include "settings_file.h"
#include "tariff_pages.h"
#include "utf8.h"

namespace {

QString SettingsText(const std::string& text) {
    return QString::fromStdString(text);
}

// A page of keys: each control shows its key's value and writes it back
// when the user changed it.
class SettingsKeyPage : public SettingsPage {
public:
    SettingsKeyPage(const std::string& config, QWidget* parent)
        : SettingsPage(parent), settings_(config), form_(new QFormLayout) {
        auto* layout = new QVBoxLayout(this);
        layout->addLayout(form_);
        layout->addStretch(1);
    }

    QLineEdit* Text(const char* label, const TextSetting& key) {
        auto* edit = new QLineEdit(SettingsText(settings_.Read(key)), this);
        form_->addRow(QString::fromUtf8(label), edit);
        std::string original = settings_.Read(key);
        savers_.push_back([this, edit, key, original] {
            std::string now = edit->text().toStdString();
            return now == original || settings_.Write(key, now);
        });
        return edit;
    }
    QCheckBox* OnOff(const char* label, const TextSetting& key) {
        auto* box = new QCheckBox(QString::fromUtf8(label), this);
        bool original = cfg::IsOn(settings_.Read(key));
        box->setChecked(original);
        form_->addRow(box);
        savers_.push_back([this, box, key, original] {
            return box->isChecked() == original ||
                   settings_.Write(key, std::string(cfg::OnOffText(box->isChecked())));
        });
        return box;
    }
    QCheckBox* OnOff(const char* label, const IntSetting& key) {
        auto* box = new QCheckBox(QString::fromUtf8(label), this);
        bool original = settings_.Read(key) == 1;
        box->setChecked(original);
        form_->addRow(box);
        savers_.push_back([this, box, key, original] {
            return box->isChecked() == original || settings_.Write(key, box->isChecked() ? 1 : 0);
        });
        return box;
    }
    // "Kein" and every tariff plan by name; the plan's key is stored.
    QComboBox* Plan(const char* label, const TextSetting& key) {
        auto* box = new QComboBox(this);
        std::string original = settings_.Read(key);
        FillPlans(box, tariff::PlanChoices(settings_), original);
        planBoxes_.push_back(box);
        form_->addRow(QString::fromUtf8(label), box);
        savers_.push_back([this, box, key, original] {
            std::string now = box->currentData().toString().toStdString();
            return now == original || settings_.Write(key, now);
        });
        return box;
    }
    // The items of a list by their names; the chosen one's id is stored.
    QComboBox* Choice(const char* label, const char* list, size_t fields, size_t nameField,
                      const IntSetting& key) {
        auto* box = new QComboBox(this);
        ItemList items(fields);
        items.Load(settings_, list);
        int original = settings_.Read(key);
        for (const ListItem& item : items.Items()) {
            box->addItem(SettingsText(item.fields[nameField]), item.id);
            if (item.id == original) box->setCurrentIndex(box->count() - 1);
        }
        form_->addRow(QString::fromUtf8(label), box);
        // What the page showed first counts as unchanged, also when the
        // stored id names no item and the first one is shown instead.
        int shown = box->currentIndex() < 0 ? original : box->currentData().toInt();
        savers_.push_back([this, box, key, original, shown] {
            if (box->currentIndex() < 0) return true;
            int now = box->currentData().toInt();
            return now == shown || now == original || settings_.Write(key, now);
        });
        return box;
    }

    bool Save() override {
        for (auto& save : savers_) {
            if (!save()) {
                ShowSettingsNotSaved(settings_.Path());
                return false;
            }
        }
        return true;
    }

    // The choice stays on its plan; a plan deleted meanwhile leaves "Kein".
    void ShowPlans(const std::vector<tariff::PlanChoice>& choices) override {
        for (QComboBox* box : planBoxes_)
            FillPlans(box, choices, box->currentData().toString().toStdString());
    }

protected:
    static void FillPlans(QComboBox* box, const std::vector<tariff::PlanChoice>& choices,
                          const std::string& key) {
        QSignalBlocker block(box);
        box->clear();
        for (const tariff::PlanChoice& c : choices) {
            box->addItem(SettingsText(c.name), SettingsText(c.key));
            if (c.key == key) box->setCurrentIndex(box->count() - 1);
        }
    }

    SettingsFile settings_;
    QFormLayout* form_;
    std::vector<QComboBox*> planBoxes_;
    std::vector<std::function<bool()>> savers_;
};

class SignatureSettingsPage : public SettingsPage {
public:
    SignatureSettingsPage(const std::string& config, const std::string& installDir, QWidget* parent)
        : SettingsPage(parent), settings_(config), installDir_(installDir) {
        none_ = new QRadioButton(QStringLiteral("&Keine Signatur"), this);
        text_ = new QRadioButton(QStringLiteral("&Text"), this);
        edit_ = new QPlainTextEdit(this);
        edit_->setObjectName(QStringLiteral("signature"));
        flag_ = settings_.Read(cfg::kSignatureFlag);
        (flag_ == 1 ? text_ : none_)->setChecked(true);
        std::string file = settings_.Read(cfg::kSignatureFile);
        original_ = file.empty() ? "" : ReadNoteText(JoinPath(installDir_, file), 4096);
        edit_->setPlainText(SettingsText(original_));
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(none_);
        layout->addWidget(text_);
        layout->addWidget(edit_, 1);
    }
    bool Check() override {
        if (Utf8Chars(edit_->toPlainText().toStdString()) <= 256) return true;
        ShowMessageBox(kSignatureTooLong, kAppCaption, MB_ICONEXCLAMATION);
        return false;
    }
    bool Save() override {
        int flag = text_->isChecked() ? 1 : 0;
        if (flag != flag_ && !settings_.Write(cfg::kSignatureFlag, flag)) return false;
        std::string text = edit_->toPlainText().toStdString();
        std::string file = settings_.Read(cfg::kSignatureFile);
        if (text == original_) return true;
        if (file.empty()) {
            file = cfg::kDefaultSignatureFile;
            settings_.Write(cfg::kSignatureFile, file);
        }
        if (!WriteNoteText(JoinPath(installDir_, file), text)) {
            ShowMessageBox(kFileCannotBeMade, kAppCaption, MB_ICONSTOP);
            return false;
        }
        return true;
    }

private:
    SettingsFile settings_;
    std::string installDir_;
    QRadioButton* none_;
    QRadioButton* text_;
    QPlainTextEdit* edit_;
    int flag_ = 0;
    std::string original_;
};

// The reply message that the answering station returns to those who send
// a note: the text of the file that [Parameters] respMsg + id names.
class ReplyMessageSettingsPage : public SettingsPage {
public:
    ReplyMessageSettingsPage(const std::string& config, const std::string& installDir,
                             QWidget* parent)
        : SettingsPage(parent), settings_(config), installDir_(installDir) {
        id_ = settings_.Read(cfg::kRespMsgId);
        std::string file = settings_.ReadText(cfg::kParameters, cfg::RespMsgKey(id_).c_str(), "");
        original_ = file.empty() ? "" : ReadNoteText(JoinPath(installDir_, file), 4096);
        edit_ = new QPlainTextEdit(SettingsText(original_), this);
        edit_->setObjectName(QStringLiteral("replyMessage"));
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(new QLabel(QStringLiteral("&Mitteilungstext an die Absender:"), this));
        layout->addWidget(edit_, 1);
    }
    bool Save() override {
        std::string text = edit_->toPlainText().toStdString();
        if (text == original_) return true;
        std::string key = cfg::RespMsgKey(id_);
        std::string file = settings_.ReadText(cfg::kParameters, key.c_str(), "");
        if (file.empty()) {
            file = cfg::RespMsgFileName(id_);
            settings_.WriteText(cfg::kParameters, key.c_str(), file.c_str());
        }
        if (!WriteNoteText(JoinPath(installDir_, file), text)) {
            ShowMessageBox(kFileCannotBeMade, kAppCaption, MB_ICONSTOP);
            return false;
        }
        return true;
    }

private:
    SettingsFile settings_;
    std::string installDir_;
    std::string id_;
    std::string original_;
    QPlainTextEdit* edit_;
};

class EmailServerSettingsPage : public SettingsKeyPage {
public:
    EmailServerSettingsPage(const std::string& config, QWidget* parent) : SettingsKeyPage(config, parent) {
        box_ = new QComboBox(this);
        box_->setObjectName(QStringLiteral("profile"));
        form_->addRow(QStringLiteral("&Profil:"), box_);
        for (const char* name : {"server", "sender", "connection"}) {
            auto* line = new QLabel(this);
            line->setObjectName(QLatin1String(name));
            line->setTextFormat(Qt::PlainText);
            form_->addRow(line);
            lines_.push_back(line);
        }
        ItemList profiles(cfg::kRelayProfileFields);
        profiles.Load(settings_, cfg::kRelayProfiles);
        int stored = settings_.Read(cfg::kEmailServerProfile);
        for (const ListItem& p : profiles.Items()) {
            if (p.fields[cfg::relay_profile::kType] != cfg::relay_profile::kEmailType) continue;
            profiles_.push_back(p);
            box_->addItem(SettingsText(p.fields[cfg::relay_profile::kName]), p.id);
            if (p.id == stored) box_->setCurrentIndex(box_->count() - 1);
        }
        // A stored id that names no e-mail profile: the first one is chosen.
        original_ = box_->count() > 0 && box_->currentData().toInt() == stored ? stored : -1;
        box_->setEnabled(box_->count() > 0);
        connect(box_, &QComboBox::currentIndexChanged, this, [this] { Show(); });
        Show();
    }
    bool Save() override {
        if (box_->currentIndex() < 0) return true;
        int now = box_->currentData().toInt();
        return now == original_ || settings_.Write(cfg::kEmailServerProfile, now);
    }

private:
    void Show() {
        int i = box_->currentIndex();
        if (i < 0) {
            for (QLabel* l : lines_) l->clear();
            return;
        }
        const ListItem& p = profiles_[static_cast<size_t>(i)];
        lines_[0]->setText(SettingsText("SMTP-Server:\t" + p.fields[cfg::relay_profile::kSmtpServer]));
        lines_[1]->setText(SettingsText("Email-Adresse:\t" + p.fields[cfg::relay_profile::kSender]));
        bool lan = p.fields[cfg::relay_profile::kConnectionMode] == cfg::relay_profile::kLocalNetwork;
        lines_[2]->setText(SettingsText(std::string("Verbindung:\t") +
                             (lan ? "Lokales Netzwerk (LAN)" : p.fields[cfg::relay_profile::kDialUpEntry])));
    }

    QComboBox* box_;
    std::vector<QLabel*> lines_;
    std::vector<ListItem> profiles_;
    int original_ = -1;
};

class RelaySectionPage : public SettingsKeyPage {
public:
    RelaySectionPage(const std::string& config, const std::string& installDir, const char* section,
              QWidget* parent)
        : SettingsKeyPage(config, parent), installDir_(installDir), keys_(cfg::RelayKeys(section)) {
        OnOff(std::string(section) == cfg::kRelayCall ? "&Anrufe weiterleiten"
                                                      : "&Notizen weiterleiten",
              keys_.relay);
        Choice("&Weiterleiten mit:", cfg::kRelayProfiles, cfg::kRelayProfileFields, 1, keys_.profile);
        Choice("&Vorlage:", cfg::kTemplateProfiles, cfg::kTemplateProfileFields, cfg::kTemplateName,
               keys_.templateId);
        OnOff("&Filter anwenden", keys_.filter);
        Choice("F&ilter:", cfg::kFilterProfiles, cfg::kFilterProfileFields, 1, keys_.filterProfile);
        log_ = OnOff("&Protokoll schreiben", keys_.logFile);
        logName_ = Text("Protokoll&datei:", keys_.logFilename);
    }
    bool Save() override {
        // The log needs a file: Relay.log in the installation folder.
        if (log_->isChecked() && logName_->text().isEmpty())
            logName_->setText(SettingsText(JoinPath(installDir_, "Relay.log")));
        return SettingsKeyPage::Save();
    }

private:
    std::string installDir_;
    cfg::RelaySettings keys_;
    QCheckBox* log_ = nullptr;
    QLineEdit* logName_ = nullptr;
};

}  // namespace

SettingsPage* MakeTrayPage(const std::string& config, QWidget* parent) {
    auto* page = new SettingsKeyPage(config, parent);
    page->OnOff("Als TrayIcon anzeigen, wenn verkleinert.", cfg::kSendToTray);
    page->OnOff("Starten als TrayIcon", cfg::kStartAsTray);
    page->OnOff("Mit dem &System starten", cfg::kRunOnStartup);
    return page;
}

SettingsPage* MakeSignaturePage(const std::string& config, const std::string& installDir,
                                QWidget* parent) {
    return new SignatureSettingsPage(config, installDir, parent);
}

SettingsPage* MakeIsdnPage(const std::string& config, QWidget* parent) {
    auto* page = new SettingsKeyPage(config, parent);
    page->Text("&MSN:", cfg::kSenderMsn);
    page->Text("&Amtsholung:", cfg::kIsdnPrefix);
    return page;
}

SettingsPage* MakeNoteSenderPage(const std::string& config, QWidget* parent) {
    auto* page = new SettingsKeyPage(config, parent);
    page->Text("&Name:", cfg::kSenderName);
    page->Text("&Rufnummer:", cfg::kSenderTelephone);
    page->Plan("&Tarifplan:", cfg::kNoteTariffPlan);
    return page;
}

SettingsPage* MakeReplyMessagePage(const std::string& config, const std::string& installDir,
                                   QWidget* parent) {
    return new ReplyMessageSettingsPage(config, installDir, parent);
}

SettingsPage* MakeSmsPage(const std::string& config, int network, QWidget* parent) {
    auto* page = new SettingsKeyPage(config, parent);
    if (network == note_kind::kD2Sms) {
        page->Text("&SMS-Center:", cfg::kD2SmsCenter);
        page->Plan("&Tarifplan:", cfg::kD2TariffPlan);
        page->Text("&Absendernummer:", cfg::kD2CallerPhoneNumber);
    } else if (network == note_kind::kEPlusSms) {
        page->Text("&SMS-Center:", cfg::kEPlusSmsCenter);
        page->Plan("&Tarifplan:", cfg::kEPlusTariffPlan);
    } else {
        page->Text("&SMS-Center:", cfg::kD1SmsCenter);
        page->Plan("&Tarifplan:", cfg::kD1TariffPlan);
    }
    return page;
}

SettingsPage* MakeEmailServerPage(const std::string& config, QWidget* parent) {
    return new EmailServerSettingsPage(config, parent);
}

SettingsPage* MakeRelayPage(const std::string& config, const std::string& installDir,
                            const char* section, QWidget* parent) {
    return new RelaySectionPage(config, installDir, section, parent);
}

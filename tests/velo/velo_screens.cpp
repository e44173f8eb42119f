// velo_screens OUTDIR: draws velo's windows for a person to look at. It
// runs as station A (its environment names A's installation and CAPI
// line), fills A's store, and writes PNG pictures of the main window, the
// composer for each type, the send dialog during and after a send to the
// number in $VELO_SCREENS_RECEIVER, the SMS dialog during and after sending
// all D1 notes to the SMS centre that A's configuration names, the mail
// dialog after sending an e-mail note through A's e-mail server profile,
// a reply, and the address book window with its address dialog. Run by
// scripts/screenshots
// under Xvfb; not a test.
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>
#include <cstdio>
#include <cstdlib>

#include "address_book_window.h"
#include "address_dialog.h"
#include "composer_dialog.h"
#include "filter_profile_dialog.h"
#include "paths.h"
#include "profile_lists_dialog.h"
#include "settings_dialog.h"
#include "tariff_dialogs.h"
#include "relay_profile_dialog.h"
#include "template_profile_dialog.h"
#include "corvane.h"
#include "folder_view.h"
#include "gui_wait_hook.h"
#include "locations.h"
#include "mail_dialog.h"
#include "main_frame.h"
#include "mobile_networks.h"
#include "note_folders.h"
#include "note_list_view.h"
#include "qt_message_box.h"
#include "send_dialog.h"
#include "server_note_link.h"
#include "sms_centre_link.h"
#include "sms_dialog.h"
#include "velo_doc.h"

namespace {

QString gOut;

void Save(QWidget* w, const char* name) {
    QApplication::processEvents();
    QString path = QDir(gOut).filePath(QString::fromLatin1(name) + ".png");
    if (!w->grab().save(path))
        std::fprintf(stderr, "velo_screens: %s nicht geschrieben\n", qPrintable(path));
    std::printf("%s\n", qPrintable(path));
    std::fflush(stdout);
}

long Add(CVeloDoc& doc, int folder, NoteType type, const char* name, const char* number,
         const char* subject, const char* text, bool read, std::time_t when) {
    NoteItem n(when);
    n.SetNumber(NoteItem::kType, static_cast<long>(type));
    n.Set(NoteItem::kName, name);
    // An e-mail's recipient is its address.
    n.Set(type == NoteType::Email ? NoteItem::kAddress : NoteItem::kNumber, number);
    n.Set(NoteItem::kSubject, subject);
    n.SetNumber(NoteItem::kRead, read ? 1 : 0);
    if (type == NoteType::Call) {
        n.Set(NoteItem::kInfo, "Telefonie");
        return doc.AddItem(n, folder) ? n.NoteId() : 0;
    }
    auto stored = doc.CreateItem(n, folder, text);
    return stored ? stored->NoteId() : 0;
}

// Fills a composer of the given type and pictures it.
void PictureComposer(CVeloDoc& doc, const std::string& config, int type, const char* picture) {
    CComposerDlg dlg(doc, config, ComposerPaths::Default());
    dlg.SetType(type);
    dlg.NameEdit()->setText(QStringLiteral("Bernd Berg"));
    dlg.RecipientEdit()->setText(type == 0   ? QStringLiteral("030 222 22")
                                 : type == 6 ? QStringLiteral("bernd@example.org")
                                             : QStringLiteral("0172 1234567"));
    if (type == 6) dlg.CcEdit()->setText(QStringLiteral("anna@example.org"));
    dlg.SubjectEdit()->setText(QStringLiteral("Treffen am Freitag"));
    dlg.TextEdit()->setPlainText(
        QStringLiteral("Hallo Bernd,\n\nsehen wir uns am Freitag um drei am Dom?\n\nGruß, Anna"));
    dlg.show();
    Save(&dlg, picture);
}

// The editors of the forwarding profiles, filled as a user would.
void PictureProfileEditors(const std::string& config) {
    SettingsFile settings(config);
    CRelayProfileDlg mail(settings, 0, relay_op::kMail, nullptr,
                          [](std::vector<std::string>& names) {
                              names = {"T-Online DSL", "Mobilfunk"};
                              return true;
                          });
    mail.NameEdit()->setText(QStringLiteral("Büro"));
    mail.ServerEdit()->setText(QStringLiteral("mail.example.de"));
    mail.SenderEdit()->setText(QStringLiteral("anna@example.de"));
    mail.ToEdit()->setText(QStringLiteral("bernd@example.org"));
    mail.DialUpButton()->setChecked(true);
    mail.AutoDialBox()->setChecked(true);
    mail.show();
    Save(&mail, "relay-profile-email");
    CRelayProfileDlg sms(settings, 0, relay_op::kSmsD1);
    sms.NameEdit()->setText(QStringLiteral("Handy"));
    sms.CentreEdit()->setText(QStringLiteral("01712521002"));
    sms.NumberEdit()->setText(QStringLiteral("01701234567"));
    sms.show();
    Save(&sms, "relay-profile-sms");
    CFilterProfileDlg filter(settings, 0);
    filter.show();
    Save(&filter, "filter-profile");
    CTemplateProfileDlg templ(settings, 0);
    templ.show();
    Save(&templ, "template-profile");
    // A configuration of its own: A's e-mail server profile stays as it is.
    std::string shown = config + ".profiles";
    SettingsFile profiles(shown);
    profiles.WriteText("RelayProfiles", "item-001", "1|1|Büro|mail.example.de|anna@example.de||||0");
    profiles.WriteText("RelayProfiles", "item-002", "2|3|Handy|01712521002|01701234567|0|3||");
    CProfileListsDlg lists(shown);
    lists.show();
    Save(&lists, "relay-profiles");
}

// The provider, plan and tariff dialogs as "Neu" and "Bearbeiten" open them.
void PictureTariffDialogs() {
    auto keep = [](auto&&...) { return true; };
    CProviderDlg provider("Telco", "01013", keep);
    provider.show();
    Save(&provider, "tariff-provider");
    CPlanDlg plan("Werktags", keep);
    plan.show();
    Save(&plan, "tariff-plan");
    CTariffDlg entry({0, 4, 8, 17}, {"Telco", "Fernruf"}, "Fernruf", keep);
    entry.show();
    Save(&entry, "tariff-entry");
}

// Every page of the settings window on A's configuration.
void PictureSettings(const std::string& config) {
    CVeloSettingsDlg dialog(config, InstallDir());
    dialog.show();
    Save(&dialog, "settings");
    int n = 0;
    for (const auto& [group, pages] : dialog.Tree()) {
        for (const QString& page : pages) {
            dialog.SelectPage(group, page);
            char name[64];
            std::snprintf(name, sizeof name, "settings-%02d", ++n);
            Save(&dialog, name);
        }
    }
    dialog.reject();
}

// The address book window on a few entries, and the dialog of one of them.
// An address book that has entries already is pictured as it is.
void PictureAddressBook(std::time_t when) {
    std::string path = AddressBook::DefaultPath();
    AddressBook book;
    if (book.Load(path, when) && book.Addresses().empty()) {
        auto entry = [&](const char* nick, const char* first, const char* last, const char* city,
                         const char* prefix, const char* number, const char* mobile,
                         const char* email) -> Address& {
            Address& a = book.Add(Address::MadeAt(when));
            a.nick = nick;
            a.firstname = first;
            a.lastname = last;
            a.zipCode = "50667";
            a.city = city;
            a.country = "Deutschland";
            a.phones[kPhonePrivate] = {true, "+49", prefix, number};
            if (*mobile) a.phones[kPhoneMobile] = {true, "+49", "0172", mobile};
            a.email = email;
            return a;
        };
        Address& bernd = entry("Bernd", "Bernd", "Berg", "Köln", "0221", "222 22", "1234567",
                               "bernd@example.org");
        bernd.address1 = "Domstraße 1";
        bernd.comments = "Freitags ab drei";
        entry("Ilse", "Ilse", "Iltis", "Köln", "0221", "31 31", "7654321", "");
        entry("Hans", "Hans", "Huber", "München", "089", "555 123", "", "hans@example.org");
        book.Save(path);
    }
    CAddressBookWnd wnd(path);
    wnd.resize(820, 300);
    wnd.show();
    if (!wnd.Book().Addresses().empty()) wnd.SelectEntry(0);
    Save(&wnd, "address-book");
    if (wnd.Book().Addresses().empty()) return;
    CAddressDlg dlg(wnd.Book().Addresses()[0], &wnd);
    dlg.show();
    Save(&dlg, "address");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "Aufruf: velo_screens AUSGABEVERZEICHNIS\n");
        return 2;
    }
    QApplication app(argc, argv);
    gOut = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(gOut);
    InstallQtMessageBoxHandler();
    InstallGuiWaitStepHook();
    if (!RCOInitLinkDLL(TRUE)) return 1;
    std::string config = SettingsFilePath();
    CVeloDoc doc(StoreDir(), config);
    if (!doc.Open()) return 1;

    std::time_t t = 1796630400;  // 7.12.2026, morning
    long toSend = Add(
        doc, kSendNotes, NoteType::Note, "Bernd Berg",
        std::getenv("VELO_SCREENS_RECEIVER") ? std::getenv("VELO_SCREENS_RECEIVER") : "030 222 22",
        "Treffen", "Hallo Bernd,\nmorgen um drei am Dom?\nAnna", true, t);
    Add(doc, kSendNotes, NoteType::D2Sms, "Carla", "0172 1234567", "---", "Bin gleich da.", true,
        t + 60);
    Add(doc, kSendNotes, NoteType::D1Sms, "Bernd Berg", "0170 1234567", "---",
        "Komme zehn Minuten später.", true, t + 30);
    Add(doc, kSendNotes, NoteType::D1Sms, "Ilse", "0171 7654321", "---", "Schöne Grüße aus Köln!",
        true, t + 45);
    long mail = Add(doc, kSendNotes, NoteType::Email, "Dieter", "dieter@example.org", "Angebot",
                    "Anbei das Angebot.", true, t + 120);
    long fromHans = Add(doc, kInNotes, NoteType::Note, "Hans Huber", "089 555 123", "Termin",
                        "Hallo Anna,\npasst Dir Dienstag um 10 Uhr?\nHans", false, t + 300);
    Add(doc, kInNotes, NoteType::Note, "Eva Engel", "040 777 88", "Unterlagen",
        "Die Unterlagen sind unterwegs.", false, t + 900);
    Add(doc, kInNotes, NoteType::Note, "Frank Fuchs", "0711 42 42", "Danke", "Danke für gestern!",
        true, t - 86400);
    Add(doc, kPhoneCalls, NoteType::Call, "", "0221 987654", "", "", false, t + 1200);
    Add(doc, kOutNotes, NoteType::Note, "Grete", "0201 31 31", "Rückruf", "Bitte ruf zurück.", true,
        t - 3600);

    MainFrameServices services{
        config, ServerNoteLinkFactory("velo"), "Telvora (velo_screens)", nullptr, {}};
    services.onSendDialog = [](CSendDlg& dialog) {
        dialog.resize(460, 300);
        QPointer<CSendDlg> d(&dialog);
        dialog.SetStatusShownHook([d](const std::string& status) {
            if (d && status == "Sende Notiz...") Save(d, "send-during");
        });
        auto* poll = new QTimer(&dialog);
        QObject::connect(poll, &QTimer::timeout, &dialog, [d, poll] {
            auto* close = d ? d->findChild<QPushButton*>("close") : nullptr;
            if (!close || !close->isEnabled()) return;
            poll->stop();
            Save(d, "send-after");
            close->click();
        });
        poll->start(100);
    };
    services.makeSmsLink = CentreSmsLinkFactory(nullptr, 5);
    services.onSmsDialog = [](CSendSMSDlg& dialog) {
        QPointer<CSendSMSDlg> d(&dialog);
        dialog.SetStatusShownHook([d](const std::string& status) {
            if (d && status.rfind("Sende SMS-Nachricht an 0171", 0) == 0) Save(d, "sms-during");
        });
        auto* poll = new QTimer(&dialog);
        QObject::connect(poll, &QTimer::timeout, &dialog, [d, poll] {
            auto* close = d ? d->findChild<QPushButton*>("close") : nullptr;
            if (!close || !close->isEnabled()) return;
            poll->stop();
            Save(d, "sms-after");
            close->click();
        });
        poll->start(100);
    };
    services.onMailDialog = [](CMailDlg& dialog) {
        QPointer<CMailDlg> d(&dialog);
        auto* poll = new QTimer(&dialog);
        QObject::connect(poll, &QTimer::timeout, &dialog, [d, poll] {
            auto* ok = d ? d->findChild<QPushButton*>("ok") : nullptr;
            if (!ok || !ok->isEnabled()) return;
            poll->stop();
            Save(d, "mail-after");
            ok->click();
        });
        poll->start(100);
    };
    CMainFrame frame(doc, services);
    frame.RestoreLayout();
    frame.resize(900, 560);
    frame.show();
    // Eva's note selected and read; Hans's stays unread, in bold.
    frame.Folders()->SelectFolder(kInNotes);
    for (int i = 0; i < frame.List()->topLevelItemCount(); ++i) {
        QTreeWidgetItem* row = frame.List()->topLevelItem(i);
        if (row->text(NoteItem::kName) == QStringLiteral("Eva Engel"))
            frame.List()->setCurrentItem(row);
    }
    Save(&frame, "main-window");

    PictureComposer(doc, config, 0, "composer-note");
    PictureComposer(doc, config, 2, "composer-sms");
    PictureComposer(doc, config, 6, "composer-email");
    PictureProfileEditors(config);
    PictureSettings(config);
    PictureTariffDialogs();
    PictureAddressBook(t);

    frame.Folders()->SelectFolder(kSendNotes);
    frame.List()->SelectId(toSend);
    frame.SendItem();
    Save(&frame, "main-window-after-send");
    frame.SendAllSms(note_kind::kD1Sms);
    frame.Folders()->SelectFolder(kSendNotes);
    frame.List()->SelectId(mail);
    frame.SendItem();

    // The reply opens the composer on the prepared note.
    frame.Folders()->SelectFolder(kInNotes);
    frame.List()->SelectId(fromHans);
    QTimer::singleShot(300, [] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (auto* dlg = qobject_cast<CComposerDlg*>(w); dlg && dlg->isVisible()) {
                Save(dlg, "reply");
                dlg->reject();
            }
        }
    });
    frame.ReplyToItem();
    frame.close();
    doc.Close();
    RCOExitLinkDLL();
    return 0;
}

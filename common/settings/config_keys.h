// Every section and key of Telvora.cfg with its default. Code reads and
// writes settings through these names only, so that a key or a default is
// spelled in exactly one place.
#pragma once

#include <string>

struct TextSetting {
    const char* section;
    const char* key;
    const char* def;
};

struct IntSetting {
    const char* section;
    const char* key;
    int def;
};

namespace cfg {

inline constexpr const char* kFileName = "Telvora.cfg";

// Sections.
inline constexpr const char* kParameters = "Parameters";
inline constexpr const char* kSender = "Sender";
inline constexpr const char* kEmailServer = "EmailServer";
inline constexpr const char* kRelayCall = "RelayCall";
inline constexpr const char* kRelayNote = "RelayNote";

// Item lists and the layouts of their list windows.
inline constexpr const char* kRelayProfiles = "RelayProfiles";
inline constexpr const char* kFilterProfiles = "FilterProfiles";
inline constexpr const char* kTemplateProfiles = "TemplateProfiles";
inline constexpr const char* kRelayServices = "RelayServices";
inline constexpr const char* kCallByCallProviders = "CallByCallProviders";
inline constexpr const char* kCallByCallTariffPlan = "CallByCallTariffPlan";
inline constexpr const char* kCallByCallProvidersLayout = "CallByCallProvidersLayout";
inline constexpr const char* kCallByCallTariffLayout = "CallByCallTariffLayout";
inline constexpr int kRelayProfileFields = 8;
inline constexpr int kRelayServiceFields = 4;
inline constexpr int kProviderFields = 3;
inline constexpr int kTariffPlanFields = 2;
inline constexpr int kTariffEntryFields = 6;
inline constexpr int kTemplateProfileFields = 5;
inline constexpr int kFilterProfileFields = 11;
// The field of a template profile that the user knows it by.
inline constexpr size_t kTemplateName = 1;
// The section of one tariff plan's entries: "CBCT_%02d" of the plan number.
std::string TariffPlanSection(int plan);

// [Parameters]
inline constexpr TextSetting kDebug{kParameters, "debug", "0"};
inline constexpr TextSetting kMainWindow{kParameters, "mainWindow", "40,20,600,400"};
inline constexpr TextSetting kFolderPane{kParameters, "folderPane", "155,300"};
inline constexpr TextSetting kNoteListPane{kParameters, "noteListPane", "425,215"};
inline constexpr TextSetting kNotePane{kParameters, "notePane", "425,80"};
inline constexpr IntSetting kFolderView{kParameters, "folderView", -1};
inline constexpr TextSetting kSendToTray{kParameters, "SendToTray", ""};
inline constexpr TextSetting kStartAsTray{kParameters, "StartAsTray", ""};
inline constexpr TextSetting kRunOnStartup{kParameters, "RunOnStartup", ""};
inline constexpr TextSetting kLastName{kParameters, "lastName", ""};
inline constexpr TextSetting kLastTelephone{kParameters, "lastTelephone", ""};
inline constexpr TextSetting kLastSubject{kParameters, "lastSubject", ""};
inline constexpr IntSetting kNoteToSend{kParameters, "noteToSend", 0};
inline constexpr TextSetting kNotesSent{kParameters, "notesSent", "0"};
inline constexpr TextSetting kSmsSent{kParameters, "smsSent", "0"};
inline constexpr TextSetting kOutNote{kParameters, "outNote", ""};
inline constexpr TextSetting kRespMsgId{kParameters, "respMsgID", "1"};
inline constexpr TextSetting kD1SmsCenter{kParameters, "D1SMSCenter", ""};
inline constexpr TextSetting kD2SmsCenter{kParameters, "D2SMSCenter", ""};
inline constexpr TextSetting kEPlusSmsCenter{kParameters, "EPlusSMSCenter", ""};
inline constexpr TextSetting kD1TariffPlan{kParameters, "D1CallByCallTariffPlan", ""};
inline constexpr TextSetting kD2TariffPlan{kParameters, "D2CallByCallTariffPlan", ""};
inline constexpr TextSetting kEPlusTariffPlan{kParameters, "EPCallByCallTariffPlan", ""};
inline constexpr TextSetting kD2CallerPhoneNumber{kParameters, "D2CallerPhoneNumber", ""};
// Where the SMS dialogue reads the D2 caller number, a missing one is "0".
inline constexpr TextSetting kD2CallerPhoneNumberForSms{kParameters, "D2CallerPhoneNumber", "0"};
// The update file last brought into this configuration at start-up (its size
// and a hash of its content), so that it is merged once and a later edit of
// a shipped entry is not overwritten at every start.
inline constexpr TextSetting kMergedUpdate{kParameters, "mergedUpdate", ""};
// The key of reply message id: "respMsg" + id; its file "respMsg" + id + ".txt".
std::string RespMsgKey(const std::string& id);
std::string RespMsgFileName(const std::string& id);

// [Sender]
inline constexpr TextSetting kSenderName{kSender, "name", ""};
inline constexpr TextSetting kSenderTelephone{kSender, "telephone", ""};
inline constexpr TextSetting kSenderMsn{kSender, "msn", ""};
inline constexpr TextSetting kIsdnPrefix{kSender, "isdnPrefix", ""};
inline constexpr TextSetting kNoteTariffPlan{kSender, "NoteCallByCallTariffPlan", ""};
inline constexpr IntSetting kSignatureFlag{kSender, "signatureFlag", 0};
inline constexpr TextSetting kSignatureFile{kSender, "signatureFile", ""};
inline constexpr const char* kDefaultSignatureFile = "Signature.txt";

// [EmailServer]
inline constexpr IntSetting kEmailServerProfile{kEmailServer, "profile", 0};
// The account of an e-mail server profile beyond the profile's fields, in a
// section of its own per profile id: how the connection is secured
// ("0" plain SMTP with HELO, "1" STARTTLS, "2" TLS from the start), the
// user name and password of AUTH, and a file of further trusted
// certificate authorities. Older files have none of it: plain SMTP.
std::string EmailAccountSection(int profileId);
inline constexpr const char* kEmailSecurity = "security";
inline constexpr const char* kEmailUser = "user";
inline constexpr const char* kEmailPassword = "password";
inline constexpr const char* kEmailCaFile = "caFile";

// [RelayCall] and [RelayNote] share their keys.
struct RelaySettings {
    IntSetting relay, profile, templateId, filter, filterProfile, logFile;
    TextSetting logFilename;
};
inline constexpr RelaySettings RelayKeys(const char* section) {
    return RelaySettings{{section, "relay", 0},         {section, "profile", 1},
                         {section, "templateId", 1},    {section, "filter", 0},
                         {section, "filterProfile", 1}, {section, "logFile", 0},
                         {section, "logFilename", ""}};
}
inline constexpr RelaySettings kRelayCallKeys = RelayKeys(kRelayCall);
inline constexpr RelaySettings kRelayNoteKeys = RelayKeys(kRelayNote);

// What relay programs report back. "RelayedItems": the ids of the items
// forwarded, separated by ","; relay appends, velo takes them (see
// relayed_items.h). [RelayFailures]: one key per item whose forwarding
// failed on every try, its id, with the relay log line's text without the
// time ("MailNote: FEHLER: ... nach 3 Versuch(en)"); a later success of the
// same item removes it.
inline constexpr const char* kRelayResults = "RelayResults";
inline constexpr TextSetting kRelayedItems{kRelayResults, "RelayedItems", ""};
inline constexpr const char* kRelayFailures = "RelayFailures";

// On/off settings: "1" is on, anything else off.
inline bool IsOn(const std::string& text) {
    return text == "1";
}
inline const char* OnOffText(bool on) {
    return on ? "1" : "0";
}

// Fields of a relay profile of the e-mail type.
namespace relay_profile {
inline constexpr int kType = 0, kName = 1, kSmtpServer = 2, kSender = 3, kTo = 4, kCc = 5,
                     kDialUpEntry = 6, kConnectionMode = 7;
inline constexpr const char* kEmailType = "1";
inline constexpr const char* kLocalNetwork = "0";
inline constexpr int kDefaultSmtpPort = 25;
}  // namespace relay_profile

// The old address file.
inline constexpr const char* kOldAddressFile = "AddrBook.dat";
inline constexpr const char* kOldAddressSection = "AddressBook";
inline constexpr int kOldAddressFields = 6;
inline constexpr TextSetting kOldAddressConverted{kOldAddressSection, "update", ""};

// The values that the registry holds on Windows.
inline constexpr const char* kRegistryKey = "Software\\Quillmark\\Telvora";
inline constexpr const char* kRegistryInstallDir = "InstallDir1";
inline constexpr const char* kRegistryStoreDir = "StoreDir";

}  // namespace cfg

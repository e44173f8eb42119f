// German mobile-network prefixes, and the checks that a recipient passes
// before the composer sends to it: an SMS needs a number of a mobile
// network, which also decides the SMS centre; an e-mail needs an address
// that has a domain.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "note_item.h"

// The note kinds that the checks look at, as the note store numbers them.
namespace note_kind {
inline constexpr int kD1Sms = static_cast<int>(NoteType::D1Sms);
inline constexpr int kD2Sms = static_cast<int>(NoteType::D2Sms);
inline constexpr int kEPlusSms = static_cast<int>(NoteType::EPlusSms);
inline constexpr int kEmail = static_cast<int>(NoteType::Email);
}  // namespace note_kind

// An SMS note of one of the three networks.
inline bool IsSmsKind(int kind) {
    return kind == note_kind::kD1Sms || kind == note_kind::kD2Sms || kind == note_kind::kEPlusSms;
}

enum class MobileNetwork { D1 = 0, D2 = 1, EPlus = 2, AnyNetwork = 3, None = 4 };

inline constexpr const char* kWrongRecipientFormat =
    "Die Rufnummer/Adresse '%s' hat ein falsches Format!\n Bitte überprüfen!";

// number with every character but 0 to 9 removed: what is dialled.
std::string DigitsOf(std::string_view number);

// The network of the first prefix that number begins with.
MobileNetwork MobileNetworkOf(std::string_view number);

// The kind to send the recipient with: an SMS number chooses its network's
// kind (a network that no SMS centre is bound to keeps the chosen one), an
// SMS to a number that is not mobile or an e-mail address without "." after
// its "@" is refused; other kinds pass unchecked.
std::optional<int> RecipientKind(int kind, std::string_view recipient);

// As RecipientKind, and a refused recipient is named in a message box.
std::optional<int> CheckRecipient(int kind, const std::string& recipient);

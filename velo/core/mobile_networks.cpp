#include "mobile_networks.h"

#include <array>
#include <utility>

#include "app_caption.h"
#include "msgbox.h"

namespace {

// Searched in this order; the first prefix that matches decides.
constexpr std::array<std::pair<const char*, MobileNetwork>, 15> kPrefixes{{
    {"0151", MobileNetwork::D1},
    {"0160", MobileNetwork::D1},
    {"0170", MobileNetwork::D1},
    {"0171", MobileNetwork::D1},
    {"0175", MobileNetwork::D1},
    {"0152", MobileNetwork::D2},
    {"0162", MobileNetwork::D2},
    {"0172", MobileNetwork::D2},
    {"0173", MobileNetwork::D2},
    {"0174", MobileNetwork::D2},
    {"0163", MobileNetwork::EPlus},
    {"0177", MobileNetwork::EPlus},
    {"0178", MobileNetwork::EPlus},
    {"0176", MobileNetwork::AnyNetwork},
    {"0179", MobileNetwork::AnyNetwork},
}};

std::optional<int> SmsKind(int kind, std::string_view number) {
    switch (MobileNetworkOf(DigitsOf(number))) {
        case MobileNetwork::D1:
            return note_kind::kD1Sms;
        case MobileNetwork::D2:
            return note_kind::kD2Sms;
        case MobileNetwork::EPlus:
            return note_kind::kEPlusSms;
        case MobileNetwork::AnyNetwork:
            return kind;
        case MobileNetwork::None:
            break;
    }
    return std::nullopt;
}

bool IsMailAddress(std::string_view address) {
    size_t at = address.find('@');
    return at != std::string_view::npos && address.find('.', at + 1) != std::string_view::npos;
}

}  // namespace

std::string DigitsOf(std::string_view number) {
    std::string digits;
    for (char c : number) {
        if (c >= '0' && c <= '9') digits += c;
    }
    return digits;
}

MobileNetwork MobileNetworkOf(std::string_view number) {
    for (const auto& [prefix, network] : kPrefixes) {
        if (number.substr(0, 4) == prefix) return network;
    }
    return MobileNetwork::None;
}

std::optional<int> RecipientKind(int kind, std::string_view recipient) {
    if (IsSmsKind(kind)) return SmsKind(kind, recipient);
    if (kind == note_kind::kEmail && !IsMailAddress(recipient)) return std::nullopt;
    return kind;
}

std::optional<int> CheckRecipient(int kind, const std::string& recipient) {
    std::optional<int> checked = RecipientKind(kind, recipient);
    if (checked) return checked;
    std::string_view format = kWrongRecipientFormat;
    size_t at = format.find("%s");
    std::string text =
        std::string(format.substr(0, at)) + recipient + std::string(format.substr(at + 2));
    ShowMessageBox(text, kAppCaption, MB_OK | MB_ICONEXCLAMATION);
    return std::nullopt;
}

#include "telephone_services.h"

#include <array>

namespace {

struct Service {
    std::uint16_t cip;
    const char* text;
};

// Video telephony (27, 28) is left out: its calls need a picture, which
// nobody at a telephone answers.
constexpr std::array<Service, 5> kTelephoneServices{{{1, "Sprache"},
                                                     {4, "3,1 kHz Audio"},
                                                     {5, "7 kHz Audio"},
                                                     {16, "Telefonie"},
                                                     {26, "Telefonie 7 kHz"}}};

const Service* Find(std::uint16_t cip) {
    for (const Service& s : kTelephoneServices) {
        if (s.cip == cip) return &s;
    }
    return nullptr;
}

}  // namespace

bool IsTelephoneService(std::uint16_t cip) {
    return Find(cip) != nullptr;
}

std::uint32_t TelephoneCipMask() {
    std::uint32_t mask = 0;
    for (const Service& s : kTelephoneServices) mask |= 1u << s.cip;
    return mask;
}

std::string ServiceText(std::uint16_t cip) {
    const Service* s = Find(cip);
    return s ? s->text : "Dienst " + std::to_string(cip);
}

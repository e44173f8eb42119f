#include "config_keys.h"

#include <cstdio>

namespace cfg {

std::string TariffPlanSection(int plan) {
    char name[32];
    std::snprintf(name, sizeof name, "CBCT_%02d", plan);
    return name;
}

std::string RespMsgKey(const std::string& id) {
    return "respMsg" + id;
}

std::string RespMsgFileName(const std::string& id) {
    return RespMsgKey(id) + ".txt";
}

std::string EmailAccountSection(int profileId) {
    return "EmailAccount_" + std::to_string(profileId);
}

}  // namespace cfg

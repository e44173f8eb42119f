// velo's command line.
#pragma once

#include <string>
#include <vector>

struct VeloOptions {
    bool help = false;
    // Started by the answering station after it filed a new item ("-n"):
    // a running velo is not brought to the front. The last parameter decides.
    bool newItemStart = false;
};

VeloOptions ParseVeloOptions(const std::vector<std::string>& args);

extern const char* const kVeloUsage;

// "RelayedItems" of [RelayResults] in Telvora.cfg: the ids that relay
// programs report as relayed, taken by velo's notify thread. Both sides
// change the key in one locked read-modify-write, so no id is lost or
// taken twice however many relay processes finish at once.
#pragma once

#include <string>
#include <vector>

bool AppendRelayedItem(const std::string& configFile, long id);
// The ids listed, the key left empty.
std::vector<long> TakeRelayedItems(const std::string& configFile);

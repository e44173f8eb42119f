// The outcome of relay runs in the configuration file. Relay processes
// append ids while velo's notify thread takes the list; each side changes
// the file in one locked read-modify-write, so an id is never lost between
// a read and a write of the other side, nor taken twice.
#pragma once

#include <string>
#include <vector>

// Appends id to [RelayResults] RelayedItems (after a "," when the list is
// not empty) and removes the item's key from [RelayFailures], in one step.
// False when the file cannot be written.
bool AppendRelayedItem(const std::string& configFile, long id);

// Every id of RelayedItems, in the order appended, leaving the key empty,
// in one step. Elements that are no decimal number are dropped with the
// rest. Nothing is written while the list is empty.
std::vector<long> TakeRelayedItems(const std::string& configFile);

// [RelayFailures] id = text: the forwarding of the item failed for good.
bool RecordRelayFailure(const std::string& configFile, long id, const std::string& text);

// A note id as the parameter file carries it: decimal digits only.
bool ParseNoteId(const std::string& text, long& id);

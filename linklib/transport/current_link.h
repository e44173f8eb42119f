// Which CRComObj the carrier's indications reach: the most recently
// constructed one, through its interface and carrier table.
#pragma once

#include <functional>

class CRComInterface;
class CRComLink;

// Makes the pair current (a new CRComObj's table does so when it is made).
void MakeCurrentLink(CRComInterface* iface, CRComLink* link);
// The pair of link stops being current, if it still is.
void ForgetCurrentLink(const CRComLink* link);

// Each table that becomes current gets a new number, so that a call can be
// told apart from a call of an object made later.
unsigned CurrentLinkSerial();
// Runs f while the table numbered serial is current and cannot stop being
// so; false, without running f, when another one is current by now.
bool WhileCurrent(unsigned serial, const std::function<void()>& f);

// Runs f on the current interface, or on the current table, while neither
// can be destroyed; false when there is none.
bool WithCurrentInterface(const std::function<void(CRComInterface&)>& f);
bool WithCurrentLink(const std::function<void(CRComLink&)>& f);

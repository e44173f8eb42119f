// What one relay run can do with a note, by the operation code of the
// parameter file, with the names and texts its results are logged with.
#pragma once

#include "debuglog.h"
#include "relay_parameters.h"

struct RelayContext {
    const RelayParameters& params;
    const DebugLog& log;
    int operation;
};

// One attempt. On failure LastError (and Finished) have been written.
using RelayAction = bool (*)(const RelayContext&);

struct RelayOperation {
    const char* name;       // in the relay log
    const char* debugLine;  // before each attempt; null for none
    const char* successText;
    const char* failureText;
    RelayAction action;  // null: not implemented, every attempt fails
    bool needsLink;      // the ISDN line through the link library
};

// The operation of a code; unknown codes give "Unbekannte Funktion".
const RelayOperation& RelayOperationFor(int code);

// 1: the message by e-mail.
bool SendNoteByMail(const RelayContext& context);
// 2: the message appended to the relay file.
bool AppendNoteToFile(const RelayContext& context);
// 3, 5: SMS through a TAP centre; 4: through an EMI centre.
bool SendNoteAsSms(const RelayContext& context);

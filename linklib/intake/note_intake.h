// What the answering station does with what arrives: a note from another
// station (commands NOTE and RAWNOTE) or a telephone call that the call
// monitor saw. Each is filed for velo through the notes data file's handoff
// slot, with its text in the folder's directory, and velo is started.
#pragma once

#include <ctime>
#include <optional>
#include <string>

// A note as its command line brings it, texts in UTF-8.
struct IncomingNote {
    std::string info, msn, number, name, subject, text;
};
// The argument text of NOTE ("number|name|subject|text") or of RAWNOTE
// ("version|info|reserved|number|name|subject|text", the MSN from the
// connection parameter); the last field keeps any further bars. None when
// the text is empty or has too few fields.
std::optional<IncomingNote> ReadNoteArgs(const char* args, bool raw, const char* connectionPar);

// The command handlers' form: the row of the command, the application name
// (a path in the installation directory), the link's connection parameter,
// the argument text (Windows-1252, as it came over the line) and the reply.
// Reply data stays valid until the next call.
unsigned short RCmdNote(unsigned int index, char* appName, char* connectionPar, char* args,
                        unsigned char** reply, unsigned long* replyLength);
unsigned short RCmdRawNote(unsigned int index, char* appName, char* connectionPar, char* args,
                           unsigned char** reply, unsigned long* replyLength);

// Files a telephone call; 1 when stored, else 0. Texts are UTF-8.
int PhoneCallIntake(const std::string& appName, std::time_t time, const std::string& msn,
                    const std::string& number, const std::string& name, const std::string& info);

// Where the intake puts things, derived from the application name.
struct IntakePaths {
    std::string configFile;  // beside the application
    std::string storeDir;    // the registry's StoreDir, else beside the application
    std::string notesFile;
};
IntakePaths IntakePathsFor(const std::string& appName);

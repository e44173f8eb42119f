// The templates of forwarding: a subject and a text with placeholders that
// are filled from the item ("%NAME%", "%TEXT%", ...), as the message goes
// out by e-mail, SMS or into a file.
#pragma once

#include <string>

#include "note_item.h"
#include "settings_file.h"

struct RelayTemplate {
    std::string name;
    std::string subject;
    std::string text;
};

// The template profile with that id; one named "Unknown" that forwards the
// subject and the text as they are when there is none.
RelayTemplate LoadRelayTemplate(const SettingsFile& settings, int templateId);

// Replaces the placeholders in their order, every occurrence; a value is
// not searched again for the placeholder that inserted it, but later
// placeholders are replaced inside it too. textFile gives "%TEXT%" ("" for
// a call: it has none).
std::string ExpandRelayTemplate(const std::string& templ, const NoteItem& item,
                                const std::string& textFile);

// The help text of the template editor.
extern const char* const kRelayTemplateHelp;

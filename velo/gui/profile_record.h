// Reading and writing one item of the profile lists of Telvora.cfg
// ([RelayProfiles], [FilterProfiles], [TemplateProfiles]) for the profile
// editors: an editor loads the item once, lets the user change its fields
// and writes the list back only when a field differs.
#pragma once

#include <string>
#include <vector>

#include "item_list.h"
#include "settings_file.h"

struct ProfileRecord {
    int id = 0;  // 0: a new item, not yet in the list
    std::vector<std::string> fields;
};

// The item with that id of section; a new item (id 0, empty fields) when
// id is 0 or names none.
ProfileRecord LoadProfileRecord(const SettingsFile& settings, const char* section,
                                size_t fieldCount, int id);

// Whether the fields come back as they are from the file: a value reads
// back with at most 255 characters, and a longer record would be shortened.
bool ProfileRecordFits(const ProfileRecord& record);

// Writes record into section with one save: the item of its id replaced,
// or, for id 0, appended with a new id, which record then takes. The list
// is read again first, so that items changed elsewhere meanwhile stay. A
// message names the file when it cannot be written; false then.
bool SaveProfileRecord(const SettingsFile& settings, const char* section, size_t fieldCount,
                       ProfileRecord& record);

// The message for a record that does not fit.
extern const char* const kProfileTooLongText;

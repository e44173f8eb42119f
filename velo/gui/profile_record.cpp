#include "profile_record.h"

#include "app_caption.h"
#include "msgbox.h"

const char* const kProfileTooLongText =
    "Die Angaben sind zu lang. Ein Profil darf insgesamt höchstens 255 Zeichen enthalten.";

ProfileRecord LoadProfileRecord(const SettingsFile& settings, const char* section,
                                size_t fieldCount, int id) {
    ProfileRecord record;
    record.fields.assign(fieldCount, "");
    if (id == 0) return record;
    ItemList list(fieldCount);
    list.Load(settings, section);
    if (const ListItem* item = list.FindById(id)) {
        record.id = id;
        record.fields = item->fields;
        record.fields.resize(fieldCount);
    }
    return record;
}

bool ProfileRecordFits(const ProfileRecord& record) {
    ListItem item{record.id == 0 ? 999999 : record.id, record.fields};
    auto back = ItemList::ParseRecord(ItemList::FormatRecord(item), item.fields.size());
    return back && back->fields == item.fields;
}

bool SaveProfileRecord(const SettingsFile& settings, const char* section, size_t fieldCount,
                       ProfileRecord& record) {
    ItemList list(fieldCount);
    bool ok = list.Load(settings, section);
    if (ok) {
        ListItem* item = record.id == 0 ? nullptr : list.FindById(record.id);
        if (!item) item = &list.Add();
        item->fields = record.fields;
        item->fields.resize(fieldCount);
        ok = list.Save(settings, section);
        if (ok) record.id = item->id;
    }
    if (!ok) {
        ShowMessageBox("Das Profil konnte nicht gespeichert werden:\n" + settings.Path(),
                       kAppCaption, MB_OK | MB_ICONSTOP);
    }
    return ok;
}

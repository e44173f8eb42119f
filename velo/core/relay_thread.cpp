#include "relay_thread.h"

#include <unordered_set>

#include "config_keys.h"
#include "format.h"
#include "item_list.h"
#include "profile.h"
#include "relay_filter.h"

namespace {

constexpr const char* kHeldBackSection = "RelayHeldBack";

// Records id and forgets the ids of items that are no longer calls or
// notes of the store, so that the section does not grow without end.
void RecordHeldBack(CVeloDoc& doc, long id) {
    std::unordered_set<std::string> present;
    {
        std::lock_guard<std::recursive_mutex> lock(doc.Lock());
        for (int folder : {kInNotes, kPhoneCalls}) {
            for (const NoteItem& item : doc.Folder(folder).Items())
                present.insert(std::to_string(item.NoteId()));
        }
    }
    UpdatePrivateProfile(doc.ConfigFile(), [&](ProfileEditor& e) {
        for (const std::string& key : e.KeyNames(kHeldBackSection)) {
            if (!present.count(key)) e.RemoveKey(kHeldBackSection, key);
        }
        return e.Set(kHeldBackSection, std::to_string(id), "1");
    });
}

}  // namespace

bool IsHeldBackByFilter(const std::string& configFile, long noteId) {
    return SettingsFile(configFile).ReadText(kHeldBackSection, std::to_string(noteId).c_str(), "") ==
           "1";
}

void CRelayThread::Start() {
    if (thread_.joinable()) return;
    stop_ = false;
    woken_ = true;
    thread_ = std::thread([this] { Run(); });
}

void CRelayThread::Stop() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
}

void CRelayThread::Wake() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        woken_ = true;
    }
    wake_.notify_all();
}

void CRelayThread::Run() {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stop_ || woken_; });
        if (stop_) return;
        woken_ = false;
        lock.unlock();
        Pass();
        lock.lock();
    }
}

void CRelayThread::Pass() {
    RelaySection(kPhoneCalls, cfg::kRelayCall);
    RelaySection(kInNotes, cfg::kRelayNote);
}

void CRelayThread::RelaySection(int folder, const char* section) {
    SettingsFile config(doc_.ConfigFile());
    cfg::RelaySettings keys = cfg::RelayKeys(section);
    ItemList filters(cfg::kFilterProfileFields);
    filters.Load(config, cfg::kFilterProfiles);
    // A filter that is on but names no profile has nothing to test: the
    // item goes rather than being held back without a reason.
    const ListItem* filter =
        config.Read(keys.filter) != 0 ? filters.FindById(config.Read(keys.filterProfile)) : nullptr;
    bool call = folder == kPhoneCalls;
    for (const CVeloDoc::WaitingItem& w : doc_.ItemsWaitingRelay(folder)) {
        const NoteItem& item = w.item;
        std::string msn = item.Get(NoteItem::kMsn), number = item.Get(NoteItem::kNumber),
                    name = item.Get(NoteItem::kName), subject = item.Get(NoteItem::kSubject);
        if (filter && !FilterRelays(filter->fields, msn, number, call ? name : subject)) {
            WriteRelayLog(config, section, "INFO",
                          call ? FormatText("Anruf [MSN/EAZ: %s, Tel. %s Name: %s] wurde nicht "
                                            "weitergeleitet. Filterbedingung ist aktiv.",
                                            msn.c_str(), number.c_str(), name.c_str())
                               : FormatText("Notiz [Betr.: %s, Tel. %s Name: %s] wurde nicht "
                                            "weitergeleitet. Filterbedingung ist aktiv.",
                                            subject.c_str(), number.c_str(), name.c_str()));
            if (doc_.SetState(item.NoteId(), folder, kStateHeldBack, true))
                RecordHeldBack(doc_, item.NoteId());
            continue;
        }
        std::string paramFile = dispatcher_.PrepareRelay(item, section, call ? "" : w.textFile);
        if (paramFile.empty()) continue;
        // Marked before relay runs, so that relay's report cannot come first.
        if (!doc_.SetState(item.NoteId(), folder, kStateHandedToRelay, true)) {
            RelayDispatcher::DiscardRelay(paramFile);
            continue;
        }
        dispatcher_.RunRelayNote(paramFile);
    }
}

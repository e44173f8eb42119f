// A profile file on disk (Telvora.cfg, a relay parameter file) read and
// written through the profile functions: every section, key and list of
// it is read, and a write changes the one key it names and no other.
#include <cstdint>
#include <cstdlib>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "fuzz_support.h"
#include "item_list.h"
#include "profile.h"
#include "profile_document.h"
#include "relay_parameters.h"

namespace {

const fuzz::ScratchDir scratch;

void Check(bool holds) {
    if (!holds) std::abort();
}

// The names of a "\0"-separated list as GetPrivateProfileString gives them.
std::vector<std::string> Names(const char* list) {
    std::vector<std::string> names;
    for (const char* p = list; *p; p += names.back().size() + 1) names.emplace_back(p);
    return names;
}

using Values = std::map<std::pair<std::string, std::string>, std::string>;

// Every key of the file as a reader finds it, by folded names.
Values AllValues(const std::string& file) {
    Values values;
    auto doc = ReadProfile(file);
    if (!doc) return values;
    ProfileReader reader(*doc);
    for (const std::string& app : doc->SectionNames()) {
        for (const std::string& key : reader.KeyNames(app)) {
            values.emplace(
                std::make_pair(FoldCase(TrimProfileBlanks(app)), FoldCase(TrimProfileBlanks(key))),
                reader.Get(app, key).value_or("-"));
        }
    }
    return values;
}

// Each read opens the file again: a few keys of a few sections say as much
// as all of them, in a fraction of the time.
constexpr std::size_t kSectionsRead = 4, kKeysRead = 4;

void ReadEverything(const std::string& file, std::size_t size) {
    std::vector<char> sections(4096), keys(4096), value(size);
    GetPrivateProfileString(nullptr, nullptr, "", sections.data(), 4096, file.c_str());
    std::vector<std::string> apps = Names(sections.data());
    if (apps.size() > kSectionsRead) apps.resize(kSectionsRead);
    for (const std::string& app : apps) {
        GetPrivateProfileString(app.c_str(), nullptr, "", keys.data(), 4096, file.c_str());
        std::vector<std::string> names = Names(keys.data());
        if (names.size() > kKeysRead) names.resize(kKeysRead);
        for (const std::string& key : names) {
            GetPrivateProfileString(app.c_str(), key.c_str(), "", value.data(),
                                    static_cast<DWORD>(size), file.c_str());
            GetPrivateProfileInt(app.c_str(), key.c_str(), 7, file.c_str());
        }
    }
    auto doc = ReadProfile(file);
    if (!doc) return;
    for (const std::string& app : doc->SectionNames()) {
        for (const std::string& record : ItemList::ReadRecords(ProfileReader(*doc), app)) {
            ItemList::ParseRecord(record, 6);
        }
    }
}

void ReadRelayParameters(const std::string& file) {
    RelayParameters parameters(file);
    for (const RelayKey* key : {&relay_key::kOperation, &relay_key::kNoteId, &relay_key::kTo,
                                &relay_key::kCallerPhoneNumber, &relay_key::kReplyWaitSteps}) {
        parameters.Read(*key);
        parameters.ReadNumber(*key);
    }
    parameters.ConfigFile();
    parameters.Operation();
    parameters.Tries();
    parameters.Pause();
    parameters.LastError();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::Input in(data, size);
    std::size_t bufferSize = in.Byte() % 8 + 1;
    std::string app(in.Block()), key(in.Block()), value(in.Block());
    std::string file = scratch.Put("Telvora.cfg", in.Rest());

    ReadEverything(file, bufferSize);
    ReadRelayParameters(file);

    Values before = AllValues(file);
    if (!WritePrivateProfileString(app.c_str(), key.c_str(), value.c_str(), file.c_str())) return 0;
    Values after = AllValues(file);
    // Names are found without the blanks around them.
    auto written = std::make_pair(FoldCase(TrimProfileBlanks(app.c_str())),
                                  FoldCase(TrimProfileBlanks(key.c_str())));
    before.erase(written);
    after.erase(written);
    Check(before == after);
    return 0;
}

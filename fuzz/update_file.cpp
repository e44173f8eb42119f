// An update file as a new version ships it (VeloUpdate.dat), merged into a
// configuration with lists of each kind: a failed merge leaves the
// configuration as it was, and a merged update is not merged again.
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "fuzz_support.h"
#include "update_merge.h"

namespace {

const fuzz::ScratchDir scratch;

const char kConfig[] =
    "[Parameters]\nD1CallByCallTariffPlan=CBCT_02\n"
    "[RelayCall]\ntemplateId=2\n"
    "[TemplateProfiles]\nItems=2\n"
    "item-001=1|0|Standard|0|Anruf von %s|alt\n"
    "item-002=2|0|Eigene|0|Mein Betreff|Mein Text\n"
    "[CallByCallProviders]\nItems=2\n"
    "item-001=1|CBCP_01|Telco|01019\n"
    "item-002=2|CBCP_02|Eigener|01070\n"
    "[CallByCallTariffPlan]\nItems=2\n"
    "item-001=1|Standard|CBCT_01\n"
    "item-002=2|Nacht|CBCT_02\n"
    "[CBCT_01]\nItems=1\nitem-001=1|1|0|6|0|23|CBCP_01\n"
    "[CBCT_02]\nItems=1\nitem-001=1|1|0|6|0|23|CBCP_02\n";

std::string Content(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::SilenceMessageBoxes();
    std::string update =
        scratch.Put(kUpdateFileName, std::string_view(reinterpret_cast<const char*>(data), size));
    std::string config = scratch.Put("Telvora.cfg", kConfig);
    std::string book = scratch.File("AddrBook.xml");
    scratch.Remove("AddrBook.xml");

    UpdateMergeResult result = MergeUpdateFile(update, config, book, 1700000000);
    if (!result.message.empty() && Content(config) != kConfig) std::abort();
    if (result.merged && MergeUpdateFile(update, config, book, 1700000000).merged) std::abort();
    return 0;
}

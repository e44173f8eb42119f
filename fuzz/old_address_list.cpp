// The address list of earlier versions (AddrBook.dat) as it lies on an old
// installation: it is taken over into an address book that then loads.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "address_book.h"
#include "fuzz_support.h"
#include "old_address_list.h"

namespace {

const fuzz::ScratchDir scratch;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::SilenceMessageBoxes();
    std::string old =
        scratch.Put("AddrBook.dat", std::string_view(reinterpret_cast<const char*>(data), size));
    std::string xml = scratch.File("AddrBook.xml");
    scratch.Remove("AddrBook.xml");
    if (!ConvertOldAddressList(old, xml, 1700000000)) return 0;
    AddressBook book;
    if (!book.Load(xml, 1700000000)) std::abort();
    return 0;
}

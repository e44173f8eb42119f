// The address book file (AddrBook.xml) as anyone may have edited it: what
// loads is shown in the address list, and what is saved of it loads as the
// same book.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "address_book.h"
#include "fuzz_support.h"

namespace {

const fuzz::ScratchDir scratch;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::SilenceMessageBoxes();
    std::string path =
        scratch.Put("AddrBook.xml", std::string_view(reinterpret_cast<const char*>(data), size));
    AddressBook book;
    if (!book.Load(path, 0)) return 0;
    AddressListView view = ListViewOf(book.Layout());
    for (const Address& address : book.Addresses()) {
        for (const AddressListView::Column& c : view.columns) ColumnText(address, c.column);
        for (const PhoneNumber& phone : address.phones) phone.LongText();
    }
    for (const Address& address : book.Addresses()) {
        for (const PhoneNumber& phone : address.phones) book.FindByNumber(phone.Text());
        book.FindById(address.id);
    }
    std::string text = book.Text();
    AddressBook again;
    if (!again.Load(scratch.Put("Again.xml", text), 0) || again.Text() != text) std::abort();
    return 0;
}

// The remote commands as a peer sends them: a request or response message,
// the command name of a command line, and the note that NOTE and RAWNOTE
// carry as their argument text.
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "command_codec.h"
#include "corvane.h"
#include "fuzz_support.h"
#include "note_intake.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size > CRServerObj::kMsgBufferSize) return 0;
    remote::ReadResponse(data, size);
    remote::Received request = remote::ReadRequest(data, size);
    // The station's buffer: zeroed and one byte longer than any message,
    // the arguments behind the header.
    std::vector<char> buffer(CRServerObj::kMsgBufferSize + 1, '\0');
    std::memcpy(buffer.data(), data, size);
    const char* args = buffer.data() + remote::kHeader;
    remote::CommandName(request.id);
    if (request.id == remote::kNote || request.id == remote::kRawNote) {
        ReadNoteArgs(args, request.id == remote::kRawNote, "4711");
    }
    // The same bytes as a command line: the name up to the first blank.
    std::string line(buffer.data(), std::strlen(buffer.data()));
    remote::CommandId(line.substr(0, line.find(' ')).c_str());
    return 0;
}

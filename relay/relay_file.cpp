// Operation 2: the message appended to a file.
#include <fcntl.h>
#include <unistd.h>

#include <ctime>

#include "atomic_file.h"
#include "platform.h"
#include "relay_message.h"
#include "relay_operations.h"

bool AppendNoteToFile(const RelayContext& context) {
    std::string path = context.params.Read(relay_key::kRelayFile);
    std::optional<std::string> text = ReadMessageText(context.params);
    if (!text) return false;
    int fd = open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    if (fd < 0) {
        context.params.Fail("cannot open relay file");
        return false;
    }
    // One write, so that notes that relays append at the same time stay whole.
    std::string entry = "\n>>>> " + CTimeText(std::time(nullptr)) + "\n" + *text;
    bool written = WriteAllTo(fd, entry);
    if (close(fd) != 0 || !written) {
        context.params.Fail("cannot write relay file");
        return false;
    }
    return true;
}

// A mail server's replies as relay's own SMTP client reads them, line by
// line from its socket, through one whole message and QUIT.
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <cstdint>

#include "fuzz_support.h"
#include "mail_sender.h"

namespace {

// The sender on one end of a socket pair, as if connected to a server.
class PairedSender : public CMailSender {
public:
    explicit PairedSender(int fd) {
        m_socket = fd;
        m_connected = 1;
    }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // What the server says must fit into the pair's buffer before anyone reads.
    if (size > 64 * 1024) return 0;
    int ends[2];
    if (socketpair(AF_UNIX, SOCK_STREAM, 0, ends) != 0) return 0;
    for (std::size_t sent = 0; sent < size;) {
        ssize_t n = write(ends[1], data + sent, size - sent);
        if (n <= 0) break;
        sent += static_cast<std::size_t>(n);
    }
    shutdown(ends[1], SHUT_WR);
    {
        PairedSender sender(ends[0]);
        sender.SetReplyTimeout(std::chrono::milliseconds(200));
        sender.SendMail("absender@example.org", "r1, r2", "c1", "Betreff", "Preis: 5.00 €=\n.\n");
        sender.ErrorText();
        sender.Close();
    }
    close(ends[1]);
    return 0;
}

// Helpers of the mail tests: the Python SMTP server as a child process, the
// messages it recorded, and test certificates made with openssl.
#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "child_process.h"
#include "test_dir.h"

namespace mailtest {

// One message as the server recorded it: texts and lists of texts by name.
struct MailRecord {
    std::map<std::string, std::string> texts;
    std::map<std::string, std::vector<std::string>> lists;

    std::string Text(const std::string& name) const;
    std::vector<std::string> List(const std::string& name) const;
};

// The records of a file of JSON lines, each a flat object of strings,
// lists of strings and scalars (kept as their JSON text).
std::vector<MailRecord> ParseMailRecords(const std::string& jsonLines);

struct Certificates {
    std::string ca;                     // the authority the client is told to trust
    std::string serverCert, serverKey;  // by that authority, for localhost and 127.0.0.1
    std::string rogueCert, rogueKey;    // self-signed, for localhost
    std::string otherCert, otherKey;    // by the authority, for other.example only
};
// Made with the openssl tool once per test process.
const Certificates& TestCertificates();

// A stand-in for NetworkManager's nmcli as binDir/nmcli, to be put first
// on PATH. It records each call as one line of bracketed arguments in
// binDir/../calls and answers from files beside binDir: "profiles" and
// "active" (one name a line, as nmcli -t escapes them), "up.error" with
// "up.status" (a failing up), "up.hang", "down.hang", "down.stays" and "show.error".
void WriteStandInNmcli(const std::string& binDir);

class SmtpTestServer {
public:
    // Starts smtp_server.py with options (see its --help) and waits until
    // it listens.
    explicit SmtpTestServer(const std::vector<std::string>& options = {});

    bool Started() const { return port_ > 0; }
    int Port() const { return port_; }
    // The messages recorded, once there are at least count (or the time ran out).
    std::vector<MailRecord> Messages(std::size_t count = 0,
                                     std::chrono::milliseconds timeout = std::chrono::seconds(5));
    // What the server wrote to its standard error, for failure messages.
    std::string ErrorOutput() const { return dir_.Get("server.err"); }

private:
    TestDir dir_;
    std::unique_ptr<capitest::ChildProcess> process_;
    int port_ = 0;
};

}  // namespace mailtest

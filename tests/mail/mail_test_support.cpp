#include "mail_test_support.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <fstream>
#include <stdexcept>
#include <thread>

namespace mailtest {

namespace {

constexpr const char* kStandInNmcliScript = R"sh(#!/bin/sh
here=$(dirname "$0")/..
{ for a in "$@"; do printf '[%s]' "$a"; done; echo; } >> "$here/calls"
case "$*" in
  "-t -f NAME connection show --active")
    [ -f "$here/show.error" ] && { cat "$here/show.error" >&2; exit 8; }
    cat "$here/active"; exit 0 ;;
  "-t -f NAME connection show")
    cat "$here/profiles"; exit 0 ;;
esac
escaped=$(printf '%s' "$4" | sed -e 's/\\/\\\\/g' -e 's/:/\\:/g')
if [ "$1 $2 $3" = "connection up id" ]; then
  [ -f "$here/up.hang" ] && exec sleep 60
  [ -f "$here/up.error" ] && { cat "$here/up.error" >&2; exit "$(cat "$here/up.status")"; }
  printf '%s\n' "$escaped" >> "$here/active"
  echo "Connection successfully activated (D-Bus active path: /org/freedesktop/NetworkManager/ActiveConnection/7)"
  exit 0
fi
if [ "$1 $2 $3" = "connection down id" ]; then
  [ -f "$here/down.hang" ] && exec sleep 20
  grep -qxF -- "$escaped" "$here/active" || { echo "Error: '$4' is not an active connection." >&2; exit 10; }
  if [ ! -f "$here/down.stays" ]; then
    grep -vxF -- "$escaped" "$here/active" > "$here/active.new"
    mv "$here/active.new" "$here/active"
  fi
  echo "Connection '$4' successfully deactivated"
  exit 0
fi
echo "Error: unexpected arguments $*" >&2
exit 2
)sh";

using namespace std::chrono_literals;

void AppendUtf8(std::string& out, unsigned cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Just enough JSON for the server's records.
class JsonLineReader {
public:
    explicit JsonLineReader(const std::string& text) : text_(text) {}

    MailRecord Object() {
        MailRecord record;
        Expect('{');
        while (Peek() != '}') {
            std::string name = String();
            Expect(':');
            char next = Peek();
            if (next == '"') {
                record.texts[name] = String();
            } else if (next == '[') {
                record.lists[name] = Strings();
            } else {
                std::size_t end = text_.find_first_of(",}", pos_);
                record.texts[name] = text_.substr(pos_, end - pos_);
                pos_ = end;
            }
            if (Peek() == ',') ++pos_;
        }
        Expect('}');
        return record;
    }

private:
    char Peek() {
        while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_]))) ++pos_;
        if (pos_ >= text_.size()) throw std::runtime_error("JSON ends early");
        return text_[pos_];
    }
    void Expect(char c) {
        if (Peek() != c) throw std::runtime_error(std::string("JSON: expected ") + c);
        ++pos_;
    }
    unsigned Hex4() {
        unsigned value = std::stoul(text_.substr(pos_, 4), nullptr, 16);
        pos_ += 4;
        return value;
    }
    std::string String() {
        Expect('"');
        std::string out;
        while (text_.at(pos_) != '"') {
            char c = text_[pos_++];
            if (c != '\\') {
                out += c;
                continue;
            }
            char e = text_.at(pos_++);
            switch (e) {
                case 'n':
                    out += '\n';
                    break;
                case 'r':
                    out += '\r';
                    break;
                case 't':
                    out += '\t';
                    break;
                case 'b':
                    out += '\b';
                    break;
                case 'f':
                    out += '\f';
                    break;
                case 'u': {
                    unsigned cp = Hex4();
                    if (cp >= 0xD800 && cp < 0xDC00 && text_.compare(pos_, 2, "\\u") == 0) {
                        pos_ += 2;
                        cp = 0x10000 + ((cp - 0xD800) << 10) + (Hex4() - 0xDC00);
                    }
                    AppendUtf8(out, cp);
                    break;
                }
                default:
                    out += e;
            }
        }
        ++pos_;
        return out;
    }
    std::vector<std::string> Strings() {
        std::vector<std::string> list;
        Expect('[');
        while (Peek() != ']') {
            list.push_back(String());
            if (Peek() == ',') ++pos_;
        }
        Expect(']');
        return list;
    }

    const std::string& text_;
    std::size_t pos_ = 0;
};

// The Debian python3 that has aiosmtpd, before any other on PATH.
std::string Python() {
    const char* fixed = "/usr/bin/python3";
    return access(fixed, X_OK) == 0 ? fixed : "python3";
}

bool RunQuietly(const std::string& program, const std::vector<std::string>& args,
                const TestDir& dir) {
    capitest::ChildProcess child(program, args, {}, dir.Path(), dir.File("openssl.err"));
    return child.Started() && child.Wait(30s) == 0;
}

}  // namespace

std::string MailRecord::Text(const std::string& name) const {
    auto it = texts.find(name);
    return it == texts.end() ? std::string() : it->second;
}

std::vector<std::string> MailRecord::List(const std::string& name) const {
    auto it = lists.find(name);
    return it == lists.end() ? std::vector<std::string>() : it->second;
}

std::vector<MailRecord> ParseMailRecords(const std::string& jsonLines) {
    std::vector<MailRecord> records;
    for (std::size_t start = 0; start < jsonLines.size();) {
        std::size_t end = jsonLines.find('\n', start);
        if (end == std::string::npos) break;  // a line still being written
        records.push_back(JsonLineReader(jsonLines.substr(start, end - start)).Object());
        start = end + 1;
    }
    return records;
}

const Certificates& TestCertificates() {
    static TestDir dir;
    static const Certificates certificates = [] {
        Certificates c;
        c.ca = dir.File("ca.pem");
        c.serverCert = dir.File("server.pem");
        c.serverKey = dir.File("server.key");
        c.rogueCert = dir.File("rogue.pem");
        c.rogueKey = dir.File("rogue.key");
        c.otherCert = dir.File("other.pem");
        c.otherKey = dir.File("other.key");
        const std::string openssl = "/usr/bin/openssl";
        const std::vector<std::string> ec = {"-newkey", "ec", "-pkeyopt",
                                             "ec_paramgen_curve:prime256v1", "-nodes"};
        auto request = [&](std::vector<std::string> args) {
            std::vector<std::string> all = {"req"};
            all.insert(all.end(), ec.begin(), ec.end());
            all.insert(all.end(), args.begin(), args.end());
            if (!RunQuietly(openssl, all, dir)) throw std::runtime_error("openssl req failed");
        };
        auto signByCa = [&](const std::string& name, const std::string& names) {
            dir.Put(name + ".ext",
                    "subjectAltName=" + names +
                        "\nbasicConstraints=CA:FALSE\nextendedKeyUsage=serverAuth\n");
            request({"-keyout", dir.File(name + ".key"), "-out", dir.File(name + ".csr"), "-subj",
                     "/CN=" + name});
            if (!RunQuietly(openssl,
                            {"x509", "-req", "-in", dir.File(name + ".csr"), "-CA", c.ca, "-CAkey",
                             dir.File("ca.key"), "-CAcreateserial", "-out", dir.File(name + ".pem"),
                             "-days", "2", "-extfile", dir.File(name + ".ext")},
                            dir)) {
                throw std::runtime_error("openssl x509 failed");
            }
        };
        request({"-x509", "-keyout", dir.File("ca.key"), "-out", c.ca, "-days", "2", "-subj",
                 "/CN=Telvora Test CA"});
        signByCa("server", "DNS:localhost,IP:127.0.0.1");
        signByCa("other", "DNS:other.example");
        request({"-x509", "-keyout", c.rogueKey, "-out", c.rogueCert, "-days", "2", "-subj",
                 "/CN=localhost", "-addext", "subjectAltName=DNS:localhost,IP:127.0.0.1"});
        return c;
    }();
    return certificates;
}

SmtpTestServer::SmtpTestServer(const std::vector<std::string>& options) {
    std::vector<std::string> args = {SMTP_SERVER_SCRIPT, "--out", dir_.File("messages.jsonl")};
    args.insert(args.end(), options.begin(), options.end());
    process_ = std::make_unique<capitest::ChildProcess>(
        Python(), args, std::map<std::string, std::string>{}, dir_.Path(), dir_.File("server.err"));
    if (!process_->Started()) return;
    if (std::optional<std::string> line = process_->ReadLine(15s)) port_ = std::atoi(line->c_str());
}

std::vector<MailRecord> SmtpTestServer::Messages(std::size_t count,
                                                 std::chrono::milliseconds timeout) {
    auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        std::vector<MailRecord> records = ParseMailRecords(dir_.Get("messages.jsonl"));
        if (records.size() >= count || std::chrono::steady_clock::now() >= deadline) return records;
        std::this_thread::sleep_for(20ms);
    }
}

}  // namespace mailtest

namespace mailtest {

void WriteStandInNmcli(const std::string& binDir) {
    std::string path = binDir + "/nmcli";
    std::ofstream(path, std::ios::binary) << kStandInNmcliScript;
    chmod(path.c_str(), 0755);
}

}  // namespace mailtest

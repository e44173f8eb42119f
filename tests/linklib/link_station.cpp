// One station of a link test: a process that loads libcorvane.so, reads one
// command per line on standard input and answers with one line on standard
// output. Message boxes go to standard error (the console handler).
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <iostream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "corvane.h"

namespace {

using Clock = std::chrono::steady_clock;

// The protected members are what a misbehaving or older peer needs.
class StationLink : public CRServerObj {
public:
    using CRComObj::CheckOldVersionMsg;
    using CRComObj::Get;
    using CRComObj::Send;
    using CRComObj::SendAcknoledge;
    using CRComObj::SendId;
    using CRComObj::WaitForAcknoledge;
    using CRComObj::WaitForId;
};

long SteadyMicros() {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::microseconds>(Clock::now().time_since_epoch())
            .count());
}

// The byte at position i of a test stream with this seed.
std::uint8_t PatternByte(std::uint32_t seed, std::size_t i) {
    return static_cast<std::uint8_t>((i * 31 + seed * 17 + (i >> 8)) & 0xFF);
}

std::uint32_t Checksum(const std::vector<std::uint8_t>& data) {
    std::uint32_t hash = 2166136261u;
    for (std::uint8_t b : data) hash = (hash ^ b) * 16777619u;
    return hash;
}

char* Arg(std::string& text) {
    return text == "-" ? nullptr : text.data();
}

std::string Hex(const std::uint8_t* data, std::size_t length) {
    std::string text;
    char byte[4];
    for (std::size_t i = 0; i < length; ++i) {
        std::snprintf(byte, sizeof byte, "%02X", data[i]);
        text += byte;
    }
    return text.empty() ? "-" : text;
}

std::vector<std::uint8_t> FromHex(const std::string& text) {
    std::vector<std::uint8_t> bytes;
    for (std::size_t i = 0; i + 1 < text.size(); i += 2) {
        bytes.push_back(static_cast<std::uint8_t>(std::stoul(text.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

// The rest of the line after the command word and one blank, blanks kept.
std::string Rest(const std::string& line, const std::string& command) {
    return line.size() > command.size() + 1 ? line.substr(command.size() + 1) : "";
}

long Millis(Clock::time_point since) {
    return static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

struct Station {
    std::unique_ptr<StationLink> link;

    std::string Send(std::size_t size, std::uint32_t seed, std::size_t blockSize) {
        std::vector<std::uint8_t> data(size);
        for (std::size_t i = 0; i < size; ++i) data[i] = PatternByte(seed, i);
        unsigned short rc = 0;
        for (std::size_t at = 0; at < size && rc == 0; at += blockSize) {
            std::size_t n = std::min(blockSize, size - at);
            rc = link->Send(data.data() + at, n, 250);
        }
        return "send " + std::to_string(rc) + " " + std::to_string(Checksum(data));
    }

    // Reads until size bytes came, a Get fails or idleSteps pass without data.
    std::string Receive(std::size_t size, unsigned long idleSteps) {
        std::vector<std::uint8_t> data;
        unsigned short rc = 0;
        auto start = Clock::now();
        while (data.size() < size) {
            std::uint8_t block[128];
            unsigned long length = 0;
            rc = link->Get(block, &length, idleSteps);
            if (rc != 0 || length == 0) break;
            data.insert(data.end(), block, block + length);
        }
        return "recv " + std::to_string(rc) + " " + std::to_string(data.size()) + " " +
               std::to_string(Checksum(data)) + " " + std::to_string(Millis(start));
    }

    std::string SendMessage(std::size_t size, std::uint32_t seed) {
        std::vector<std::uint8_t> data(size + 1);
        for (std::size_t i = 0; i < size; ++i) data[i] = PatternByte(seed, i);
        auto start = Clock::now();
        unsigned short rc = link->SendMessage(data.data(), size);
        return "msg-send " + std::to_string(rc) + " " + std::to_string(Millis(start));
    }

    // The buffer is exactly capacity bytes, so a write past it is caught by
    // the address sanitizer.
    std::string GetMessage(std::size_t capacity) {
        std::vector<std::uint8_t> buffer(capacity);
        unsigned long length = capacity;
        unsigned short rc = link->GetMessage(buffer.data(), length);
        buffer.resize(rc == 0 ? length : 0);
        return "msg-get " + std::to_string(rc) + " " + std::to_string(length) + " " +
               std::to_string(Checksum(buffer));
    }

    // Takes count frames and acknowledges each as it should be.
    std::string AckFrames(int count) {
        int taken = 0;
        unsigned short rc = 0;
        for (; taken < count; ++taken) {
            std::uint8_t frame[128];
            unsigned long length = 0;
            rc = link->Get(frame, &length, 250);
            if (rc != 0 || length == 0) break;
            rc = link->SendAcknoledge(frame[0]);
            if (rc != 0) break;
        }
        return "ack-frames " + std::to_string(rc) + " " + std::to_string(taken);
    }

    std::string Response() {
        unsigned char* data = link->GetRespBuffer();
        std::string text = data ? std::string(reinterpret_cast<char*>(data), link->GetRespLength())
                                : std::string();
        return std::to_string(link->GetRespResult()) + " " + std::to_string(link->GetRespLength()) +
               " " + Hex(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
    }

    // What the answering station does for one call: identify the caller,
    // then run its commands until one fails or the line is down.
    std::string Serve(unsigned long steps) {
        if (!link->WaitForConnection(steps)) return "serve no-call";
        unsigned short rc = link->WaitForReqId();
        int commands = 0;
        unsigned short last = rc;
        while (rc == 0 && (last = link->WaitForRemCmd()) == 0) ++commands;
        return "serve " + std::to_string(rc) + " " + std::to_string(commands) + " " +
               std::to_string(last);
    }

    // The framing and remote-command members; "" when the line names none.
    std::string RunNoteLink(const std::string& line, const std::string& command,
                            std::istringstream& in) {
        if (command == "msg-send") {
            std::size_t size = 0;
            std::uint32_t seed = 0;
            in >> size >> seed;
            return SendMessage(size, seed);
        }
        if (command == "msg-get") {
            std::size_t capacity = 4096;
            in >> capacity;
            return GetMessage(capacity);
        }
        if (command == "raw-send") {
            std::string hex;
            in >> hex;
            std::vector<std::uint8_t> block = FromHex(hex);
            return "raw-send " + std::to_string(link->Send(block.data(), block.size(), 250));
        }
        if (command == "raw-get") {
            unsigned long steps = 250;
            in >> steps;
            std::uint8_t block[128];
            unsigned long length = 0;
            unsigned short rc = link->Get(block, &length, steps);
            return "raw-get " + std::to_string(rc) + " " + Hex(block, length);
        }
        // With the time of the steady clock, which all processes share: when
        // the block was handed over, when the get returned.
        if (command == "stamp-send") {
            std::string hex;
            in >> hex;
            std::vector<std::uint8_t> block = FromHex(hex);
            long at = SteadyMicros();
            unsigned short rc = link->Send(block.data(), block.size(), 250);
            return "stamp-send " + std::to_string(rc) + " " + std::to_string(at);
        }
        if (command == "stamp-get") {
            unsigned long steps = 250;
            in >> steps;
            std::uint8_t block[128];
            unsigned long length = 0;
            auto start = Clock::now();
            unsigned short rc = link->Get(block, &length, steps);
            return "stamp-get " + std::to_string(rc) + " " + Hex(block, length) + " " +
                   std::to_string(Millis(start)) + " " + std::to_string(SteadyMicros());
        }
        if (command == "ack-frames") {
            int count = 0;
            in >> count;
            return AckFrames(count);
        }
        if (command == "reqid") {
            auto start = Clock::now();
            unsigned short rc = link->RequestId();
            return "reqid " + std::to_string(rc) + " " + std::to_string(Millis(start));
        }
        if (command == "waitreqid") return "waitreqid " + std::to_string(link->WaitForReqId());
        if (command == "waitid") {
            int currentPeer = -1;
            unsigned short rc = link->WaitForId(currentPeer);
            return "waitid " + std::to_string(rc) + " " + std::to_string(currentPeer);
        }
        if (command == "exec") {
            std::string commandLine = Rest(line, command);
            unsigned short rc = link->ExecRemCmd(commandLine.data());
            return "exec " + std::to_string(rc) + " " + Response();
        }
        if (command == "cmdreq") {
            unsigned id = 0;
            in >> std::hex >> id;
            unsigned short rc = link->SendCmdReq(static_cast<unsigned char>(id), nullptr, 0);
            if (rc == 0) rc = link->WaitForCmdResp();
            return "cmdreq " + std::to_string(rc) + " " + Response();
        }
        if (command == "version") {
            int version = -2;
            unsigned short rc = link->GetServerVersion(version);
            return "version " + std::to_string(rc) + " " + std::to_string(version);
        }
        if (command == "remcmd") return "remcmd " + std::to_string(link->WaitForRemCmd());
        if (command == "serve") {
            unsigned long steps = 0;
            in >> steps;
            return Serve(steps);
        }
        if (command == "appname") {
            std::string path = Rest(line, command);
            link->SetAppName(path.data());
            return "appname";
        }
        return "";
    }

    std::string Run(const std::string& line) {
        std::istringstream in(line);
        std::string command;
        in >> command;
        if (command == "init") return "init " + std::to_string(RCOInitLinkDLL(TRUE));
        if (command == "new") {
            link = std::make_unique<StationLink>();
            return "new " + std::to_string(RCOInitLinkDLL(FALSE));
        }
        if (command == "delete") {
            link.reset();
            return "delete";
        }
        if (!link && command != "exit" && command != "disc-ind") return command + " no-link";
        if (std::string answer = RunNoteLink(line, command, in); !answer.empty()) return answer;
        if (command == "server") {
            std::string parameter;
            in >> parameter;
            return "server " + std::to_string(link->StartServer(Arg(parameter)));
        }
        if (command == "connect") {
            // connect NUMBER CALLING|-|"" STEPS
            std::string number, calling;
            unsigned long steps = 0;
            in >> number >> calling >> steps;
            if (calling == "\"\"") calling.clear();
            auto start = Clock::now();
            unsigned short rc = link->Connect(number.data(), Arg(calling), steps);
            return "connect " + std::to_string(rc) + " " + std::to_string(Millis(start));
        }
        if (command == "disconnect") {
            unsigned long steps = 0;
            in >> steps;
            auto start = Clock::now();
            unsigned short rc = link->Disconnect(steps);
            return "disconnect " + std::to_string(rc) + " " + std::to_string(Millis(start));
        }
        if (command == "waitconn" || command == "waitdisc") {
            unsigned long steps = 0;
            in >> steps;
            int flag = command == "waitconn" ? link->WaitForConnection(steps)
                                             : link->WaitForDisconnection(steps);
            return command + " " + std::to_string(flag);
        }
        if (command == "state") return "state " + std::to_string(link->IsConnected());
        if (command == "info") {
            unsigned short reason = 0;
            std::string text = link->GetDisconnectInfo(reason);
            char hex[16];
            std::snprintf(hex, sizeof hex, "0x%04X", reason);
            return "info " + std::string(hex) + " " + text;
        }
        if (command == "send") {
            std::size_t size = 0, blockSize = 0;
            std::uint32_t seed = 0;
            in >> size >> seed >> blockSize;
            return Send(size, seed, blockSize ? blockSize : size);
        }
        if (command == "recv") {
            std::size_t size = 0;
            unsigned long idleSteps = 0;
            in >> size >> idleSteps;
            return Receive(size, idleSteps);
        }
        if (command == "expect") {
            // The checksum a receiver must report for a send of this size and seed.
            std::size_t size = 0;
            std::uint32_t seed = 0;
            in >> size >> seed;
            std::vector<std::uint8_t> data(size);
            for (std::size_t i = 0; i < size; ++i) data[i] = PatternByte(seed, i);
            return "expect " + std::to_string(Checksum(data));
        }
        if (command == "disc-ind") {
            unsigned reason = 0;
            in >> std::hex >> reason;
            return "disc-ind " + std::to_string(RCODisconnectInd(static_cast<WORD>(reason)));
        }
        if (command == "cpu") {
            timespec cpu{};
            clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &cpu);
            return "cpu " + std::to_string(cpu.tv_sec * 1000000L + cpu.tv_nsec / 1000);
        }
        if (command == "exit") {
            auto start = Clock::now();
            BOOL result = RCOExitLinkDLL();
            return "exit " + std::to_string(result) + " " + std::to_string(Millis(start));
        }
        return "unknown " + command;
    }
};

}  // namespace

int main() {
    Station station;
    std::string line;
    while (std::getline(std::cin, line)) {
        if (line == "quit") break;
        std::cout << station.Run(line) << std::endl;
    }
    station.link.reset();
    return 0;
}

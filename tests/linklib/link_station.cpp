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

class StationLink : public CRComObj {
public:
    using CRComObj::Get;
    using CRComObj::Send;
};

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

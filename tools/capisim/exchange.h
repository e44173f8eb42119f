// The network side of CAPI 2.0 for every line of the exchange: it takes one
// decoded message at a time from an application, routes calls between the
// lines, runs the B channels, and answers through ExchangeOutput. Time is
// passed in, so a test can drive it without sockets or waiting.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>

#include "call.h"
#include "capi_message.h"
#include "numbering.h"
#include "sms_log.h"
#include "wire.h"

namespace capisim {

class ExchangeOutput {
public:
    virtual ~ExchangeOutput() = default;
    virtual void Send(AppId app, const Message& m) = 0;
    virtual void CallEnded(const CallRecord& record) = 0;
    // An SMS centre accepted a message; called before its answer is sent.
    virtual void MessageAccepted(const SmsRecord& record) = 0;
};

struct ExchangeSettings {
    uint32_t bitsPerSecond = 64000;
    std::chrono::microseconds delay{10000};
    Clock::duration ringTime = std::chrono::seconds(30);
    // An SMS centre clears a call from which nothing has come for so long.
    Clock::duration centreIdleTime = std::chrono::seconds(60);
    // The date and time of day for logs and the centres' time stamps.
    std::function<std::chrono::system_clock::time_point()> wallClock = [] {
        return std::chrono::system_clock::now();
    };
};

struct TelephoneCall {
    std::string from;
    std::string to;
    uint16_t cip = 1;
    Clock::duration ringFor{};
};

class Exchange {
public:
    Exchange(NumberPlan plan, ExchangeSettings settings, ExchangeOutput& out);
    ~Exchange();

    void Register(AppId app, size_t line, const RegisterParams& params);
    // The application is gone: its calls are cleared, their other ends told.
    void Release(AppId app, TimePoint now);
    void Handle(AppId app, const Message& m, TimePoint now);

    void PlaceTelephoneCall(const TelephoneCall& call, TimePoint now);
    // A layer-1 failure of the line: every call on it ends at once.
    bool CutLine(const std::string& name, TimePoint now);
    // Ends every call, as a failure of all lines.
    void Shutdown(TimePoint now);

    void Advance(TimePoint now);
    std::optional<TimePoint> NextDeadline() const;

private:
    struct App {
        size_t line = 0;
        RegisterParams params;
        uint16_t applId = 0;
        uint16_t nextNumber = 1;
        uint32_t cipMask = 0;
    };
    struct Found {
        Call* call = nullptr;
        int index = 0;
        CallEnd* end = nullptr;
    };
    struct Ending {
        std::array<uint16_t, 2> reason{};
        std::array<uint16_t, 2> b3Reason{};
        std::string outcome;
        std::string clearedBy;
        uint16_t logReason = 0;
    };
    // Counted per SMS centre since the exchange started.
    struct CentreCounts {
        uint64_t calls = 0;
        uint64_t blocks = 0;
    };
    class PipeSink;

    void Send(AppId app, Message m);
    void Answer(AppId app, const Message& req, std::vector<Param> params);

    void OnListen(AppId app, const Message& m);
    void OnConnect(AppId app, const Message& m, TimePoint now);
    void OnAlert(AppId app, const Message& m);
    void OnConnectResp(AppId app, const Message& m, TimePoint now);
    void OnDisconnect(AppId app, const Message& m, TimePoint now);
    void OnDisconnectResp(AppId app, const Message& m);
    void OnConnectB3(AppId app, const Message& m);
    void OnConnectB3Resp(AppId app, const Message& m);
    void OnDisconnectB3(AppId app, const Message& m, TimePoint now);
    void OnDisconnectB3Resp(AppId app, const Message& m);
    void OnDataB3(AppId app, const Message& m, TimePoint now);
    void OnDataB3Resp(AppId app, const Message& m);
    void OnPlciRequest(AppId app, const Message& m);
    void OnNcciRequest(AppId app, const Message& m);
    void OnFacility(AppId app, const Message& m);
    void OnManufacturer(AppId app, const Message& m);

    Found FindPlci(AppId app, uint32_t address);
    Found FindNcci(AppId app, uint32_t address);
    std::optional<uint8_t> FreePlci(size_t line) const;
    size_t ChannelsInUse(size_t line) const;
    Call& NewCall();

    void Route(Call& call, TimePoint now);
    void Offer(Call& call, size_t line, TimePoint now);
    void Accept(Call& call, AppId app, TimePoint now);
    void Refuse(Call& call, AppId app, uint16_t reject, TimePoint now);
    void ClearBy(Call& call, int index, TimePoint now);
    void EndCall(Call& call, const Ending& ending, TimePoint now);
    void FinishB3Clearing(Call& call, TimePoint now);
    void ConnectB3(Call& call, int index, const Message& req, const Bytes& ncpi);
    void ResetPipes(Call& call);

    void AnswerAsCentre(Call& call, const SpecialNumber& centre, TimePoint now);
    void CentreReceives(Call& call, const Bytes& data, TimePoint now);
    void SendFromCentre(Call& call, const Bytes& reply, TimePoint now);
    void AdvanceCentre(Call& call, TimePoint now);

    void AdvanceCall(Call& call, TimePoint now);
    void Sweep();

    NumberPlan plan_;
    ExchangeSettings settings_;
    ExchangeOutput& out_;
    std::map<AppId, App> apps_;
    std::map<uint64_t, std::unique_ptr<Call>> calls_;
    std::map<std::string, CentreCounts> centreCounts_;
    uint64_t nextCallId_ = 1;
};

}  // namespace capisim

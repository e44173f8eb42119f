#include "call_monitor.h"

#include "quorlin_log.h"
#include "telephone_services.h"

using namespace monitor;

CallMonitor::CallMonitor(std::uint16_t applId, CapiOutbox& outbox, Reporter report, Clock now)
    : applId_(applId), outbox_(outbox), report_(std::move(report)), now_(std::move(now)) {}

bool CallMonitor::Listen(std::uint32_t controller) {
    Log().Debug().Printf("++CallMonitor::Listen (controller=%u, cipMask=0x%08X)\n", controller,
                         TelephoneCipMask());
    unsigned rc = outbox_.Put(ListenReq(applId_, nextNumber_++, controller, TelephoneCipMask()));
    if (rc != 0) {
        state_ = ListenState::Refused;
        listenError_ = rc;
        Log().Debug().Printf("**CallMonitor::Listen (put=0x%04X)\n", rc);
        return false;
    }
    state_ = ListenState::Pending;
    return true;
}

void CallMonitor::Handle(const std::uint8_t* message, std::size_t size) {
    auto header = ReadHeader(message, size);
    if (!header) {
        Log().Debug().Write("**CallMonitor::Handle malformed message\n");
        return;
    }
    if (header->command == kListen && header->subcommand == kConf) {
        return OnListenConf(message, size);
    }
    if (header->subcommand != kInd) return;
    if (header->command == kConnect) return OnConnectInd(message, size, header->number);
    Bytes response = ResponseTo(message, size);
    if (!response.empty()) Put(response);
}

void CallMonitor::OnListenConf(const std::uint8_t* message, std::size_t size) {
    auto info = ListenConfInfo(message, size);
    if (info && *info == 0) {
        state_ = ListenState::Listening;
        Log().Debug().Write("--CallMonitor::Listen\n");
        return;
    }
    state_ = ListenState::Refused;
    listenError_ = info.value_or(0xFFFF);
    Log().Debug().Printf("**CallMonitor::Listen (Info=0x%04X)\n", listenError_);
}

void CallMonitor::OnConnectInd(const std::uint8_t* message, std::size_t size,
                               std::uint16_t number) {
    auto offer = ReadConnectInd(message, size);
    auto plci = AddressOf(message, size);
    if (!plci) return;
    // Ignoring leaves the call to the telephones; any other answer would
    // take it or end it for everyone on the line.
    Put(ConnectResp(applId_, number, *plci, kIgnoreCall));
    if (!offer) {
        Log().Debug().Printf("**CallMonitor CONNECT_IND unreadable (PLCI=0x%08X)\n", *plci);
        return;
    }
    Log().Debug().Printf("  CallMonitor CONNECT_IND PLCI=0x%08X CIP=%u called=[%s] calling=[%s]\n",
                         offer->plci, offer->cip, offer->calledNumber.c_str(),
                         offer->callingNumber.c_str());
    if (!IsTelephoneService(offer->cip)) return;
    PhoneCall call;
    call.time = now_();
    call.msn = offer->calledNumber;
    call.number = offer->callingNumber;
    call.withheld = offer->callingWithheld;
    call.cip = offer->cip;
    call.service = ServiceText(offer->cip);
    report_(call);
}

void CallMonitor::Put(const Bytes& message) {
    unsigned rc = outbox_.Put(message);
    if (rc != 0) Log().Debug().Printf("**CallMonitor put (0x%04X)\n", rc);
}

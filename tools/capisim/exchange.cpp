#include "exchange.h"

#include <algorithm>

namespace capisim {
namespace {

constexpr uint16_t kInfoNotInState = 0x2001;
constexpr uint16_t kInfoIllegalId = 0x2002;
constexpr uint16_t kInfoNoPlci = 0x2003;
constexpr uint16_t kInfoIllegalCoding = 0x2007;
constexpr uint16_t kInfoFacilityUnsupported = 0x300B;
constexpr uint16_t kInfoDataLength = 0x300C;
constexpr uint16_t kInfoResetUnsupported = 0x300D;
constexpr uint16_t kInfoNoResources = 0x1008;

constexpr size_t kChannelsPerLine = 2;
constexpr uint32_t kController = 1;
// CAPI lets an application take at most seven blocks at a time.
constexpr size_t kMaxWindow = 7;
// More than this many blocks queued on a channel is a sender that ignores
// its confirmations; refusing them keeps the exchange's memory bounded.
constexpr size_t kMaxQueuedBlocks = 64;
constexpr auto kDrainGrace = std::chrono::seconds(2);

uint32_t ControllerOf(uint32_t address) {
    return address & 0x7F;
}
uint8_t PlciOf(uint32_t address) {
    return uint8_t(address >> 8);
}
uint16_t NcciOf(uint32_t address) {
    return uint16_t(address >> 16);
}

// Only what the profile offers: B1 HDLC or transparent, B2 X.75 or
// transparent, B3 transparent.
uint16_t CheckBProtocol(const Bytes& b) {
    if (b.empty()) return 0;
    if (b.size() < 6) return kInfoIllegalCoding;
    if (Word(b, 0) > 1) return 0x3001;
    if (Word(b, 2) > 1) return 0x3002;
    if (Word(b, 4) != 0) return 0x3003;
    return 0;
}

bool ListensFor(uint32_t cipMask, uint16_t cip) {
    if (cipMask & 1) return true;
    return cip < 32 && (cipMask & (1u << cip));
}

const char* Who(int index) {
    return index == 0 ? "caller" : "called";
}

}  // namespace

// Carries one direction of a call's B channel between the applications, or
// from the caller to the SMS centre that answered, which takes every block
// at once.
class Exchange::PipeSink : public BlockSink {
public:
    PipeSink(Exchange& exchange, Call& call, int from, TimePoint now)
        : exchange_(exchange),
          call_(call),
          sender_(call.end[from]),
          receiver_(call.end[1 - from]),
          toCentre_(from == 0 && call.centre),
          now_(now) {}

    void Confirm(const Block& block) override {
        if (!sender_.owner || sender_.b3 != B3State::kActive) return;
        exchange_.Send(sender_.owner,
                       Make(kDataB3, kConf, block.number, {sender_.Ncci(), block.handle, 0u}));
    }

    bool ReceiverHasRoom(size_t held) override {
        if (!Receiving()) return true;
        return receiver_.unanswered.size() + held < receiver_.maxBlocks;
    }

    void Deliver(Block&& block) override {
        if (toCentre_) return exchange_.CentreReceives(call_, block.data, now_);
        if (!Receiving()) return;
        uint16_t handle = receiver_.nextHandle++;
        if (receiver_.nextHandle == 0) receiver_.nextHandle = 1;
        receiver_.unanswered.insert(handle);
        Message ind =
            Make(kDataB3, kInd, 0,
                 {receiver_.Ncci(), 0u, uint64_t(block.data.size()), handle, block.flags});
        ind.data = std::move(block.data);
        exchange_.Send(receiver_.owner, std::move(ind));
    }

private:
    bool Receiving() const { return receiver_.owner && receiver_.b3 == B3State::kActive; }

    Exchange& exchange_;
    Call& call_;
    CallEnd& sender_;
    CallEnd& receiver_;
    bool toCentre_;
    TimePoint now_;
};

Exchange::Exchange(NumberPlan plan, ExchangeSettings settings, ExchangeOutput& out)
    : plan_(std::move(plan)), settings_(settings), out_(out) {}

Exchange::~Exchange() = default;

void Exchange::Register(AppId app, size_t line, const RegisterParams& params) {
    App& a = apps_[app];
    a.line = line;
    a.params = params;
}

void Exchange::Send(AppId app, Message m) {
    auto it = apps_.find(app);
    if (it == apps_.end()) return;
    m.applId = it->second.applId;
    if (m.subcommand == kInd) m.number = it->second.nextNumber++;
    out_.Send(app, m);
}

void Exchange::Answer(AppId app, const Message& req, std::vector<Param> params) {
    Send(app, Make(req.command, kConf, req.number, std::move(params)));
}

void Exchange::Handle(AppId app, const Message& m, TimePoint now) {
    auto it = apps_.find(app);
    if (it == apps_.end()) return;
    it->second.applId = m.applId;
    bool req = m.subcommand == kReq;
    bool resp = m.subcommand == kResp;
    switch (m.command) {
        case kListen:
            if (req) OnListen(app, m);
            break;
        case kConnect:
            if (req) OnConnect(app, m, now);
            if (resp) OnConnectResp(app, m, now);
            break;
        case kAlert:
            if (req) OnAlert(app, m);
            break;
        case kDisconnect:
            if (req) OnDisconnect(app, m, now);
            if (resp) OnDisconnectResp(app, m);
            break;
        case kConnectB3:
            if (req) OnConnectB3(app, m);
            if (resp) OnConnectB3Resp(app, m);
            break;
        case kDisconnectB3:
            if (req) OnDisconnectB3(app, m, now);
            if (resp) OnDisconnectB3Resp(app, m);
            break;
        case kDataB3:
            if (req) OnDataB3(app, m, now);
            if (resp) OnDataB3Resp(app, m);
            break;
        case kInfo:
        case kSelectBProtocol:
            if (req) OnPlciRequest(app, m);
            break;
        case kResetB3:
            if (req) OnNcciRequest(app, m);
            break;
        case kFacility:
            if (req) OnFacility(app, m);
            break;
        case kManufacturer:
            if (req) OnManufacturer(app, m);
            break;
        default:
            // The responses to indications that carry no state here need no
            // answer.
            break;
    }
}

void Exchange::OnListen(AppId app, const Message& m) {
    uint32_t controller = m.Address();
    if (controller != kController && controller != (kController | 0x80)) {
        return Answer(app, m, {controller, kInfoIllegalId});
    }
    App& a = apps_[app];
    a.cipMask = uint32_t(m.Value(field::kCipMask));
    Answer(app, m, {controller, 0u});
}

Call& Exchange::NewCall() {
    auto call = std::make_unique<Call>();
    call->id = nextCallId_++;
    call->record.start = settings_.wallClock();
    Call& ref = *call;
    calls_[ref.id] = std::move(call);
    return ref;
}

void Exchange::OnConnect(AppId app, const Message& m, TimePoint now) {
    uint32_t controller = m.Address();
    if (ControllerOf(controller) != kController || PlciOf(controller) != 0) {
        return Answer(app, m, {controller, kInfoIllegalId});
    }
    if (uint16_t info = CheckBProtocol(m.Struct(field::kBProtocol))) {
        return Answer(app, m, {controller, info});
    }
    const App& a = apps_[app];
    auto plci = FreePlci(a.line);
    if (!plci) return Answer(app, m, {controller, kInfoNoPlci});

    const LineConfig& line = plan_.Lines()[a.line];
    Call& call = NewCall();
    CallEnd& caller = call.end[0];
    caller.onLine = true;
    caller.line = a.line;
    caller.plci = *plci;
    caller.apps[app] = AppRole::kOwner;
    caller.owner = app;
    caller.maxBlocks = std::clamp<size_t>(a.params.maxBDataBlocks, 1, kMaxWindow);
    // The network screens the calling number: one the line does not own is
    // replaced by the line's first number.
    std::string calling = CallingDigits(m.Struct(field::kCallingNumber));
    caller.number = plan_.Owns(a.line, calling) ? calling : line.numbers.front();
    Answer(app, m, {caller.Plci(), 0u});

    DialledNumber dialled =
        SplitDialled(CalledDigits(m.Struct(field::kCalledNumber)), line.outsidePrefix);
    call.end[1].number = dialled.number;
    CallRecord& r = call.record;
    r.callingLine = line.name;
    r.callingNumber = caller.number;
    r.dialled = dialled.dialled;
    r.outsidePrefix = dialled.outsidePrefix;
    r.carrierPrefix = dialled.carrierPrefix;
    r.calledNumber = dialled.number;
    r.cip = uint16_t(m.Value(field::kCip));
    Route(call, now);
}

void Exchange::PlaceTelephoneCall(const TelephoneCall& tc, TimePoint now) {
    Call& call = NewCall();
    call.end[0].number = tc.from;
    call.end[1].number = tc.to;
    call.withdrawAt = now + tc.ringFor;
    CallRecord& r = call.record;
    r.callingNumber = tc.from;
    r.dialled = tc.to;
    r.calledNumber = tc.to;
    r.cip = tc.cip;
    Route(call, now);
}

void Exchange::Route(Call& call, TimePoint now) {
    auto fail = [&](uint16_t reason, const char* outcome) {
        Ending e;
        e.reason = {reason, reason::kNormal};
        e.outcome = outcome;
        e.clearedBy = "network";
        e.logReason = reason;
        EndCall(call, e, now);
    };
    const CallEnd& caller = call.end[0];
    if (caller.onLine && ChannelsInUse(caller.line) > kChannelsPerLine) {
        return fail(reason::kNoChannel, "no-channel");
    }
    Destination d = plan_.Find(call.end[1].number);
    if (d.kind == Destination::kNone) return fail(reason::kUnallocated, "unallocated");
    if (d.kind == Destination::kLine) return Offer(call, d.line, now);
    switch (d.special->kind) {
        case SpecialKind::kBusy:
            return fail(reason::kBusy, "busy");
        case SpecialKind::kReject:
            return fail(ReasonForReject(d.special->reject), "rejected");
        case SpecialKind::kNoAnswer:
            call.ringDeadline = now + settings_.ringTime;
            return;
        case SpecialKind::kSmsCentre:
            return AnswerAsCentre(call, *d.special, now);
    }
}

// The centre answers at once and then waits for the caller's data
// connection; it has no application, so its end holds no PLCI.
void Exchange::AnswerAsCentre(Call& call, const SpecialNumber& number, TimePoint now) {
    auto centre = std::make_unique<CentreEnd>();
    centre->number = &number;
    centre->call = ++centreCounts_[number.number].calls;
    centre->idleDeadline = now + settings_.centreIdleTime;
    call.centre = std::move(centre);
    call.phase = Call::Phase::kConnected;
    call.answered = now;
    CallEnd& caller = call.end[0];
    if (!caller.owner) return;
    Send(caller.owner, Make(kConnectActive, kInd, 0,
                            {caller.Plci(), CallingNumberStruct(number.number), Bytes{}, Bytes{}}));
}

void Exchange::CentreReceives(Call& call, const Bytes& data, TimePoint now) {
    CentreEnd& centre = *call.centre;
    if (!centre.session || call.end[1].b3 != B3State::kActive) return;
    centre.idleDeadline = now + settings_.centreIdleTime;
    SmsCentreOutput out;
    centre.session->Receive(data, settings_.wallClock(), out);
    // Logged first: whoever has the answer must find the message's line.
    for (const SmsMessage& m : out.accepted) {
        SmsRecord r;
        r.time = m.time;
        r.centre = centre.number->number;
        r.protocol = ProtocolName(centre.number->centre.protocol);
        r.callingNumber = call.end[0].number;
        r.originator = m.originator;
        r.recipient = m.recipient;
        r.text = m.text;
        out_.MessageAccepted(r);
    }
    for (const Bytes& reply : out.replies) SendFromCentre(call, reply, now);
    if (out.hangUp && !centre.clearAt) centre.clearAt = now;
}

// A reply goes as one block where the caller's registered block size
// allows. A caller that leaves as many blocks as a sender may queue
// untaken is cleared rather than letting the replies pile up.
void Exchange::SendFromCentre(Call& call, const Bytes& reply, TimePoint now) {
    BChannelPipe* pipe = call.pipe[1].get();
    auto app = apps_.find(call.end[0].owner);
    if (!pipe || app == apps_.end() || call.centre->clearAt) return;
    if (pipe->Waiting() >= kMaxQueuedBlocks) {
        call.centre->clearAt = now;
        return;
    }
    size_t most = std::max<size_t>(1, app->second.params.maxBDataLength);
    for (size_t at = 0; at < reply.size(); at += most) {
        Block block;
        block.data.assign(reply.begin() + at, reply.begin() + std::min(reply.size(), at + most));
        pipe->Submit(std::move(block), now);
    }
}

void Exchange::AdvanceCentre(Call& call, TimePoint now) {
    CentreEnd& centre = *call.centre;
    bool due = (centre.clearAt && now >= *centre.clearAt) ||
               (centre.idleDeadline && now >= *centre.idleDeadline);
    if (!due) return;
    centre.clearAt.reset();
    centre.idleDeadline.reset();
    centre.session.reset();
    ClearBy(call, 1, now);
}

void Exchange::Offer(Call& call, size_t line, TimePoint now) {
    call.record.calledLine = plan_.Lines()[line].name;
    auto fail = [&](uint16_t reason, const char* outcome) {
        Ending e;
        e.reason = {reason, reason::kNormal};
        e.outcome = outcome;
        e.clearedBy = "network";
        e.logReason = reason;
        EndCall(call, e, now);
    };
    if (ChannelsInUse(line) >= kChannelsPerLine) return fail(reason::kBusy, "busy");
    std::vector<AppId> listeners;
    for (auto& [id, a] : apps_) {
        if (a.line == line && ListensFor(a.cipMask, call.record.cip)) listeners.push_back(id);
    }
    if (listeners.empty()) return fail(reason::kIncompatible, "incompatible");
    auto plci = FreePlci(line);
    if (!plci) return fail(reason::kBusy, "busy");

    CallEnd& called = call.end[1];
    called.onLine = true;
    called.line = line;
    called.plci = *plci;
    for (AppId id : listeners) {
        called.apps[id] = AppRole::kOffered;
        Send(id, Make(kConnect, kInd, 0,
                      {called.Plci(), call.record.cip, CalledNumberStruct(called.number),
                       CallingNumberStruct(call.end[0].number), Bytes{}, Bytes{}, Bytes{}, Bytes{},
                       Bytes{}, Bytes{}}));
    }
    call.ringDeadline = now + settings_.ringTime;
}

void Exchange::OnAlert(AppId app, const Message& m) {
    Found f = FindPlci(app, m.Address());
    if (!f.end) return Answer(app, m, {m.Address(), kInfoIllegalId});
    bool offered = f.end->apps[app] == AppRole::kOffered;
    Answer(app, m, {m.Address(), offered ? 0u : kInfoNotInState});
}

void Exchange::OnConnectResp(AppId app, const Message& m, TimePoint now) {
    Found f = FindPlci(app, m.Address());
    if (!f.end || f.index != 1 || f.end->apps[app] != AppRole::kOffered) return;
    if (f.call->phase != Call::Phase::kRinging) return;
    uint16_t reject = uint16_t(m.Value(field::kReject));
    if (reject == 0) return Accept(*f.call, app, now);
    Refuse(*f.call, app, reject, now);
}

void Exchange::Accept(Call& call, AppId app, TimePoint now) {
    CallEnd& called = call.end[1];
    CallEnd& caller = call.end[0];
    called.owner = app;
    called.maxBlocks = std::clamp<size_t>(apps_[app].params.maxBDataBlocks, 1, kMaxWindow);
    for (auto& [id, role] : called.apps) {
        if (id == app) {
            role = AppRole::kOwner;
        } else if (role == AppRole::kOffered) {
            Send(id, Make(kDisconnect, kInd, 0, {called.Plci(), reason::kOtherApplication}));
            role = AppRole::kCleared;
        }
    }
    call.phase = Call::Phase::kConnected;
    call.ringDeadline.reset();
    call.answered = now;
    Bytes connected = CallingNumberStruct(called.number);
    Send(app, Make(kConnectActive, kInd, 0, {called.Plci(), connected, Bytes{}, Bytes{}}));
    if (caller.owner) {
        Send(caller.owner,
             Make(kConnectActive, kInd, 0, {caller.Plci(), connected, Bytes{}, Bytes{}}));
    }
}

void Exchange::Refuse(Call& call, AppId app, uint16_t reject, TimePoint now) {
    CallEnd& called = call.end[1];
    if (reject == 1) {
        called.apps.erase(app);
    } else {
        Send(app, Make(kDisconnect, kInd, 0, {called.Plci(), 0u}));
        called.apps[app] = AppRole::kCleared;
        if (!call.rejectReason) call.rejectReason = ReasonForReject(reject);
    }
    bool stillOffered = std::any_of(called.apps.begin(), called.apps.end(),
                                    [](auto& a) { return a.second == AppRole::kOffered; });
    // Ignoring leaves the call ringing for nobody, as on a real bus.
    if (stillOffered || !call.rejectReason) return;
    Ending e;
    e.reason = {*call.rejectReason, reason::kNormal};
    e.outcome = "rejected";
    e.clearedBy = "called";
    e.logReason = *call.rejectReason;
    EndCall(call, e, now);
}

void Exchange::OnDisconnect(AppId app, const Message& m, TimePoint now) {
    Found f = FindPlci(app, m.Address());
    if (!f.end) return Answer(app, m, {m.Address(), kInfoIllegalId});
    AppRole role = f.end->apps[app];
    if (role == AppRole::kCleared || f.call->phase == Call::Phase::kEnded) {
        return Answer(app, m, {m.Address(), kInfoNotInState});
    }
    Answer(app, m, {m.Address(), 0u});
    if (role == AppRole::kOffered) return Refuse(*f.call, app, 2, now);
    ClearBy(*f.call, f.index, now);
}

void Exchange::OnDisconnectResp(AppId app, const Message& m) {
    Found f = FindPlci(app, m.Address());
    if (!f.end || f.end->apps[app] != AppRole::kCleared) return;
    f.end->apps.erase(app);
    if (f.end->owner == app) f.end->owner = 0;
}

void Exchange::ClearBy(Call& call, int i, TimePoint now) {
    if (call.phase == Call::Phase::kEnded) return;
    int j = 1 - i;
    CallEnd& me = call.end[i];
    if (call.b3Clearing && call.b3Clearing->towards == j) {
        // The data connection is still draining toward the other side (the
        // clearing side sent DISCONNECT_B3_REQ, then DISCONNECT_REQ at once):
        // the call ends for the other side once the data has reached it.
        if (me.owner && me.apps[me.owner] != AppRole::kCleared) {
            Send(me.owner, Make(kDisconnect, kInd, 0, {me.Plci(), 0u}));
            me.apps[me.owner] = AppRole::kCleared;
        }
        call.record.clearedBy = Who(i);
        call.b3Clearing->thenDisconnect = true;
        return;
    }
    bool drain = !call.b3Clearing && me.b3 == B3State::kActive &&
                 call.end[j].b3 == B3State::kActive && call.pipe[i];
    if (!drain) {
        Ending e;
        e.reason[j] = reason::kNormal;
        e.outcome = "abandoned";
        e.clearedBy = Who(i);
        e.logReason = reason::kNormal;
        return EndCall(call, e, now);
    }
    // The clearing side hears at once; the other side only after the data
    // already confirmed to the clearing side has reached it.
    if (me.owner) {
        Send(me.owner, Make(kDisconnectB3, kInd, 0, {me.Ncci(), 0u, Bytes{}}));
        Send(me.owner, Make(kDisconnect, kInd, 0, {me.Plci(), 0u}));
        me.apps[me.owner] = AppRole::kCleared;
    }
    me.b3 = B3State::kCleared;
    call.pipe[i]->DropUnsent();
    call.pipe[j]->DropUnsent();
    call.record.clearedBy = Who(i);
    call.b3Clearing = B3Clearing{j, true, now + settings_.delay + kDrainGrace};
}

void Exchange::EndCall(Call& call, const Ending& ending, TimePoint now) {
    if (call.phase == Call::Phase::kEnded) return;
    for (int i = 0; i < 2; ++i) {
        CallEnd& e = call.end[i];
        for (auto& [id, role] : e.apps) {
            if (role == AppRole::kCleared) continue;
            bool b3Up = e.b3 != B3State::kNone && e.b3 != B3State::kCleared;
            if (id == e.owner && b3Up) {
                Send(id, Make(kDisconnectB3, kInd, 0, {e.Ncci(), ending.b3Reason[i], Bytes{}}));
                e.b3 = B3State::kCleared;
            }
            Send(id, Make(kDisconnect, kInd, 0, {e.Plci(), ending.reason[i]}));
            role = AppRole::kCleared;
        }
    }
    ResetPipes(call);
    call.phase = Call::Phase::kEnded;
    call.ringDeadline.reset();
    call.withdrawAt.reset();
    call.b3Clearing.reset();

    CallRecord& r = call.record;
    r.outcome = call.answered ? "answered" : ending.outcome;
    r.reason = ending.logReason;
    if (r.clearedBy.empty()) r.clearedBy = ending.clearedBy;
    r.duration = call.answered ? std::chrono::duration<double>(now - *call.answered).count() : 0;
    r.bytesToCalled = call.bytes[0];
    r.bytesToCaller = call.bytes[1];
    out_.CallEnded(r);
}

void Exchange::ResetPipes(Call& call) {
    for (int i = 0; i < 2; ++i) {
        if (call.pipe[i]) call.bytes[i] += call.pipe[i]->BytesDelivered();
        call.pipe[i].reset();
    }
}

void Exchange::OnConnectB3(AppId app, const Message& m) {
    Found f = FindPlci(app, m.Address());
    if (!f.end || f.end->owner != app) return Answer(app, m, {m.Address(), kInfoIllegalId});
    CallEnd& peer = f.call->end[1 - f.index];
    bool ready = f.call->phase == Call::Phase::kConnected && !f.call->b3Clearing &&
                 f.end->b3 == B3State::kNone && (peer.b3 == B3State::kNone || !peer.owner);
    if (!ready) return Answer(app, m, {m.Address(), kInfoNotInState});
    ConnectB3(*f.call, f.index, m, m.Struct(field::kNcpi));
}

void Exchange::ConnectB3(Call& call, int i, const Message& req, const Bytes& ncpi) {
    CallEnd& me = call.end[i];
    CallEnd& peer = call.end[1 - i];
    me.ncci = 1;
    me.b3 = B3State::kOutgoing;
    me.unanswered.clear();
    Answer(me.owner, req, {me.Ncci(), 0u});
    ResetPipes(call);
    for (auto& pipe : call.pipe) {
        pipe = std::make_unique<BChannelPipe>(settings_.bitsPerSecond, settings_.delay);
    }
    if (!peer.owner) {
        // A telephone or an SMS centre has no B3 protocol to negotiate.
        if (call.centre) {
            call.centre->session =
                MakeSmsCentreSession(call.centre->number->centre, call.centre->call,
                                     centreCounts_[call.centre->number->number].blocks);
        }
        peer.b3 = B3State::kActive;
        me.b3 = B3State::kActive;
        Send(me.owner, Make(kConnectB3Active, kInd, 0, {me.Ncci(), Bytes{}}));
        return;
    }
    peer.ncci = 1;
    peer.b3 = B3State::kIncoming;
    peer.unanswered.clear();
    Send(peer.owner, Make(kConnectB3, kInd, 0, {peer.Ncci(), ncpi}));
}

void Exchange::OnConnectB3Resp(AppId app, const Message& m) {
    Found f = FindNcci(app, m.Address());
    if (!f.end || f.end->owner != app || f.end->b3 != B3State::kIncoming) return;
    CallEnd& me = *f.end;
    CallEnd& peer = f.call->end[1 - f.index];
    if (m.Value(field::kB3Reject) == 0) {
        me.b3 = B3State::kActive;
        Send(app, Make(kConnectB3Active, kInd, 0, {me.Ncci(), Bytes{}}));
        if (peer.b3 == B3State::kOutgoing) {
            peer.b3 = B3State::kActive;
            Send(peer.owner, Make(kConnectB3Active, kInd, 0, {peer.Ncci(), Bytes{}}));
        }
        return;
    }
    me.b3 = B3State::kCleared;
    Send(app, Make(kDisconnectB3, kInd, 0, {me.Ncci(), 0u, Bytes{}}));
    if (peer.b3 == B3State::kOutgoing) {
        peer.b3 = B3State::kCleared;
        Send(peer.owner, Make(kDisconnectB3, kInd, 0, {peer.Ncci(), 0u, Bytes{}}));
    }
    ResetPipes(*f.call);
}

void Exchange::OnDisconnectB3(AppId app, const Message& m, TimePoint now) {
    Found f = FindNcci(app, m.Address());
    if (!f.end || f.end->owner != app) return Answer(app, m, {m.Address(), kInfoIllegalId});
    CallEnd& me = *f.end;
    Call& call = *f.call;
    if (me.b3 == B3State::kCleared || call.b3Clearing) {
        return Answer(app, m, {m.Address(), kInfoNotInState});
    }
    int i = f.index;
    int j = 1 - i;
    CallEnd& peer = call.end[j];
    bool drain = me.b3 == B3State::kActive && peer.b3 == B3State::kActive && call.pipe[i];
    Answer(app, m, {m.Address(), 0u});
    Send(app, Make(kDisconnectB3, kInd, 0, {me.Ncci(), 0u, Bytes{}}));
    me.b3 = B3State::kCleared;
    if (drain) {
        call.pipe[i]->DropUnsent();
        call.pipe[j]->DropUnsent();
        call.b3Clearing = B3Clearing{j, false, now + settings_.delay + kDrainGrace};
        return;
    }
    if (peer.owner && (peer.b3 == B3State::kIncoming || peer.b3 == B3State::kActive)) {
        Send(peer.owner, Make(kDisconnectB3, kInd, 0, {peer.Ncci(), 0u, Bytes{}}));
        peer.b3 = B3State::kCleared;
    }
    if (!peer.owner) peer.b3 = B3State::kNone;
    ResetPipes(call);
}

void Exchange::FinishB3Clearing(Call& call, TimePoint now) {
    B3Clearing clearing = *call.b3Clearing;
    call.b3Clearing.reset();
    int j = clearing.towards;
    if (clearing.thenDisconnect) {
        Ending e;
        e.reason[j] = reason::kNormal;
        e.clearedBy = Who(1 - j);
        e.logReason = reason::kNormal;
        return EndCall(call, e, now);
    }
    CallEnd& peer = call.end[j];
    if (peer.owner && peer.b3 == B3State::kActive) {
        Send(peer.owner, Make(kDisconnectB3, kInd, 0, {peer.Ncci(), 0u, Bytes{}}));
        peer.b3 = B3State::kCleared;
    }
    if (!peer.owner) peer.b3 = B3State::kNone;
    ResetPipes(call);
}

void Exchange::OnDisconnectB3Resp(AppId app, const Message& m) {
    Found f = FindNcci(app, m.Address());
    if (!f.end || f.end->owner != app || f.end->b3 != B3State::kCleared) return;
    f.end->b3 = B3State::kNone;
    f.end->unanswered.clear();
}

void Exchange::OnDataB3(AppId app, const Message& m, TimePoint now) {
    uint16_t handle = uint16_t(m.Value(field::kDataHandle));
    auto confirm = [&](uint16_t info) { Answer(app, m, {m.Address(), handle, info}); };
    Found f = FindNcci(app, m.Address());
    if (!f.end || f.end->owner != app) return confirm(kInfoIllegalId);
    BChannelPipe* pipe = f.call->pipe[f.index].get();
    if (f.end->b3 != B3State::kActive || f.call->b3Clearing || !pipe) {
        return confirm(kInfoNotInState);
    }
    if (m.data.empty() || m.data.size() > apps_[app].params.maxBDataLength) {
        return confirm(kInfoDataLength);
    }
    if (pipe->Waiting() >= kMaxQueuedBlocks) return confirm(kInfoNoResources);
    Block block;
    block.data = m.data;
    block.handle = handle;
    block.number = m.number;
    block.flags = uint16_t(m.Value(field::kFlags));
    pipe->Submit(std::move(block), now);
}

void Exchange::OnDataB3Resp(AppId app, const Message& m) {
    Found f = FindNcci(app, m.Address());
    if (!f.end || f.end->owner != app) return;
    f.end->unanswered.erase(uint16_t(m.Value(field::kRespHandle)));
}

void Exchange::OnPlciRequest(AppId app, const Message& m) {
    uint32_t address = m.Address();
    if (PlciOf(address) == 0) {
        bool ok = m.command == kInfo && ControllerOf(address) == kController;
        return Answer(app, m, {address, ok ? 0u : kInfoIllegalId});
    }
    Found f = FindPlci(app, address);
    if (!f.end || f.end->apps[app] == AppRole::kCleared) {
        return Answer(app, m, {address, kInfoIllegalId});
    }
    if (m.command == kSelectBProtocol) {
        uint16_t info = f.end->b3 == B3State::kNone ? CheckBProtocol(m.Struct(1)) : kInfoNotInState;
        return Answer(app, m, {address, info});
    }
    Answer(app, m, {address, 0u});
}

void Exchange::OnNcciRequest(AppId app, const Message& m) {
    Found f = FindNcci(app, m.Address());
    bool known = f.end && f.end->owner == app && f.end->b3 == B3State::kActive;
    // Transparent B3 has no reset procedure.
    Answer(app, m, {m.Address(), known ? kInfoResetUnsupported : kInfoIllegalId});
}

void Exchange::OnFacility(AppId app, const Message& m) {
    Answer(app, m, {m.Address(), kInfoFacilityUnsupported, m.Value(field::kSelector), Bytes{}});
}

// The exchange has no manufacturer functions, so it refuses every request.
// The confirmation repeats the request's ManuID, and the struct after it
// holds the Info word, since the layout has no Info field of its own.
void Exchange::OnManufacturer(AppId app, const Message& m) {
    uint32_t controller = m.Address();
    uint16_t info =
        ControllerOf(controller) == kController ? kInfoFacilityUnsupported : kInfoIllegalId;
    Bytes specific{uint8_t(info), uint8_t(info >> 8)};
    Answer(app, m, {controller, m.Value(field::kManuId), specific});
}

Exchange::Found Exchange::FindPlci(AppId app, uint32_t address) {
    Found f;
    if (ControllerOf(address) != kController || PlciOf(address) == 0) return f;
    size_t line = apps_[app].line;
    for (auto& [id, call] : calls_) {
        for (int i = 0; i < 2; ++i) {
            CallEnd& e = call->end[i];
            if (!e.onLine || e.line != line || e.plci != PlciOf(address)) continue;
            if (!e.apps.count(app)) continue;
            f.call = call.get();
            f.index = i;
            f.end = &e;
            return f;
        }
    }
    return f;
}

Exchange::Found Exchange::FindNcci(AppId app, uint32_t address) {
    Found f = FindPlci(app, address);
    if (!f.end || f.end->b3 == B3State::kNone || NcciOf(address) != f.end->ncci) return Found{};
    return f;
}

std::optional<uint8_t> Exchange::FreePlci(size_t line) const {
    std::set<uint8_t> used;
    for (auto& [id, call] : calls_) {
        for (const CallEnd& e : call->end) {
            bool held = e.HoldsPlci() || (e.onLine && call->phase != Call::Phase::kEnded);
            if (held && e.line == line) used.insert(e.plci);
        }
    }
    for (unsigned n = 1; n <= 0xFF; ++n) {
        if (!used.count(uint8_t(n))) return uint8_t(n);
    }
    return std::nullopt;
}

size_t Exchange::ChannelsInUse(size_t line) const {
    size_t n = 0;
    for (auto& [id, call] : calls_) {
        if (call->phase == Call::Phase::kEnded) continue;
        for (const CallEnd& e : call->end) {
            if (e.onLine && e.line == line) ++n;
        }
    }
    return n;
}

void Exchange::Release(AppId app, TimePoint now) {
    for (auto& [id, call] : calls_) {
        for (int i = 0; i < 2; ++i) {
            CallEnd& e = call->end[i];
            auto it = e.apps.find(app);
            if (it == e.apps.end()) continue;
            AppRole role = it->second;
            e.apps.erase(it);
            if (call->phase == Call::Phase::kEnded || role == AppRole::kCleared) continue;
            if (role == AppRole::kOwner) {
                apps_.erase(app);
                e.owner = 0;
                ClearBy(*call, i, now);
                continue;
            }
            // An offered application that vanished has ignored the call.
        }
    }
    apps_.erase(app);
    Sweep();
}

bool Exchange::CutLine(const std::string& name, TimePoint now) {
    auto line = plan_.LineNamed(name);
    if (!line) return false;
    for (auto& [id, call] : calls_) {
        if (call->phase == Call::Phase::kEnded) continue;
        Ending e;
        bool onIt = false;
        for (int i = 0; i < 2; ++i) {
            bool here = call->end[i].onLine && call->end[i].line == *line;
            onIt = onIt || here;
            e.reason[i] = here ? reason::kLayer1 : reason::kOutOfOrder;
            e.b3Reason[i] = here ? reason::kLayer1 : 0;
        }
        if (!onIt) continue;
        e.outcome = "cut";
        e.clearedBy = "cut";
        e.logReason = reason::kLayer1;
        call->record.clearedBy.clear();
        EndCall(*call, e, now);
    }
    return true;
}

void Exchange::Shutdown(TimePoint now) {
    for (auto& [id, call] : calls_) {
        Ending e;
        e.reason = {reason::kLayer1, reason::kLayer1};
        e.b3Reason = {reason::kLayer1, reason::kLayer1};
        e.outcome = "shutdown";
        e.clearedBy = "shutdown";
        e.logReason = reason::kLayer1;
        EndCall(*call, e, now);
    }
}

void Exchange::AdvanceCall(Call& call, TimePoint now) {
    if (call.phase == Call::Phase::kEnded) return;
    if (call.withdrawAt && now >= *call.withdrawAt) {
        Ending e;
        e.reason = {0, reason::kNormal};
        e.outcome = "withdrawn";
        e.clearedBy = "caller";
        e.logReason = reason::kNormal;
        return EndCall(call, e, now);
    }
    if (call.ringDeadline && now >= *call.ringDeadline) {
        Ending e;
        e.reason = {reason::kNoAnswer, reason::kTimerExpiry};
        e.outcome = "no-answer";
        e.clearedBy = "network";
        e.logReason = reason::kNoAnswer;
        return EndCall(call, e, now);
    }
    for (int i = 0; i < 2; ++i) {
        if (!call.pipe[i]) continue;
        PipeSink sink(*this, call, i, now);
        call.pipe[i]->Pump(now, sink);
    }
    // A centre clears only here, never while a pipe is being pumped; the
    // drain its clearing starts may be over at once.
    if (call.centre && !call.b3Clearing) AdvanceCentre(call, now);
    if (call.phase == Call::Phase::kEnded || !call.b3Clearing) return;
    const auto& toward = call.pipe[1 - call.b3Clearing->towards];
    if (!toward || toward->Drained() || now >= call.b3Clearing->deadline) {
        FinishB3Clearing(call, now);
    }
}

void Exchange::Advance(TimePoint now) {
    for (auto& [id, call] : calls_) AdvanceCall(*call, now);
    Sweep();
}

void Exchange::Sweep() {
    std::erase_if(calls_, [](const auto& entry) { return entry.second->Finished(); });
}

std::optional<TimePoint> Exchange::NextDeadline() const {
    std::optional<TimePoint> next;
    auto consider = [&](std::optional<TimePoint> t) {
        if (t && (!next || *t < *next)) next = t;
    };
    for (auto& [id, call] : calls_) {
        if (call->phase == Call::Phase::kEnded) continue;
        consider(call->ringDeadline);
        consider(call->withdrawAt);
        if (call->b3Clearing) consider(call->b3Clearing->deadline);
        if (call->centre && !call->b3Clearing) {
            consider(call->centre->clearAt);
            consider(call->centre->idleDeadline);
        }
        for (const auto& pipe : call->pipe) {
            if (pipe) consider(pipe->NextEvent());
        }
    }
    return next;
}

}  // namespace capisim

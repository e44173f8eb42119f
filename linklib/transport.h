// The transport between a CRComObj and its carrier: the interface that keeps
// the connection state the indications write, and the table of carrier
// entry points it calls.
#pragma once

#include <atomic>

#include "corvane.h"

class CRComInterface;

// Five carrier entry points; a new table holds lpfnDummy in every slot.
class CRComLink {
public:
    explicit CRComLink(CRComInterface* owner);
    ~CRComLink();
    CRComLink(const CRComLink&) = delete;
    CRComLink& operator=(const CRComLink&) = delete;

    BOOL ConnectReq(const char* address, const char* parameter, DWORD waitSteps);
    BOOL DisconnectReq(DWORD waitSteps);
    BOOL StartServer(const char* parameter);
    BOOL GetData(BYTE* buffer, DWORD* length);
    BOOL SendData(const BYTE* data, DWORD length);
    void SetEntries(const CROCallBacks& callBacks);

private:
    LPFNCONNECTREQ lpfnConnectReq;
    LPFNDISCONNECTREQ lpfnDisconnectReq;
    LPFNSTARTSERVER lpfnStartServer;
    LPFNGETDATA lpfnGetData;
    LPFNSENDDATA lpfnSendData;
    CRComInterface* owner_;
};

class CRComInterface {
public:
    CRComInterface();
    // Clears the line at once, then drops the table.
    ~CRComInterface();
    CRComInterface(const CRComInterface&) = delete;
    CRComInterface& operator=(const CRComInterface&) = delete;

    WORD Connect(const char* address, const char* parameter, DWORD waitSteps);
    WORD Disconnect(DWORD waitSteps);
    WORD StartServer(const char* parameter);
    BOOL WaitForConnection(DWORD waitSteps);
    BOOL WaitForDisconnection(DWORD waitSteps);
    WORD Send(const BYTE* data, DWORD length);
    WORD Get(BYTE* buffer, DWORD& length, DWORD waitSteps);

    BOOL IsConnected() const { return connected_; }
    int ReceivedCount() const { return receivedCount_; }
    BOOL DataSent() const { return dataSent_; }
    WORD DisconnectReason() const { return disconnectReason_; }
    char* ConnectionPar() { return connectionPar_; }
    CRComLink* Link() { return link_; }

    // What the indications do to this interface.
    void OnConnect(const char* parameter);
    void OnDisconnect(WORD reason);
    void OnDataRecv();
    void OnDataSent();

private:
    void Lock();
    void Unlock() { lock_.store(0, std::memory_order_release); }

    std::atomic<int> lock_{0};
    CRComLink* link_ = nullptr;
    std::atomic<WORD> disconnectReason_{0};
    std::atomic<BOOL> connected_{FALSE};
    std::atomic<unsigned> callsEnded_{0};
    std::atomic<int> receivedCount_{0};
    std::atomic<BOOL> dataSent_{FALSE};
    char connectionPar_[128] = {};
};

// The library's own ISDN entry points, driving the connection object.
CROCallBacks IsdnCallBacks();

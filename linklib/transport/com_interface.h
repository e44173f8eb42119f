// The interface that each CRComObj owns: the connection state that the
// carrier's indications write, and connect, disconnect, start server, send
// and get with their waiting rules. A wait of n steps lasts n x 100 ms at
// most and ends as soon as the indications bring what it waits for.
#pragma once

#include <cstdint>
#include <mutex>
#include <string>

#include "corvane.h"
#include "waitstep.h"

class CRComLink;

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

    BOOL IsConnected() const;
    int ReceivedCount() const;
    BOOL DataSent() const;
    WORD DisconnectReason() const;
    // Valid until the next connect indication.
    char* ConnectionPar();
    CRComLink* Link() { return link_; }

    // What the indications do to this interface; each wakes its waits.
    void OnConnect(const char* parameter);
    void OnDisconnect(WORD reason);
    void OnDataRecv();
    void OnDataSent();

private:
    // Guards the state below, which the indications write from the
    // carrier's thread while the owner's thread reads it.
    mutable std::mutex mutex_;
    BOOL connected_ = FALSE;
    WORD disconnectReason_ = 0;
    unsigned callsEnded_ = 0;
    int receivedCount_ = 0;
    BOOL dataSent_ = FALSE;
    char connectionPar_[128] = {};
    WaitNews news_;
    CRComLink* link_ = nullptr;
};

// The carrier table of one CRComObj: five entry points through which its
// interface reaches whatever carries the bytes. A new table holds lpfnDummy
// in every slot and becomes the current one.
#pragma once

#include "corvane.h"

class CRComInterface;

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
    // A null entry becomes lpfnDummy.
    void SetEntries(const CROCallBacks& callBacks);

private:
    LPFNCONNECTREQ lpfnConnectReq;
    LPFNDISCONNECTREQ lpfnDisconnectReq;
    LPFNSTARTSERVER lpfnStartServer;
    LPFNGETDATA lpfnGetData;
    LPFNSENDDATA lpfnSendData;
};

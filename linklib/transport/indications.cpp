// What the carrier reports (exported): connected, disconnected, data
// received, data sent; and the filling of the current carrier table.
#include <cstdint>

#include "com_interface.h"
#include "com_link.h"
#include "corvane.h"
#include "current_link.h"
#include "link_log.h"

extern "C" {

BOOL CROSetCallBackFn(const CROCallBacks* callBacks) {
    LinkLog().Write("++CROSetCallBackFn\n");
    if (!callBacks) return FALSE;
    if (!WithCurrentLink([&](CRComLink& link) { link.SetEntries(*callBacks); })) return FALSE;
    auto address = [](auto entry) {
        return static_cast<unsigned long>(reinterpret_cast<std::uintptr_t>(entry));
    };
    LinkLog().Printf(" lpfnConnectReq=%08lX\n", address(callBacks->lpfnConnectReq));
    LinkLog().Printf(" lpfnDisconnectReq=%08lX\n", address(callBacks->lpfnDisconnectReq));
    LinkLog().Printf(" lpfnStartServer=%08lX\n", address(callBacks->lpfnStartServer));
    LinkLog().Printf(" lpfnGetData=%08lX\n", address(callBacks->lpfnGetData));
    LinkLog().Printf(" lpfnSendData=%08lX\n", address(callBacks->lpfnSendData));
    return TRUE;
}

BOOL RCOConnectInd(const char* lpszPar) {
    LinkLog().Write("++RCOConnectInd\n");
    LinkLog().Printf("++RCOConnectInd: lpszPar=[%s]\n", lpszPar ? lpszPar : "");
    BOOL result = WithCurrentInterface([&](CRComInterface& i) { i.OnConnect(lpszPar); });
    LinkLog().Write("--RCOConnectInd\n");
    return result;
}

BOOL RCODisconnectInd(WORD wInfo) {
    LinkLog().Write("++RCODisconnectInd\n");
    LinkLog().Printf("++RCODisconnectInd: wInfo=0x%x\n", wInfo);
    return WithCurrentInterface([&](CRComInterface& i) { i.OnDisconnect(wInfo); });
}

BOOL RCODataRecvInd(void) {
    LinkLog().Write("++RCODataRecvInd\n");
    return WithCurrentInterface([](CRComInterface& i) { i.OnDataRecv(); });
}

BOOL RCODataSentInd(void) {
    LinkLog().Write("++RCODataSentInd\n");
    return WithCurrentInterface([](CRComInterface& i) { i.OnDataSent(); });
}
}

#include "capi_access.h"

#include <cstdio>

#include "link_log.h"
#include "msgbox.h"

CAPIAccess::CAPIAccess(unsigned maxLogicalConnections, unsigned maxB3Blocks, unsigned maxB3Length,
                       std::unique_ptr<CapiDriver> driver)
    : maxLogicalConnections_(maxLogicalConnections),
      maxB3Blocks_(maxB3Blocks),
      maxB3Length_(maxB3Length),
      driver_(std::move(driver)) {
    if (!driver_ || !driver_->Usable()) return;
    unsigned installed = driver_->Installed();
    if (installed != 0) {
        LinkLog().Printf("**CAPIAccess: CAPI not installed (0x%X)\n", installed);
        ShowMessageBox("Die ISDN-CAPI-Schnittstelle ist nicht installiert", "Fataler Fehler",
                       MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    Register();
}

void CAPIAccess::Register() {
    // The driver sizes its own message buffer; the size is logged for comparison.
    unsigned bufferSize = (maxLogicalConnections_ + 1) * 1024;
    LinkLog().Printf(
        "  CAPI_REGISTER: MessageBufferSize=%u MaxLogicalConnection=%u "
        "MaxBDataBlocks=%u MaxBDataLen=%u\n",
        bufferSize, maxLogicalConnections_, maxB3Blocks_, maxB3Length_);
    unsigned applId = 0;
    unsigned result =
        driver_->Register(maxLogicalConnections_, maxB3Blocks_, maxB3Length_, &applId);
    if (result != 0) {
        char text[64];
        std::snprintf(text, sizeof text, "CAPI-Registrierung ist gescheitert (%d)\n",
                      static_cast<int>(result));
        ShowMessageBox(text, "Strand: Fataler Fehler", MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    applId_ = static_cast<std::uint16_t>(applId);
    LinkLog().Printf("  CAPI_REGISTER: ApplID=%u\n", applId);
    usable_ = true;
}

CAPIAccess::~CAPIAccess() {
    if (usable_) driver_->Release(applId_);
}

unsigned CAPIAccess::Put(std::uint8_t* message) {
    if (!Usable()) return kNotUsable;
    return driver_->PutMessage(applId_, message);
}

unsigned CAPIAccess::Get(std::uint8_t** message) {
    if (!Usable()) return kNotUsable;
    return driver_->GetMessage(applId_, message);
}

std::uint8_t* CAPIAccess::ClearMessageBuffer() {
    messageBuffer_.fill(0);
    return messageBuffer_.data();
}

int CAPIAccess::Fileno() const {
    return Usable() ? driver_->Fileno(applId_) : -1;
}

void CAPIAccess::MarkLost(unsigned error) {
    if (lost_ || !usable_) return;
    lost_ = true;
    LinkLog().Printf("**CAPIAccess: connection to the CAPI driver lost (0x%04X)\n", error);
}

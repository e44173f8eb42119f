// The one registered CAPI application of the library: its registration with
// the driver, the message buffer every outgoing message is built in, and
// the numbers of its requests.
#pragma once

#include <array>
#include <cstdint>
#include <memory>

#include "capi_driver.h"

class CAPIAccess {
public:
    static constexpr std::size_t kMessageBufferSize = 180;
    static constexpr unsigned kNotUsable = 4711;

    // Checks the installation and registers; each failure shows its box and
    // leaves the object not usable.
    CAPIAccess(unsigned maxLogicalConnections, unsigned maxB3Blocks, unsigned maxB3Length,
               std::unique_ptr<CapiDriver> driver);
    ~CAPIAccess();
    CAPIAccess(const CAPIAccess&) = delete;
    CAPIAccess& operator=(const CAPIAccess&) = delete;

    bool Usable() const { return usable_ && !lost_; }
    std::uint16_t ApplId() const { return applId_; }
    unsigned Put(std::uint8_t* message);
    unsigned Get(std::uint8_t** message);
    std::uint16_t NextMessageNumber() { return messageCounter_++ & 0x7FFF; }
    std::uint8_t* ClearMessageBuffer();
    unsigned MaxB3DataLength() const { return usable_ ? maxB3Length_ : 0; }
    unsigned MaxB3DataBlocks() const { return usable_ ? maxB3Blocks_ : 0; }

    // The descriptor to wait on for the application's messages; -1 when the
    // driver offers none or the connection to it is gone.
    int Fileno() const;
    // The driver connection is gone (its server ended, the card vanished):
    // nothing is put or got any more, and no descriptor is waited on.
    void MarkLost(unsigned error);
    bool Lost() const { return lost_; }

private:
    void Register();

    bool usable_ = false;
    bool lost_ = false;
    unsigned maxLogicalConnections_;
    unsigned maxB3Blocks_;
    unsigned maxB3Length_;
    std::uint16_t applId_ = 0;
    std::uint16_t messageCounter_ = 0;
    std::array<std::uint8_t, kMessageBufferSize> messageBuffer_{};
    std::unique_ptr<CapiDriver> driver_;
};

// Binding of the CAPI 2.0 driver and the one registered CAPI application.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>

// The driver calls the link needs, so that a test can stand in for the driver.
class CapiDriver {
public:
    virtual ~CapiDriver() = default;
    // True when the driver was loaded and offers every entry point.
    virtual bool Usable() const = 0;
    // The driver's answer to "is CAPI installed": 0 when it is.
    virtual unsigned Installed() = 0;
    virtual unsigned Register(unsigned maxLogicalConnections, unsigned maxB3Blocks,
                              unsigned maxB3Length, unsigned* applId) = 0;
    virtual unsigned Release(unsigned applId) = 0;
    virtual unsigned PutMessage(unsigned applId, std::uint8_t* message) = 0;
    // 0 and a message valid until the next get, or non-zero when none waits.
    virtual unsigned GetMessage(unsigned applId, std::uint8_t** message) = 0;
};

// The library name to load: $TELVORA_CAPI_LIBRARY, else libcapi20.so.3.
std::string CapiLibraryName();

// Loads the driver library by name; shows the "not loaded" box on failure.
std::unique_ptr<CapiDriver> LoadCapiDriver(const std::string& libraryName);

// The text of the "not loaded" box for a load result code.
std::string NotLoadedText(const std::string& libraryName, int code);

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

    bool Usable() const { return usable_; }
    std::uint16_t ApplId() const { return applId_; }
    unsigned Put(std::uint8_t* message);
    unsigned Get(std::uint8_t** message);
    std::uint16_t NextMessageNumber() { return messageCounter_++ & 0x7FFF; }
    std::uint8_t* ClearMessageBuffer();
    unsigned MaxB3DataLength() const { return usable_ ? maxB3Length_ : 0; }
    unsigned MaxB3DataBlocks() const { return usable_ ? maxB3Blocks_ : 0; }

private:
    void Register();

    bool usable_ = false;
    unsigned maxLogicalConnections_;
    unsigned maxB3Blocks_;
    unsigned maxB3Length_;
    std::uint16_t applId_ = 0;
    std::uint16_t messageCounter_ = 0;
    std::array<std::uint8_t, kMessageBufferSize> messageBuffer_{};
    std::unique_ptr<CapiDriver> driver_;
};

// The binding of the CAPI 2.0 driver library (libcapi20), loaded by name at
// run time, behind an interface that a test can stand in for.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

class CapiDriver {
public:
    virtual ~CapiDriver() = default;
    // True when the driver was loaded and offers every required entry point.
    virtual bool Usable() const = 0;
    // The driver's answer to "is CAPI installed": 0 when it is.
    virtual unsigned Installed() = 0;
    virtual unsigned Register(unsigned maxLogicalConnections, unsigned maxB3Blocks,
                              unsigned maxB3Length, unsigned* applId) = 0;
    virtual unsigned Release(unsigned applId) = 0;
    virtual unsigned PutMessage(unsigned applId, std::uint8_t* message) = 0;
    // 0 and a message valid until the next get, or non-zero when none waits;
    // never blocks.
    virtual unsigned GetMessage(unsigned applId, std::uint8_t** message) = 0;
    // A descriptor that becomes readable when a message waits for the
    // application (and reports a hang-up when the driver goes away); -1 when
    // the driver offers none, and the caller must look every so often.
    virtual int Fileno(unsigned) { return -1; }
};

// The library name to load: $TELVORA_CAPI_LIBRARY, else libcapi20.so.3.
std::string CapiLibraryName();

// Loads the driver library by name; shows the "not loaded" box on failure.
std::unique_ptr<CapiDriver> LoadCapiDriver(const std::string& libraryName);

// The text of the "not loaded" box for a load result code.
std::string NotLoadedText(const std::string& libraryName, int code);

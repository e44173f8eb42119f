#include "capi_driver.h"

#include <dlfcn.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/time.h>

#include <cstdlib>

#include "link_log.h"
#include "msgbox.h"

namespace {

const char* LoadErrorText(int code) {
    switch (code) {
        case 0:
        case 11:
            return "Kein Speicher mehr oder ungültige Datei";
        case 2:
        case 3:
            return "Datei nicht gefunden";
        case 8:
            return "Nicht genug Speicher vorhanden";
        case 10:
            return "Ungültige Windows-Version";
        case 12:
            return "Nicht für dieses Betriebssystem";
        case 20:
            return "Ungültige DLL-Datei";
        case 21:
            return "32-bit Windows-Erweiterung ist erforderlich";
        default:
            return "<No detailed error description>";
    }
}

// A remote CAPI driver talks to its server over TCP. The link answers an
// indication and puts its next request right after, and with Nagle's
// algorithm the request would wait for the server's delayed acknowledgement
// of the answer, some 40 ms for every block. A local driver's descriptor is
// no socket; nothing changes then.
void SendWithoutDelay(int fd) {
    if (fd < 0) return;
    int yes = 1;
    if (setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &yes, sizeof yes) == 0) {
        LinkLog().Write("  CAPI driver connection: TCP_NODELAY\n");
    }
}

// The driver library bound by name at run time.
class CAPIFunctions : public CapiDriver {
public:
    explicit CAPIFunctions(const std::string& libraryName);
    ~CAPIFunctions() override;

    bool Usable() const override { return usable_; }
    unsigned Installed() override { return isInstalled_(); }
    unsigned Register(unsigned maxLogicalConnections, unsigned maxB3Blocks, unsigned maxB3Length,
                      unsigned* applId) override;
    unsigned Release(unsigned applId) override {
        if (!usable_ || !release_ || applId == 0) return 0;
        return release_(applId);
    }
    unsigned PutMessage(unsigned applId, std::uint8_t* message) override {
        return putMessage_(applId, message);
    }
    unsigned GetMessage(unsigned applId, std::uint8_t** message) override;
    int Fileno(unsigned applId) override { return fileno_ ? fileno_(applId) : -1; }

private:
    template <typename F>
    bool Bind(F& entry, const char* name) {
        entry = reinterpret_cast<F>(dlsym(module_, name));
        return entry != nullptr;
    }
    bool BindAll();

    bool usable_ = false;
    void* module_ = nullptr;
    unsigned (*register_)(unsigned, unsigned, unsigned, unsigned*) = nullptr;
    unsigned (*release_)(unsigned) = nullptr;
    unsigned (*putMessage_)(unsigned, unsigned char*) = nullptr;
    unsigned (*getMessage_)(unsigned, unsigned char**) = nullptr;
    unsigned (*waitForMessage_)(unsigned, struct timeval*) = nullptr;
    unsigned char* (*getManufacturer_)(unsigned, unsigned char*) = nullptr;
    unsigned char* (*getVersion_)(unsigned, unsigned char*) = nullptr;
    unsigned char* (*getSerialNumber_)(unsigned, unsigned char*) = nullptr;
    unsigned (*isInstalled_)() = nullptr;
    unsigned (*getProfile_)(unsigned, unsigned char*) = nullptr;
    // Not among the required entry points: without it the dispatch thread
    // looks for messages every 100 ms instead of waking when one comes.
    int (*fileno_)(unsigned) = nullptr;
};

CAPIFunctions::CAPIFunctions(const std::string& libraryName) {
    module_ = dlopen(libraryName.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!module_) {
        LinkLog().Printf("**CAPIFunctions: %s\n", dlerror());
        ShowMessageBox(NotLoadedText(libraryName, 0), "Strand: Fatal Error",
                       MB_OK | MB_ICONEXCLAMATION);
        return;
    }
    usable_ = BindAll();
    if (!usable_) LinkLog().Write("**CAPIFunctions: entry point missing\n");
    Bind(fileno_, "capi20_fileno");
}

bool CAPIFunctions::BindAll() {
    bool all = Bind(register_, "capi20_register");
    all = Bind(release_, "capi20_release") && all;
    all = Bind(putMessage_, "capi20_put_message") && all;
    all = Bind(getMessage_, "capi20_get_message") && all;
    all = Bind(waitForMessage_, "capi20_waitformessage") && all;
    all = Bind(getManufacturer_, "capi20_get_manufacturer") && all;
    all = Bind(getVersion_, "capi20_get_version") && all;
    all = Bind(getSerialNumber_, "capi20_get_serial_number") && all;
    all = Bind(isInstalled_, "capi20_isinstalled") && all;
    return Bind(getProfile_, "capi20_get_profile") && all;
}

unsigned CAPIFunctions::Register(unsigned maxLogicalConnections, unsigned maxB3Blocks,
                                 unsigned maxB3Length, unsigned* applId) {
    unsigned result = register_(maxLogicalConnections, maxB3Blocks, maxB3Length, applId);
    if (result == 0) SendWithoutDelay(Fileno(*applId));
    return result;
}

CAPIFunctions::~CAPIFunctions() {
    if (module_) dlclose(module_);
}

unsigned CAPIFunctions::GetMessage(unsigned applId, std::uint8_t** message) {
    // A remote driver's get blocks until a message comes; ask first.
    struct timeval none = {0, 0};
    unsigned waiting = waitForMessage_(applId, &none);
    if (waiting != 0) return waiting;
    return getMessage_(applId, message);
}

}  // namespace

std::string CapiLibraryName() {
    const char* name = std::getenv("TELVORA_CAPI_LIBRARY");
    if (name && *name) return name;
    return "libcapi20.so.3";
}

std::string NotLoadedText(const std::string& libraryName, int code) {
    return libraryName + " not loaded. Code " + std::to_string(code) + ": " + LoadErrorText(code);
}

std::unique_ptr<CapiDriver> LoadCapiDriver(const std::string& libraryName) {
    return std::make_unique<CAPIFunctions>(libraryName);
}

// A stand-in for libcapi20 that a station loads through TELVORA_CAPI_LIBRARY
// to meet what the real driver and capisim never do: FAKE_CAPI_MODE
// "refuse" refuses the registration, "block" never returns from the wait for
// a message (after creating the file FAKE_CAPI_MARK, so that a test knows),
// "refuse-listen" answers every LISTEN_REQ with LISTEN_CONF Info 0x2007.
// Built once more without capi20_get_profile.
#include <unistd.h>

#include <sys/time.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <vector>

namespace {

bool Mode(const char* mode) {
    const char* value = std::getenv("FAKE_CAPI_MODE");
    return value && std::strcmp(value, mode) == 0;
}

// Messages for the application, and the one it was last given.
std::mutex g_mutex;
std::deque<std::vector<unsigned char>> g_inbox;
std::vector<unsigned char> g_current;

}  // namespace

extern "C" {

unsigned capi20_isinstalled(void) {
    return 0;
}

unsigned capi20_register(unsigned, unsigned, unsigned, unsigned* applId) {
    if (Mode("refuse")) return 0x1003;
    *applId = 1;
    return 0;
}

unsigned capi20_release(unsigned) {
    return 0;
}
unsigned capi20_put_message(unsigned applId, unsigned char* m) {
    bool listenReq = m[4] == 0x05 && m[5] == 0x80;
    if (!Mode("refuse-listen") || !listenReq) return 0;
    // LISTEN_CONF: the request's number and controller, Info "illegal parameters".
    std::vector<unsigned char> conf = {14,   0,     static_cast<unsigned char>(applId),
                                       0,    0x05,  0x81,
                                       m[6], m[7],  m[8],
                                       m[9], m[10], m[11],
                                       0x07, 0x20};
    std::lock_guard lock(g_mutex);
    g_inbox.push_back(conf);
    return 0;
}
unsigned capi20_get_message(unsigned, unsigned char** m) {
    std::lock_guard lock(g_mutex);
    if (g_inbox.empty()) return 0x1104;
    g_current = g_inbox.front();
    g_inbox.pop_front();
    *m = g_current.data();
    return 0;
}

unsigned capi20_waitformessage(unsigned, struct timeval*) {
    if (!Mode("block")) {
        std::lock_guard lock(g_mutex);
        return g_inbox.empty() ? 0x1104 : 0;
    }
    if (const char* mark = std::getenv("FAKE_CAPI_MARK")) {
        if (FILE* file = std::fopen(mark, "w")) std::fclose(file);
    }
    for (;;) pause();
}

unsigned char* capi20_get_manufacturer(unsigned, unsigned char* buf) {
    return buf;
}
unsigned char* capi20_get_version(unsigned, unsigned char* buf) {
    return buf;
}
unsigned char* capi20_get_serial_number(unsigned, unsigned char* buf) {
    return buf;
}

#ifndef FAKE_CAPI_WITHOUT_PROFILE
unsigned capi20_get_profile(unsigned, unsigned char*) {
    return 0;
}
#endif
}

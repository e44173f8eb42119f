// A stand-in for libcapi20 that a station loads through TELVORA_CAPI_LIBRARY
// to meet what the real driver and capisim never do: FAKE_CAPI_MODE
// "refuse" refuses the registration, "block" never returns from the wait for
// a message (after creating the file FAKE_CAPI_MARK, so that a test knows).
// Built once more without capi20_get_profile.
#include <unistd.h>

#include <sys/time.h>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool Mode(const char* mode) {
    const char* value = std::getenv("FAKE_CAPI_MODE");
    return value && std::strcmp(value, mode) == 0;
}

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
unsigned capi20_put_message(unsigned, unsigned char*) {
    return 0;
}
unsigned capi20_get_message(unsigned, unsigned char**) {
    return 0x1104;
}

unsigned capi20_waitformessage(unsigned, struct timeval*) {
    if (!Mode("block")) return 0x1104;
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

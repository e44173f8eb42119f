#include "capi_access.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "msgbox_recorder.h"
#include "scripted_driver_test.h"

namespace {

TEST(CapiAccess, EachFailedStepShowsItsOwnBox) {
    struct Case {
        const char* name;
        bool loads;
        unsigned installed, registerResult;
        std::string text, caption;
    } cases[] = {
        {"no driver", false, 0, 0,
         "/nonexistent/libcapi20.so.3 not loaded. Code 0: Kein Speicher mehr oder ungültige Datei",
         "Strand: Fatal Error"},
        {"not installed", true, 0x1009, 0, "Die ISDN-CAPI-Schnittstelle ist nicht installiert",
         "Fataler Fehler"},
        {"registration refused", true, 0, 0x1008, "CAPI-Registrierung ist gescheitert (4104)\n",
         "Strand: Fataler Fehler"},
    };
    for (const Case& c : cases) {
        MessageBoxRecorder boxes;
        std::unique_ptr<CapiDriver> driver;
        if (c.loads) {
            auto scripted = std::make_unique<ScriptedDriver>();
            scripted->installed = c.installed;
            scripted->registerResult = c.registerResult;
            driver = std::move(scripted);
        } else {
            driver = LoadCapiDriver("/nonexistent/libcapi20.so.3");
        }
        CAPIAccess access(2, 12, 128, std::move(driver));
        EXPECT_FALSE(access.Usable()) << c.name;
        EXPECT_EQ(access.MaxB3DataLength(), 0u) << c.name;
        auto calls = boxes.Calls();
        ASSERT_EQ(calls.size(), 1u) << c.name;
        EXPECT_EQ(calls[0].text, c.text) << c.name;
        EXPECT_EQ(calls[0].caption, c.caption) << c.name;
        EXPECT_EQ(calls[0].type, unsigned(MB_OK | MB_ICONEXCLAMATION)) << c.name;
    }
}

TEST(CapiAccess, DriverWithoutTheEntryPointsIsUnusableWithoutABox) {
    // The C library loads fine but offers none of the CAPI entry points.
    MessageBoxRecorder boxes;
    CAPIAccess access(2, 12, 128, LoadCapiDriver("libc.so.6"));
    EXPECT_FALSE(access.Usable());
    EXPECT_EQ(boxes.Count(), 0u);
}

TEST(CapiAccess, RegistrationMakesItUsable) {
    MessageBoxRecorder boxes;
    CAPIAccess access(2, 12, 128, std::make_unique<ScriptedDriver>());
    EXPECT_TRUE(access.Usable());
    EXPECT_EQ(access.ApplId(), 7);
    EXPECT_EQ(access.MaxB3DataLength(), 128u);
    EXPECT_EQ(access.MaxB3DataBlocks(), 12u);
    EXPECT_EQ(boxes.Count(), 0u);
}

TEST(CapiAccess, LibraryNameComesFromTheEnvironment) {
    unsetenv("TELVORA_CAPI_LIBRARY");
    EXPECT_EQ(CapiLibraryName(), "libcapi20.so.3");
    setenv("TELVORA_CAPI_LIBRARY", "/tmp/other.so", 1);
    EXPECT_EQ(CapiLibraryName(), "/tmp/other.so");
    unsetenv("TELVORA_CAPI_LIBRARY");
}

TEST(CapiAccess, NotLoadedTextsForTheLoadCodes) {
    struct {
        int code;
        const char* tail;
    } cases[] = {{0, "Kein Speicher mehr oder ungültige Datei"},
                 {11, "Kein Speicher mehr oder ungültige Datei"},
                 {2, "Datei nicht gefunden"},
                 {3, "Datei nicht gefunden"},
                 {8, "Nicht genug Speicher vorhanden"},
                 {10, "Ungültige Windows-Version"},
                 {12, "Nicht für dieses Betriebssystem"},
                 {20, "Ungültige DLL-Datei"},
                 {21, "32-bit Windows-Erweiterung ist erforderlich"},
                 {99, "<No detailed error description>"}};
    for (auto c : cases) {
        EXPECT_EQ(NotLoadedText("x.so", c.code),
                  "x.so not loaded. Code " + std::to_string(c.code) + ": " + c.tail);
    }
}

}  // namespace

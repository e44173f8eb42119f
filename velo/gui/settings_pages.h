// The pages of the settings window.
#pragma once

#include <string>

#include "settings_dialog.h"

SettingsPage* MakeTrayPage(const std::string& config, QWidget* parent);
SettingsPage* MakeSignaturePage(const std::string& config, const std::string& installDir,
                                QWidget* parent);
SettingsPage* MakeIsdnPage(const std::string& config, QWidget* parent);
SettingsPage* MakeNoteSenderPage(const std::string& config, QWidget* parent);
SettingsPage* MakeReplyMessagePage(const std::string& config, const std::string& installDir,
                                   QWidget* parent);
// network: 2 D1, 3 D2, 4 E-Plus.
SettingsPage* MakeSmsPage(const std::string& config, int network, QWidget* parent);
SettingsPage* MakeEmailServerPage(const std::string& config, QWidget* parent);
// section: "RelayNote" or "RelayCall".
SettingsPage* MakeRelayPage(const std::string& config, const std::string& installDir,
                            const char* section, QWidget* parent);

inline constexpr const char* kSignatureTooLong =
    "Signaturtext ist zu lang!\nMax. 256 Zeichen zugelassen";
inline constexpr const char* kFileCannotBeMade = "Datei kann nicht erzeugt werden";

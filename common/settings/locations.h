// Where Telvora's files are: the configuration file in the installation
// directory, the note store and data directory as the per-user registry
// file says, else the installation directory.
#pragma once

#include <optional>
#include <string>

// $XDG_CONFIG_HOME/Quillmark/Telvora.reg (default ~/.config/...): the
// per-user values that Windows keeps in the registry.
std::string RegistryFile();
// A value of the registry file's Telvora key, at most 260 characters;
// nullopt when the file, the section or the value is missing.
std::optional<std::string> ReadRegistryValue(const char* name);

// The installation directory as the registry names it ("InstallDir1"), else InstallDir().
std::string RegisteredInstallDir();
// The note store's directory ("StoreDir"), else InstallDir().
std::string StoreDir();
// StoreDir() + "/Notes.dat".
std::string NotesFile();
// InstallDir() + "/Telvora.cfg".
std::string SettingsFilePath();
// RegisteredInstallDir() + "/Data", created when missing, with file
// appended when given.
std::string DataDir(const std::string& file = "");

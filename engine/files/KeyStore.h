#pragma once
// Our stand-in for the Windows registry: a small INI key store.
//
// File: $XDG_CONFIG_HOME/Ferrolyt/registry.ini, or $HOME/.config/Ferrolyt/
// registry.ini when XDG_CONFIG_HOME is unset, empty or not absolute (as the
// XDG base-directory rules say); tests point it elsewhere with
// SetKeyStoreFile. The file is UTF-8 text:
//
//   [HKLM\SOFTWARE\Quillbrook\Ferrolyt\2.00]
//   Folder=Ferrolyt
//
// A section is a registry key: a root abbreviation (HKCR, HKCU, HKLM, HKU,
// HKCC), a backslash and the key path. Lines are "Name=Value"; blanks around
// names and values are ignored, empty lines and lines starting with ';' or
// '#' are comments, a UTF-8 byte order mark is skipped, LF and CR LF are
// both read. Key paths and value names match case-insensitively (ASCII and
// Cyrillic, UpperCase1251), as the registry does; a key path's leading and
// trailing backslashes and doubled backslashes do not matter. When a name
// occurs more than once, the first occurrence counts.

#include <cstddef>
#include <filesystem>
#include <string>

namespace ferrolyt {

enum class RegistryRoot { ClassesRoot, CurrentUser, LocalMachine, Users, CurrentConfig };

// The Windows names, so that callers read like the registry calls they replace.
inline constexpr RegistryRoot HKEY_CLASSES_ROOT = RegistryRoot::ClassesRoot;
inline constexpr RegistryRoot HKEY_CURRENT_USER = RegistryRoot::CurrentUser;
inline constexpr RegistryRoot HKEY_LOCAL_MACHINE = RegistryRoot::LocalMachine;
inline constexpr RegistryRoot HKEY_USERS = RegistryRoot::Users;
inline constexpr RegistryRoot HKEY_CURRENT_CONFIG = RegistryRoot::CurrentConfig;

// The program's own key: the installation's folder lies under HKLM, the
// user's values under HKCU.
inline constexpr const char* ProgramKey = "SOFTWARE\\Quillbrook\\Ferrolyt\\2.00";

// Windows status codes the key store returns.
inline constexpr int ErrorSuccess = 0;
inline constexpr int ErrorFileNotFound = 2;      // key (or the whole store) missing
inline constexpr int ErrorAccessDenied = 5;      // the store exists but cannot be read or written
inline constexpr int ErrorInvalidParameter = 87; // a name or value the INI form cannot hold

// The store's file: the override when one is set, else the XDG location.
// Empty when neither XDG_CONFIG_HOME nor HOME gives a folder.
std::filesystem::path KeyStoreFile();

// Points the store at another file (tests); an empty path restores the
// XDG location.
void SetKeyStoreFile(const std::filesystem::path& file);

// The section name of a key: "HKLM\SOFTWARE\Quillbrook\Ferrolyt\2.00".
std::string RegistrySectionName(RegistryRoot root, const std::string& key);

// "ReadRegistryString": opens Key under Root and reads ValueName.
// Returns the status of opening the key: ErrorSuccess when the key (section)
// exists, ErrorFileNotFound when it or the store file is missing,
// ErrorAccessDenied when the store cannot be read. Dest is empty on failure
// and also when the key exists without ValueName (status ErrorSuccess then,
// as the original reports only the key's opening and closing). The value is
// cut at its first NUL and to `capacity` characters, 255 unless given (never
// inside a UTF-8 sequence). Never throws.
int ReadRegistryString(RegistryRoot root, const std::string& key, const std::string& valueName, std::string& dest,
                       std::size_t capacity = 255);

// Writes ValueName=Value under Key, creating the key, the file and its
// folder as needed; other lines of the file, comments included, stay as they
// were. The file is replaced through a temporary file and a rename. Returns
// ErrorSuccess, ErrorInvalidParameter when the key, name or value holds a
// line break, the name is empty or holds '=' (or the key holds ']'), or
// ErrorAccessDenied when the file cannot be read or written (message in
// *error when error is not null). Never throws.
int WriteRegistryString(RegistryRoot root, const std::string& key, const std::string& valueName,
                        const std::string& value, std::string* error = nullptr);

// Removes ValueName from Key. ErrorSuccess when it was removed,
// ErrorFileNotFound when the key or the value is missing. Never throws.
int DeleteRegistryValue(RegistryRoot root, const std::string& key, const std::string& valueName,
                        std::string* error = nullptr);

} // namespace ferrolyt

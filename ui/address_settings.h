// The address settings: the IP address, subnet mask and gateway last confirmed
// with OK, kept in the profile file "scout.ini" (named without a directory, so
// in the Windows directory), section "Network Address". Where the Windows
// directory cannot be written (a standard account since Vista), the values go
// to the user's own copy, %APPDATA%\Ethernet Scout\scout.ini, which is read in
// preference while it exists.
#pragma once

#include <windows.h>

#include <cstddef>

namespace scout::ui {

constexpr const char* SettingsFileName = "scout.ini";
constexpr const char* SettingsSection = "Network Address";
constexpr const char* UserSettingsFolder = "Ethernet Scout";  // in the user's application data
constexpr std::size_t SettingCapacity = 64;  // a value read from the file: at most 63 characters
constexpr std::size_t AddressSettingCount = 3;

struct AddressSetting {
    const char* key;
    const char* fallback;  // when the file, the section or the key is missing
    int fieldId;
};

// In the order they are loaded and saved.
extern const AddressSetting AddressSettings[AddressSettingCount];

// The user's own settings file; false when the platform names no folder for it.
bool UserSettingsPath(char* path, std::size_t capacity);

// The value of one key, or its fallback; a key present with an empty value
// gives "". Read from the user's own file while it exists, else from the
// Windows directory's.
void LoadAddressSetting(const AddressSetting& setting, char* text, std::size_t capacity);

// Writes every key (values in the order of AddressSettings) to the Windows
// directory's file, creating it and the section as needed, and then removes
// the user's own file, so that the two never disagree; where the Windows
// directory cannot be written, to the user's own file. False when neither
// could be written, with the platform's error code of the Windows directory's
// write in *errorCode.
bool SaveAddressSettings(const char* const values[AddressSettingCount], DWORD* errorCode);

}  // namespace scout::ui

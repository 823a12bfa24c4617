// The address settings: the IP address, subnet mask and gateway last confirmed
// with OK, kept in the profile file "scout.ini" (named without a directory, so
// in the Windows directory), section "Network Address".
#pragma once

#include <windows.h>

#include <cstddef>

namespace scout::ui {

constexpr const char* SettingsFileName = "scout.ini";
constexpr const char* SettingsSection = "Network Address";
constexpr std::size_t SettingCapacity = 64;  // a value read from the file: at most 63 characters

struct AddressSetting {
    const char* key;
    const char* fallback;  // when the file, the section or the key is missing
    int fieldId;
};

// In the order they are loaded and saved.
extern const AddressSetting AddressSettings[3];

// The value of one key, or its fallback; a key present with an empty value gives "".
void LoadAddressSetting(const AddressSetting& setting, char* text, std::size_t capacity);

// Writes one key, creating the file and the section as needed; false on
// failure, with the platform's error code in *errorCode.
bool SaveAddressSetting(const AddressSetting& setting, const char* text, DWORD* errorCode);

}  // namespace scout::ui

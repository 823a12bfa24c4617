// The address settings over the platform's profile functions. The values are
// the operator's text and stay as they are: neither checked nor normalised.
#include "ui/address_settings.h"

#include <shlobj.h>

#include <cstdio>
#include <cstring>

#include "app/resource.h"

namespace scout::ui {
namespace {

bool Exists(const char* path) {
    const DWORD attributes = GetFileAttributesA(path);
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

// Writes every value to one profile file; the first failure's code in *errorCode.
bool WriteAll(const char* file, const char* const values[AddressSettingCount], DWORD* errorCode) {
    bool written = true;
    for (std::size_t i = 0; i < AddressSettingCount; ++i) {
        SetLastError(ERROR_SUCCESS);
        if (!WritePrivateProfileStringA(SettingsSection, AddressSettings[i].key, values[i], file) && written) {
            written = false;
            *errorCode = GetLastError();
        }
    }
    return written;
}

// The platform keeps profile files in a cache; after a file is removed it must
// not be served from there.
void ForgetCachedFile(const char* file) {
    WritePrivateProfileStringA(nullptr, nullptr, nullptr, file);
}

}  // namespace

const AddressSetting AddressSettings[AddressSettingCount] = {{"IP", "192.168.1.100", IDC_IP_FIELD},
                                                             {"Mask", "255.255.255.0", IDC_MASK_FIELD},
                                                             {"Gateway", "192.168.1.1", IDC_GATEWAY_FIELD}};

bool UserSettingsPath(char* path, std::size_t capacity) {
    char folder[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathA(nullptr, CSIDL_APPDATA, nullptr, SHGFP_TYPE_CURRENT, folder)) || folder[0] == '\0')
        return false;
    const int length = std::snprintf(path, capacity, "%s\\%s\\%s", folder, UserSettingsFolder, SettingsFileName);
    return length > 0 && static_cast<std::size_t>(length) < capacity;
}

void LoadAddressSetting(const AddressSetting& setting, char* text, std::size_t capacity) {
    char userFile[MAX_PATH];
    const char* file = UserSettingsPath(userFile, sizeof userFile) && Exists(userFile) ? userFile : SettingsFileName;
    GetPrivateProfileStringA(SettingsSection, setting.key, setting.fallback, text, static_cast<DWORD>(capacity), file);
}

bool SaveAddressSettings(const char* const values[AddressSettingCount], DWORD* errorCode) {
    char userFile[MAX_PATH];
    const bool userKnown = UserSettingsPath(userFile, sizeof userFile);
    if (WriteAll(SettingsFileName, values, errorCode)) {
        // The user's copy would be read first: it goes, or (where it cannot be
        // removed) it gets the same values.
        if (userKnown && Exists(userFile)) {
            ForgetCachedFile(userFile);
            if (!DeleteFileA(userFile)) {
                DWORD ignored = 0;
                WriteAll(userFile, values, &ignored);
            }
        }
        return true;
    }
    if (!userKnown)
        return false;
    char folder[MAX_PATH];
    std::snprintf(folder, sizeof folder, "%s", userFile);
    if (char* last = std::strrchr(folder, '\\'))
        *last = '\0';
    CreateDirectoryA(folder, nullptr);
    DWORD ignored = 0;
    return WriteAll(userFile, values, &ignored);
}

}  // namespace scout::ui

// The address settings over the platform's profile functions. The values are
// the operator's text and stay as they are: neither checked nor normalised.
#include "ui/address_settings.h"

#include "app/resource.h"

namespace scout::ui {

const AddressSetting AddressSettings[3] = {{"IP", "192.168.1.100", IDC_IP_FIELD},
                                           {"Mask", "255.255.255.0", IDC_MASK_FIELD},
                                           {"Gateway", "192.168.1.1", IDC_GATEWAY_FIELD}};

void LoadAddressSetting(const AddressSetting& setting, char* text, std::size_t capacity) {
    GetPrivateProfileStringA(SettingsSection, setting.key, setting.fallback, text, static_cast<DWORD>(capacity),
                             SettingsFileName);
}

bool SaveAddressSetting(const AddressSetting& setting, const char* text, DWORD* errorCode) {
    SetLastError(ERROR_SUCCESS);
    if (WritePrivateProfileStringA(SettingsSection, setting.key, text, SettingsFileName))
        return true;
    *errorCode = GetLastError();
    return false;
}

}  // namespace scout::ui

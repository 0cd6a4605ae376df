// The device-type lists of the settings asked with a device handle. Kept
// apart from the settings table so that only code which asks about devices
// brings in the PKI library.
#include "Cert/ZentoPKI.h"
#include "Utils/UserSettings.h"

bool UserSettings::IsDeviceTypeListed(const std::wstring& section, unsigned long device) const
{
    if (!device) return false;
    return IsTypeListed(section, ZentoPKICryptoGetType(device));
}

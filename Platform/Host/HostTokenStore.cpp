// Token store wired into the host.
#include "HostTokenStore.h"

#include "Cert/ZentoPKI.h"

namespace tamu {

TokenStoreDevices::TokenStoreDevices(Host& host, const std::wstring& storeFolder)
    : m_host_(host), m_service_(storeFolder)
{
    m_service_.SetChangeCallback([this] {
        m_host_.Log(L"token store changed: " + std::to_wstring(m_service_.Count()) + L" token(s) present");
        m_host_.NotifyDeviceSetChanged();
    });
    m_host_.SetDeviceProvider(this);
}

TokenStoreDevices::~TokenStoreDevices()
{
    m_service_.SetChangeCallback(nullptr);
    if (m_host_.Devices() == this) m_host_.SetDeviceProvider(nullptr);
}

}  // namespace tamu

namespace tamu {

std::vector<std::wstring> TokenStoreDevices::Serials()
{
    std::vector<std::wstring> serials;
    for (long i = 0; i < m_service_.Count(); ++i) {
        const unsigned long device = m_service_.OpenDevice(i);
        char* serial = nullptr;
        std::wstring text;
        if (device && ZentoPKICryptoGetSerialNumber(device, &serial) == 1 && serial) {
            // The host is not the plug-in: it converts for itself.
            const int n = MultiByteToWideChar(CP_UTF8, 0, serial, -1, nullptr, 0);
            if (n > 1) {
                text.resize(static_cast<size_t>(n - 1));
                MultiByteToWideChar(CP_UTF8, 0, serial, -1, &text[0], n);
            }
        }
        if (serial) ZentoPKICryptoFreeMemory(serial);
        if (device) ZentoPKICryptoFreeDevice(device);
        serials.push_back(text);
    }
    return serials;
}

}  // namespace tamu

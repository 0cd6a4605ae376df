// The host's devices from a token-store folder: the host asks the store for
// handles, and every change of the store becomes message 1834 for the
// windows that registered for it.
#pragma once

#include <memory>
#include <string>

#include "HostDeviceService.h"
#include "TamuHost.h"

namespace tamu {

class TokenStoreDevices final : public DeviceProvider {
public:
    TokenStoreDevices(Host& host, const std::wstring& storeFolder);
    ~TokenStoreDevices() override;
    TokenStoreDevices(const TokenStoreDevices&) = delete;
    TokenStoreDevices& operator=(const TokenStoreDevices&) = delete;

    long Count() override { return m_service_.Count(); }
    unsigned long OpenDevice(long index) override { return m_service_.OpenDevice(index); }
    bool RemoveToken(const std::wstring& serial) override { return m_service_.RemoveToken(serial); }
    bool InsertToken(const std::wstring& folder) override { return m_service_.InsertToken(folder); }
    std::vector<std::wstring> Serials() override;
    HostDeviceService& Service() { return m_service_; }

private:
    Host& m_host_;
    HostDeviceService m_service_;
};

}  // namespace tamu

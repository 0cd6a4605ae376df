// ZENTO_CRYPTO: devices (simulated tokens), key pairs, buffers and the PIN.
#include <windows.h>

#include <cstring>

#include "Guard.h"
#include "ObjectTable.h"
#include "TokenStore.h"
#include "Utf8.h"
#include "ZentoPKIHost.h"

using namespace zento;

namespace {

// Device-type numbering of this library: the number stored in token.ini.
struct TypeName {
    int type;
    const char* name;
};
const TypeName kTypeNames[] = {
    {1, "ZT-KEY 1000"},
    {2, "ZT-KEY 2000 \xE5\x9B\xBD\xE5\xAF\x86"},  // "国密" (national algorithms)
    {3, "ZT-KEY 3000 Bluetooth"},
};

// The PIN rules of the token firmware this stand-in imitates.
const size_t kMinPinLength = 4;
const size_t kMaxPinLength = 32;

bool DeviceFolder(unsigned long device, std::wstring& folder)
{
    auto& table = ObjectTable::Instance();
    auto lock = table.Lock();
    PkiObject* object = table.Find(device, ObjectKind::Device);
    if (!object) return false;
    folder = object->folder;
    return true;
}

int GetDeviceText(unsigned long device, char** text, bool serial)
{
    if (!text) return 0;
    *text = nullptr;
    std::wstring folder;
    TokenInfo info;
    if (!DeviceFolder(device, folder) || !ReadTokenInfo(folder, info)) return 0;
    *text = NewTextBuffer(serial ? info.serial : info.label);
    return *text ? 1 : 0;
}

}  // namespace

extern "C" {

unsigned long __cdecl ZentoPKIHostOpenDevice(const wchar_t* tokenFolder)
{
    return Guarded(0UL, [&]() -> unsigned long {
        if (!tokenFolder || !*tokenFolder) return 0;
        std::wstring folder = tokenFolder;
        while (!folder.empty() && (folder.back() == L'\\' || folder.back() == L'/')) folder.pop_back();
        TokenInfo info;
        if (!ReadTokenInfo(folder, info)) return 0;
        PkiObject object;
        object.kind = ObjectKind::Device;
        object.folder = folder;
        return ObjectTable::Instance().Add(std::move(object));
    });
}

int __cdecl ZentoPKIHostReuseFreedHandles(int on)
{
    return ObjectTable::Instance().SetReuseFreedHandles(on != 0) ? 1 : 0;
}

int __cdecl ZentoPKICryptoFreeDevice(unsigned long device)
{
    return ObjectTable::Instance().Remove(device, ObjectKind::Device) ? 1 : 0;
}

int __cdecl ZentoPKICryptoGetKeypairCount(unsigned long device)
{
    return Guarded(0, [&]() -> int {
        std::wstring folder;
        TokenInfo info;
        if (!DeviceFolder(device, folder) || !ReadTokenInfo(folder, info)) return 0;
        return static_cast<int>(ListKeypairFolders(folder).size());
    });
}

unsigned long __cdecl ZentoPKICryptoGetKeypair(unsigned long device, int index)
{
    return Guarded(0UL, [&]() -> unsigned long {
        std::wstring folder;
        TokenInfo info;
        if (index < 0 || !DeviceFolder(device, folder) || !ReadTokenInfo(folder, info)) return 0;
        auto keypairs = ListKeypairFolders(folder);
        if (static_cast<size_t>(index) >= keypairs.size()) return 0;
        PkiObject object;
        object.kind = ObjectKind::Keypair;
        object.folder = keypairs[static_cast<size_t>(index)];
        // The key pair's certificates are fixed when it is opened, as a real
        // token reads its object directory once per session.
        object.certificates = ListCertificateFiles(object.folder);
        return ObjectTable::Instance().Add(std::move(object));
    });
}

int __cdecl ZentoPKICryptoFreeKeypair(unsigned long keypair)
{
    return ObjectTable::Instance().Remove(keypair, ObjectKind::Keypair) ? 1 : 0;
}

int __cdecl ZentoPKICryptoGetCertificateCount(unsigned long keypair)
{
    auto& table = ObjectTable::Instance();
    auto lock = table.Lock();
    PkiObject* object = table.Find(keypair, ObjectKind::Keypair);
    return object ? static_cast<int>(object->certificates.size()) : 0;
}

int __cdecl ZentoPKICryptoGetCertificate(unsigned long keypair, int index, unsigned long* certificate)
{
    return Guarded(0, [&]() -> int {
        if (!certificate) return 0;
        *certificate = 0;
        std::wstring path;
        {
            auto& table = ObjectTable::Instance();
            auto lock = table.Lock();
            PkiObject* object = table.Find(keypair, ObjectKind::Keypair);
            if (!object || index < 0 || static_cast<size_t>(index) >= object->certificates.size()) return 0;
            path = object->certificates[static_cast<size_t>(index)];
        }
        std::string der;
        if (!ReadWholeFile(path, der) || der.empty()) return 0;
        *certificate = ZentoPKICertNewCert(reinterpret_cast<const unsigned char*>(der.data()),
                                           static_cast<unsigned long>(der.size()));
        return *certificate ? 1 : 0;
    });
}

int __cdecl ZentoPKICryptoGetType(unsigned long device)
{
    return Guarded(0, [&]() -> int {
        std::wstring folder;
        TokenInfo info;
        if (!DeviceFolder(device, folder) || !ReadTokenInfo(folder, info)) return 0;
        return info.type;
    });
}

const char* __cdecl ZentoPKICryptoGetNameFromType(int type)
{
    for (const auto& entry : kTypeNames) {
        if (entry.type == type) return entry.name;
    }
    return nullptr;
}

int __cdecl ZentoPKICryptoGetSerialNumber(unsigned long device, char** text)
{
    return Guarded(0, [&] { return GetDeviceText(device, text, true); });
}

int __cdecl ZentoPKICryptoGetLabel(unsigned long device, char** text)
{
    return Guarded(0, [&] { return GetDeviceText(device, text, false); });
}

int __cdecl ZentoPKICryptoChangePwd(unsigned long device, int pinKind, const char* oldPin, const char* newPin,
                                    int* retriesLeft)
{
    return Guarded(0, [&]() -> int {
        std::wstring folder;
        TokenInfo info;
        if (pinKind != ZENTO_PIN_USER || !oldPin || !newPin) return 0;
        if (!DeviceFolder(device, folder)) return 0;
        // Two handles on one token (or two processes) must not both read the
        // same retry count and each write it back one lower.
        TokenLock lock(folder);
        if (!lock.ok() || !ReadTokenInfo(folder, info)) return 0;
        // A locked token answers every attempt with 0 retries and never
        // looks at the PIN again.
        if (info.retries <= 0) {
            if (retriesLeft) *retriesLeft = 0;
            return 0;
        }
        size_t newLength = std::strlen(newPin);
        if (newLength < kMinPinLength || newLength > kMaxPinLength || !IsStorablePin(newPin)) return 0;
        if (info.pin != oldPin) {
            info.retries -= 1;
            if (!WriteTokenInfo(folder, info)) return 0;
            if (retriesLeft) *retriesLeft = info.retries;
            return 0;
        }
        info.pin = newPin;
        info.retries = info.maxRetries;
        if (!WriteTokenInfo(folder, info)) return 0;
        if (retriesLeft) *retriesLeft = info.retries;
        return 1;
    });
}

int __cdecl ZentoPKICryptoFreeMemory(void* buffer)
{
    if (!buffer) return 0;
    return ObjectTable::Instance().FreeBuffer(buffer) ? 1 : 0;
}

int __cdecl ZentoPKICryptoHexEncode(int mode, const unsigned char* bytes, unsigned long length, char** text,
                                    unsigned long* textLength)
{
    return Guarded(0, [&]() -> int {
        if (!text) return 0;
        *text = nullptr;
        if (textLength) *textLength = 0;
        if ((mode != ZENTO_HEX_UPPER && mode != ZENTO_HEX_LOWER) || (!bytes && length)) return 0;
        const char* digits = mode == ZENTO_HEX_UPPER ? "0123456789ABCDEF" : "0123456789abcdef";
        std::string hex;
        hex.reserve(length * 2);
        for (unsigned long i = 0; i < length; ++i) {
            hex += digits[bytes[i] >> 4];
            hex += digits[bytes[i] & 0x0F];
        }
        *text = NewTextBuffer(hex);
        if (!*text) return 0;
        if (textLength) *textLength = static_cast<unsigned long>(hex.size());
        return 1;
    });
}

long __cdecl ZentoPKIGetLiveObjectCount(void)
{
    return ObjectTable::Instance().LiveCount();
}

long __cdecl ZentoPKIGetBadFreeCount(void)
{
    return ObjectTable::Instance().BadFreeCount();
}

}  // extern "C"

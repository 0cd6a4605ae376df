// Do-not-remind marker files; see ForbidNotifyMarkers.h.
#include "UI/ForbidNotifyMarkers.h"

#include <windows.h>
#include <shlobj.h>
#include <shlwapi.h>

#include "Cert/Cert_Util.h"
#include "Cert/PkiOwners.h"
#include "Utils/StringConvert.h"
#include "Utils/UserSettings.h"

namespace {

constexpr const wchar_t kMarkerSubFolder[] =
    L"ZENTO\\Tamu\\Plugin\\CertApp\\LumoraPlugin\\NoDeviceForbidNotifyCert\\";
constexpr int kPemForm = 3;

std::wstring MarkerPath(unsigned long certificate)
{
    const std::string hex = Cert_Util::GetCertSha1Hex(certificate);
    if (hex.empty()) return std::wstring();
    const std::wstring folder = GetForbidNotifyFolder();
    if (folder.empty()) return std::wstring();
    return folder + Utf8ToWide(hex);
}

}  // namespace

std::wstring GetForbidNotifyFolder()
{
    const std::wstring base = UserSettings::GetUserDataFolder(kMarkerSubFolder);
    if (base.empty()) return std::wstring();
    const std::wstring folder = base + L"\\";
    if (!PathIsDirectoryW(folder.c_str())) SHCreateDirectoryExW(nullptr, folder.c_str(), nullptr);
    return folder;
}

bool IsForbidNotifyMarked(const std::wstring& sha1Hex)
{
    if (sha1Hex.empty()) return false;
    const std::wstring folder = GetForbidNotifyFolder();
    if (folder.empty()) return false;
    const DWORD attributes = GetFileAttributesW((folder + sha1Hex).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool HasForbidNotifyMarker(unsigned long certificate)
{
    const std::string hex = Cert_Util::GetCertSha1Hex(certificate);
    return !hex.empty() && IsForbidNotifyMarked(Utf8ToWide(hex));
}

bool WriteForbidNotifyMarker(unsigned long certificate)
{
    const std::wstring path = MarkerPath(certificate);
    if (path.empty()) return false;
    unsigned char* bytes = nullptr;
    unsigned long length = 0;
    const int rc = ZentoPKICertGetCertEncode(certificate, kPemForm, &bytes, &length);
    Pki::ScopedBytes owned(bytes);
    if (rc != ZENTO_PKI_OK || !bytes) return false;
    DuiLib::ScopedFile file(CreateFileW(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return false;
    DWORD written = 0;
    return WriteFile(file.get(), bytes, length, &written, nullptr) && written == length;
}

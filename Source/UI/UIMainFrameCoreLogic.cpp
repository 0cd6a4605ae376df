// Expiry decisions of the main frame: the certificates of present keys after
// every device event, and the remembered keys of the usage database in the
// service thread's single pass. The log lines keep the texts our support
// staff search for, odd spacing included.
#include "UI/UIMainFrameCoreLogic.h"

#include <windows.h>
#include <oleauto.h>

#include <cmath>
#include <cstdio>
#include <memory>
#include <map>
#include <string>
#include <vector>

#include "Cert/Cert_Util.h"
#include "Cert/DeviceRecord.h"
#include "Cert/PkiOwners.h"
#include "DuiLib/BoundaryGuard.h"
#include "UI/ForbidNotifyMarkers.h"
#include "UI/UIMainFrame.h"
#include "Utils/StringConvert.h"
#include "Utils/UserSettings.h"
#include "Utils/log.h"

namespace {

const char kCoreLogicSource[] = "..\\Source\\UI\\UIMainFrameCoreLogic";
// The snooze test has always logged under the main frame's name.
const char kMainFrameSource[] = "..\\Source\\UI\\UIMainFrame";

const int kSubjectDisplayNameId = 16;
const int kValidityEndId = 31;
const int kHexUpperCase = 1;

void LogCore(const char* message, int line, int extra = 0)
{
    LogWrite(4, message, line, kCoreLogicSource, extra);
}

// A string attribute as the library hands it out (UTF-8); false when missing.
bool ReadStringAttribute(unsigned long certificate, int id, std::string& text)
{
    Pki::ScopedText value;
    if (ZentoPKICertGetCertStringAttribute(certificate, id, value.put()) != ZENTO_PKI_OK || !value) return false;
    text = value.get();
    return true;
}

unsigned long NewCertFromText(const std::string& text)
{
    if (text.empty()) return 0;
    return ZentoPKICertNewCert(reinterpret_cast<const unsigned char*>(text.data()),
                               static_cast<unsigned long>(text.size()));
}

// The holder's subject display name, blanks at both ends dropped, in the
// library's hex encoding; false when the encoding fails. A name that cannot
// be read counts as the empty name.
bool HolderKey(unsigned long certificate, std::string& key)
{
    std::string name;
    (void)ReadStringAttribute(certificate, kSubjectDisplayNameId, name);
    const size_t first = name.find_first_not_of(' ');
    name = first == std::string::npos ? std::string() : name.substr(first, name.find_last_not_of(' ') - first + 1);

    Pki::ScopedText hex;
    unsigned long length = 0;
    if (ZentoPKICryptoHexEncode(kHexUpperCase, reinterpret_cast<const unsigned char*>(name.data()),
                                static_cast<unsigned long>(name.size()), hex.put(), &length) != ZENTO_PKI_OK ||
        !hex)
        return false;
    key.assign(hex.get(), length);
    return true;
}

// Whole hours from then to now (both local DATE values), rounded to the
// nearest second first, truncated toward zero.
long long HoursBetween(DATE then, DATE now)
{
    double span = now - then;
    const double halfSecond = 0.5 / 86400.0;
    span += span >= 0 ? halfSecond : -halfSecond;
    return static_cast<long long>(std::trunc(span * 24.0));
}

// The device pop-up announces a key in (mode 0) or out (mode 1); the
// certificate pop-up makes way for it.
void AnnounceDeviceEvent(CUINotifyCertEventWnd& certPopup, CUINotifyDeviceEventWnd& devicePopup, int mode)
{
    if (certPopup.GetSafeHwnd()) ::ShowWindow(certPopup.GetSafeHwnd(), SW_HIDE);
    devicePopup.SetDeviceEventMode(mode);
    if (devicePopup.GetSafeHwnd()) ::PostMessageW(devicePopup.GetSafeHwnd(), WM_NOTIFY_SLIDE, 0, 0);
}

}  // namespace

namespace ExpiryLogic {

ExpiringCertificates CountExpiringCertificates(const DeviceRecordList& devices, int notifyDays)
{
    ExpiringCertificates found;
    for (const auto& record : devices.records) {
        LogCore("ProcessNotifyCertEvent BeginGetCerts Enter", __LINE__);
        if (!record) continue;
        for (unsigned long certificate : record->certificates) {
            if (Cert_Util::IsCertExpired(certificate)) {
                LogCore("ProcessNotifyCertEvent BeginGetCerts Cert_Util::IsCertExpired", __LINE__);
                continue;
            }
            int days = 0;
            if (Cert_Util::GetCertRemainDays(certificate, &days) && days <= notifyDays) {
                if (found.count == 0 || found.leastDays > days) found.leastDays = days;
                ++found.count;
            }
            LogCore("ProcessNotifyCertEvent BeginGetCerts Normal", __LINE__);
        }
    }
    return found;
}

unsigned long NewCertOfCachedRecord(const CachedDeviceRecord& record)
{
    unsigned long certificate = NewCertFromText(record.m_signCert_);
    if (!certificate) certificate = NewCertFromText(record.m_encCert_);
    return certificate;
}

void SuppressDuplicateCachedCerts(CachedDeviceRecordList& records)
{
    // Groups in a map ordered by key; records within a group in list order.
    std::map<std::string, std::vector<CachedDeviceRecord*>> holders;
    for (auto& record : records) {
        if (!record) continue;
        Pki::ScopedCertificate certificate(NewCertOfCachedRecord(*record));
        if (!certificate) continue;
        std::string key;
        if (!HolderKey(certificate.get(), key)) continue;
        holders[key].push_back(record.get());
    }

    for (auto& holder : holders) {
        if (holder.second.size() < 2) continue;
        CachedDeviceRecord* best = nullptr;
        Pki::ScopedCertificate bestCert;
        for (CachedDeviceRecord* record : holder.second) {
            Pki::ScopedCertificate certificate(NewCertOfCachedRecord(*record));
            if (!certificate) continue;
            if (!best) {
                best = record;
                bestCert = std::move(certificate);
            } else if (IsLaterOrSameValidityEnd(bestCert.get(), certificate.get())) {
                best->m_handled_ = 1;
                best = record;
                bestCert = std::move(certificate);
            } else {
                record->m_handled_ = 1;
            }
        }
    }
}

bool IsLaterOrSameValidityEnd(unsigned long best, unsigned long candidate)
{
    std::string bestEnd;
    std::string candidateEnd;
    if (!ReadStringAttribute(best, kValidityEndId, bestEnd) || !ReadStringAttribute(candidate, kValidityEndId, candidateEnd))
        return false;
    Pki::ScopedTime bestTime(Cert_Util::ToPkiTime(bestEnd.c_str()));
    Pki::ScopedTime candidateTime(Cert_Util::ToPkiTime(candidateEnd.c_str()));
    // Only "ends earlier" loses; equal ends go to the later record.
    return zento_time_cmp(candidateTime.get(), bestTime.get()) != -1;
}

bool IsValidNotfiyWindowUpdateTime()
{
    LogWrite(1, "IsValidNotfiyWindowUpdateTime Enter!", __LINE__, kMainFrameSource);
    const std::wstring stored = UserSettings::Instance().GetNextNotifyDate();
    if (stored.empty()) return true;

    // The date is read the way the user's own locale writes dates, as it was
    // when the snooze was stored on this machine.
    std::wstring text = stored;  // the parser takes a writable string
    DATE then = 0;
    if (FAILED(VarDateFromStr(&text[0], LOCALE_USER_DEFAULT, 0, &then))) return true;
    SYSTEMTIME local{};
    GetLocalTime(&local);
    DATE now = 0;
    if (!SystemTimeToVariantTime(&local, &now)) return true;

    if (HoursBetween(then, now) >= 1) return true;
    LogWrite(1, "No Need Notify Enter!", __LINE__, kMainFrameSource);
    return false;
}

bool ProcessSQLiteCacheNotifyCertEvent(CachedDeviceRecordList& notifyList)
{
    LogCore("ProcessSQLiteCacheNotifyCertEvent Enter", __LINE__);
    CachedDeviceRecordList records;
    if (UsageDatabase::Instance().QueryRecentDevices(records) != 0) return false;

    UserSettings& settings = UserSettings::Instance();
    const int notifyDays = settings.GetNotifyCertDay();
    const int remembered = static_cast<int>(records.size());
    // A key more or less in the database ends any snooze.
    if (settings.GetLastCheckDeviceCount() != remembered) {
        (void)settings.SetLastCheckDeviceCount(std::to_wstring(remembered));
        (void)settings.SetNextNotifyDate(L"");
    }
    if (remembered > 1) SuppressDuplicateCachedCerts(records);

    for (int index = 0; index < remembered; ++index) {
        const CachedDeviceRecord* record = records[static_cast<size_t>(index)].get();
        if (!record || record->m_handled_) continue;
        Pki::ScopedCertificate certificate(NewCertOfCachedRecord(*record));
        if (!certificate) continue;
        if (HasForbidNotifyMarker(certificate.get())) continue;
        if (Cert_Util::IsCertExpired(certificate.get())) {
            char message[128];
            std::snprintf(message, sizeof(message),
                       "ProcessSQLiteCacheNotifyCertEvent BeginGetCerts Cert_Util::IsCertExpired,index= %d", index);
            LogCore(message, __LINE__);
            continue;
        }
        int days = 0;
        if (Cert_Util::GetCertRemainDays(certificate.get(), &days) && days <= notifyDays) {
            auto copy = std::make_unique<CachedDeviceRecord>(*record);
            copy->m_remainDays_ = days;
            notifyList.push_back(std::move(copy));
        }
    }
    return true;
}

bool IsOnlyRememberedKeyPresent(const CachedDeviceRecordList& notifyList, const DeviceRecordList& devices)
{
    if (notifyList.size() != 1 || !notifyList.front()) return false;
    std::string serial;
    if (UsageDatabase::Instance().QueryDeviceById(notifyList.front()->m_deviceId_, serial) != 0) return false;
    const std::wstring remembered = Utf8ToWide(serial);
    for (const auto& record : devices.records) {
        if (record && _wcsicmp(record->serialNumber.c_str(), remembered.c_str()) == 0)
            return true;
    }
    return false;
}

bool ShouldRequestNoDeviceCertPopup(const CachedDeviceRecordList& notifyList)
{
    return IsValidNotfiyWindowUpdateTime() && !notifyList.empty();
}

}  // namespace ExpiryLogic

// ---- The main frame's side of the decisions ----

bool CUIMainFrame::ProcessSQLiteCacheNotifyCertEvent()
{
    return ExpiryLogic::ProcessSQLiteCacheNotifyCertEvent(NoDeviceNotifyList);
}

bool CUIMainFrame::IsValidNotfiyWindowUpdateTime()
{
    return ExpiryLogic::IsValidNotfiyWindowUpdateTime();
}

void CUIMainFrame::RunServicePass()
{
    // The list is handed over by the posted message: the window thread reads
    // it only once WM_USER + 102 arrives, and this thread is done with it then.
    (void)ProcessSQLiteCacheNotifyCertEvent();
    if (ExpiryLogic::ShouldRequestNoDeviceCertPopup(NoDeviceNotifyList) && m_hWnd)
        ::PostMessageW(m_hWnd, kMsgShowNoDeviceCertPopup, 0, 0);
}

void CUIMainFrame::ProcessDeviceCountNotify()
{
    const int32_t count = DeviceRecordList::Instance().Count();
    const int32_t delta = count - lastDeviceCount;
    lastDeviceCount = count;
    if (delta == 0) return;

    const bool showDevice = UserSettings::Instance().GetIsShowNotifyDeviceWnd();
    // Expiring certificates take precedence over the key announcement, for
    // removals too and whether or not that announcement is switched on.
    if (ProcessNotifyCertEvent()) return;
    if (!showDevice) return;

    if (delta > 0) {
        LogCore("if(deviceCount-curLastDeviceCount>0)else NotifyCertremaindays  is", __LINE__);
        AnnounceDeviceEvent(m_notifyCertWnd_, m_notifyDeviceWnd_, CUINotifyDeviceEventWnd::kInserted);
        LogCore("if(deviceCount-curLastDeviceCount>0) Leave", __LINE__);
    } else {
        LogCore(" if(deviceCount-curLastDeviceCount<0) Enter", __LINE__);
        AnnounceDeviceEvent(m_notifyCertWnd_, m_notifyDeviceWnd_, CUINotifyDeviceEventWnd::kRemoved);
        LogCore("if(deviceCount-curLastDeviceCount<0) Leave", __LINE__);
    }
}

bool CUIMainFrame::ProcessNotifyCertEvent()
{
    LogCore("ProcessNotifyCertEvent Enter", __LINE__);
    const UserSettings& settings = UserSettings::Instance();
    if (!settings.GetIsShowNotifyCertWnd()) return false;
    LogCore("ProcessNotifyCertEvent BeginGetCerts", __LINE__);
    const DeviceRecordList& devices = DeviceRecordList::Instance();
    if (devices.Count() == 0) return false;

    const ExpiryLogic::ExpiringCertificates found =
        ExpiryLogic::CountExpiringCertificates(devices, settings.GetNotifyCertDay());
    if (found.count == 0) return false;
    LogCore("if(iNotifyCertCount>0)   NotifyCertremaindays  is", __LINE__, found.leastDays);
    if (m_notifyDeviceWnd_.GetSafeHwnd()) ::ShowWindow(m_notifyDeviceWnd_.GetSafeHwnd(), SW_HIDE);
    m_notifyCertWnd_.ShowCertificateList(found.leastDays);
    if (m_notifyCertWnd_.GetSafeHwnd()) ::PostMessageW(m_notifyCertWnd_.GetSafeHwnd(), WM_NOTIFY_SLIDE, 0, 0);
    return true;
}

LRESULT CUIMainFrame::OnShowNoDeviceCertPopupMessage(WPARAM, LPARAM)
{
    return DuiLib::GuardBoundary("CUIMainFrame::OnShowNoDeviceCertPopupMessage", LRESULT(1),
                                 [this]() -> LRESULT { return ShowNoDeviceCertPopup(); });
}

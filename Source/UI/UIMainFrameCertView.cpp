// The certificate part of each key page: group rows with name items and
// state icons, attribute pages, validity blocks and buttons; and what the
// user does with them: display, copy, export, PIN change, and the commands
// for the host's other plug-ins.
#include <shlobj.h>

#include <cstdio>

#include "Cert/Cert_Util.h"
#include "Cert/PkiOwners.h"
#include "Cert/ZentoPKI.h"
#include "DuiLib/BoundaryGuard.h"
#include "DuiLib/ModalLoop.h"
#include "Framework/FileDialog.h"
#include "Plugin/HostCommandMailbox.h"
#include "Plugin/HostInterfaces.h"
#include "Plugin/HostMessaging.h"
#include "UI/MenuWnd.h"
#include "UI/UIMainFrame.h"
#include "UI/UIModifyPasswordDlg.h"
#include "Utils/LanguageStrings.h"
#include "Utils/StringConvert.h"
#include "Utils/UserSettings.h"

using namespace DuiLib;

namespace {

constexpr const wchar_t* kIconExpired = L"MainFrame/icon_certexpired.png";
constexpr const wchar_t* kIconExpiring = L"MainFrame/icon_certramain.png";
constexpr const wchar_t* kIconValid = L"MainFrame/icon_cert.png";
constexpr int kCertItemHeight = 38;

std::wstring StringAttribute(unsigned long certificate, int id)
{
    std::wstring text;
    Cert_Util::GetCertStringAttribute(certificate, id, text);
    return text;
}

std::wstring ValidityPeriod(const char* formatKey, unsigned long certificate)
{
    std::wstring start;
    std::wstring end;
    Cert_Util::GetCertValidityDates(certificate, start, end);
    return FormatLanguageText(GetLanguageString(formatKey), {start, end});
}

Pki::ScopedCertificate Duplicate(unsigned long certificate)
{
    return Pki::ScopedCertificate(certificate ? ZentoPKICertDupCert(certificate) : 0);
}

int CALLBACK BrowseFolderCallback(HWND window, UINT message, LPARAM, LPARAM data)
{
    // The last folder chosen is selected as soon as the browser can take it.
    if (message == BFFM_INITIALIZED && data) ::SendMessageW(window, BFFM_SETSELECTIONW, TRUE, data);
    return 0;
}

}  // namespace

// ---- Free functions ------------------------------------------------------------------

int CertValidityState(unsigned long certificate)
{
    if (Cert_Util::IsCertExpired(certificate)) return 2;
    int days = 0;
    return Cert_Util::GetCertRemainDays(certificate, &days) ? 1 : 0;
}

std::wstring FormatPinFailText(int retries)
{
    if (retries > 0)
        return FormatLanguageText(GetLanguageString("STRING_PIN_MODIFY_FAIL_WITH_RETRYNUM"),
                                  {std::to_wstring(retries)});
    if (retries == 0) return GetLanguageString("STRING_PIN_MODIFY_FAIL_LOCK");
    return FormatLanguageText(GetLanguageString("STRING_PIN_MODIFY_FAIL"), {std::to_wstring(retries)});
}

std::wstring SanitizeExportFileName(const std::wstring& name)
{
    static const wchar_t kReserved[] = L"\\/:*?\"<>|";
    // The bidirectional embedding, override and isolate marks reorder what
    // the user reads: "...gpj.exe" can show as "...exe.jpg".
    auto reorders = [](wchar_t c) { return (c >= 0x202A && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069); };
    // The name always gets a suffix, so a leading dot or a trailing blank is
    // harmless and kept as the holder wrote it.
    std::wstring safe = name;
    for (wchar_t& c : safe) {
        if (c < 0x20 || c == 0x7F || wcschr(kReserved, c) || reorders(c)) c = L'_';
    }
    return safe;
}

std::wstring CertExportFileName(unsigned long certificate, CertFileFormat format)
{
    std::wstring name =
        SanitizeExportFileName(StringAttribute(certificate, ZENTO_CERT_ATTR_SUBJECT_DISPLAY_NAME));
    if (format == CertFileFormat::Pkcs7) return name + CertFileExtension(format);
    if (Cert_Util::IsSignCert(certificate))
        return name + GetLanguageString("STRING_SAVE_CERT_TYPE_EXPORT_SIGN_NAME");
    if (Cert_Util::IsEncCert(certificate))
        return name + GetLanguageString("STRING_SAVE_CERT_TYPE_EXPORT_ENC_NAME");
    return name + L".cer";
}

bool IsKeyFunctionShown(const char* section, unsigned long device)
{
    return UserSettings::Instance().IsDeviceTypeListed(::Utf8ToWide(section), device);
}

// ---- Building the view ---------------------------------------------------------------

void CUIMainFrame::SetupKeyButtons(CControlUI* page, DeviceRecord* record)
{
    if (!page || !record) return;
    const unsigned long device = record->device;
    struct KeyButton {
        const wchar_t* name;
        const char* textKey;
        bool (CUIMainFrame::*click)(TNotifyUI&);
    };
    auto setUp = [&](const KeyButton& key, bool shown) {
        CControlUI* button = m_pm_.FindSubControlByName(page, key.name);
        if (!button) return;
        if (!shown) {
            button->SetVisible(false);
            return;
        }
        button->SetText(GetLanguageString(key.textKey));
        button->SetTag(static_cast<UINT_PTR>(device));
        button->SetUserData(record->serialNumber);
        button->OnNotify += MakeDelegate(this, key.click);
    };
    setUp({L"Button_DisConnect", "STRING_BUTTON_DISCONNECT_DEVICE", &CUIMainFrame::OnDisconnectClick},
          IsKeyFunctionShown("DisconnectFunShow", device));
    if (m_pm_.FindSubControlByName(page, L"Button_UnlockPin")) {
        const bool installed = IsHostPluginInstalled(PluginIds::PinUnlock);
        setUp({L"Button_UnlockPin", "STRING_BUTTON_UNLOCK_PASSWORD", &CUIMainFrame::OnUnlockPinClick},
              installed && !IsKeyFunctionShown("UnlockFunFiter", device));
    }
    setUp({L"Button_ModifyPin", "STRING_BUTTON_CHANGE_PASSWORD", &CUIMainFrame::OnModifyPinClick},
          !IsKeyFunctionShown("PassWordFunFiter", device));
}

void CUIMainFrame::AddCertGroupView(CControlUI* page, const CertGroup& group, DeviceRecord* record, int index)
{
    auto* column = FindIn<CContainerUI>(page, L"VLayout_AllCertView");
    if (group.certificates.empty() || !column) return;
    std::unique_ptr<CControlUI> row(BuildSubLayout(L"SubXml/HLayoutCertPairContain.xml", nullptr));
    auto* rowLayout = ControlCast<CContainerUI>(row.get());
    if (!rowLayout) return;
    auto* names = FindIn<CContainerUI>(row.get(), L"VLayout_CertItemsDispalyName");
    auto* attributeTabs = FindIn<CTabLayoutUI>(page, L"TLayout_CertArrShow");
    if (!names || !attributeTabs) return;

    AddCertItems(attributeTabs, group, names);
    // By ear, the group is its holder and its place on the key, and its
    // buttons say which group they act on: every group has an "导出" of its
    // own, and one holder often has several groups on one key.
    const std::wstring holder = StringAttribute(group.certificates.front(), ZENTO_CERT_ATTR_SUBJECT_DISPLAY_NAME);
    const std::wstring number = std::to_wstring(index + 1);
    row->SetAccName(FormatLanguageText(GetLanguageString("STRING_ACC_CERT_GROUP"), {holder, number}));
    int state = 0;
    CControlUI* block = BuildValidityBlock(group.certificates.front(), state);

    CControlUI* buttons = BuildSubLayout(L"SubXml/VLayoutRightFun.xml", nullptr);
    if (buttons) {
        if (CControlUI* update = m_pm_.FindSubControlByName(buttons, L"Button_CertUpdate")) {
            update->OnNotify += MakeDelegate(this, &CUIMainFrame::OnCertUpdateClick);
            update->SetText(GetLanguageString("STRING_BUTTON_UPDATE_CERT"));
            const bool shown = IsHostPluginInstalled(PluginIds::CertRenewal) &&
                               !IsKeyFunctionShown("CertUpdateFunFiter", record->device);
            update->SetAccName(FormatLanguageText(GetLanguageString("STRING_ACC_UPDATE_GROUP"), {holder, number}));
            if (!shown) update->SetVisible(false);
        }
        if (CControlUI* exportButton = m_pm_.FindSubControlByName(buttons, L"Button_Export")) {
            exportButton->SetText(GetLanguageString("STRING_BUTTON_EXPORT_CERT"));
            exportButton->SetAccName(FormatLanguageText(GetLanguageString("STRING_ACC_EXPORT_GROUP"), {holder, number}));
            m_exportButtonTags_.push_back(std::make_unique<ExportButtonTag>(ExportButtonTag{record, names}));
            exportButton->SetTag(reinterpret_cast<UINT_PTR>(m_exportButtonTags_.back().get()));
            exportButton->SetUserData(std::to_wstring(index));
            exportButton->OnNotify += MakeDelegate(this, &CUIMainFrame::ExportCertGroup);
        }
    }
    rowLayout->SetFixedHeight(kCertItemHeight * static_cast<int>(group.certificates.size()) + 2);
    if (block) rowLayout->Add(block);
    if (buttons) rowLayout->Add(buttons);
    column->Add(row.release());
}

void CUIMainFrame::AddCertItems(CTabLayoutUI* attributeTabs, const CertGroup& group, CContainerUI* nameColumn)
{
    if (!attributeTabs || !nameColumn) return;
    const int firstPage = attributeTabs->GetCount();
    for (size_t position = 0; position < group.certificates.size(); ++position) {
        const unsigned long certificate = group.certificates[position];
        if (!certificate) continue;
        CControlUI* item = BuildSubLayout(L"SubXml/HLayoutCertInfo.xml", this);
        if (!item) continue;
        const int state = CertValidityState(certificate);
        if (CControlUI* icon = m_pm_.FindSubControlByName(item, L"Lable_CertDisplayName_Icon"))
            icon->SetBkImage(state == 2 ? kIconExpired : state == 1 ? kIconExpiring : kIconValid);
        const bool encryption = Cert_Util::IsEncCert(certificate);
        if (CControlUI* label = m_pm_.FindSubControlByName(item, L"Lable_CertDisplayName")) {
            label->SetText(StringAttribute(certificate, ZENTO_CERT_ATTR_SUBJECT_DISPLAY_NAME) +
                           GetLanguageString(encryption
                                                 ? "STRING_SHOW_CERTATT_SUBJECTDISPLAYNAME_TYPESUFFIX_ENC"
                                                 : "STRING_SHOW_CERTATT_SUBJECTDISPLAYNAME_TYPESUFFIX_SIGN"));
        }
        if (CControlUI* button = m_pm_.FindSubControlByName(item, L"Button_CertDisplayName")) {
            m_certItemTags_.push_back(std::make_unique<CertItemTag>(
                CertItemTag{firstPage + static_cast<int>(position), attributeTabs, certificate}));
            button->SetTag(reinterpret_cast<UINT_PTR>(m_certItemTags_.back().get()));
            button->OnNotify += MakeDelegate(this, &CUIMainFrame::OnCertItemNotify);
            // Ctrl+C and the menu copy the whole certificate; it is encoded
            // only then, not for every row of every refresh.
            if (auto* copyable = dynamic_cast<CKeyOptionUI*>(button))
                copyable->SetCopySource([certificate] { return CertificatePemText(certificate); });
        }
        if (auto* page = BuildSubLayoutAs<CContainerUI>(L"SubXml/HLayoutCertArrShowContain.xml")) {
            page->SetAccName(GetLanguageString("STRING_ACC_CERT_DETAILS"));
            AddCertAttributes(page, certificate);
            attributeTabs->Add(page);
        }
        nameColumn->Add(item);
    }
}

void CUIMainFrame::AddCertAttributes(CContainerUI* page, unsigned long certificate)
{
    const bool encryption = Cert_Util::IsEncCert(certificate);
    std::wstring serviceId;
    Cert_Util::GetUserServiceProgId(certificate, serviceId);
    std::wstring sha1;
    Cert_Util::GetCertThumbprintHex(certificate, ZENTO_HASH_SHA1, sha1);
    std::wstring sha256;
    Cert_Util::GetCertThumbprintHex(certificate, ZENTO_HASH_SHA256, sha256);
    const struct {
        const char* label;
        std::wstring value;
    } rows[] = {
        {"STRING_SHOW_CERTATT_OID_UERSERVICE_PROGID", serviceId},
        {"STRING_SHOW_CERTATT_SUBJECTDISPLAYNAME",
         StringAttribute(certificate, ZENTO_CERT_ATTR_SUBJECT_DISPLAY_NAME)},
        {"STRING_SHOW_CERTATT_CERTTYPE", GetLanguageString(encryption ? "STRING_SHOW_CERTATT_CERTTYPE_ENC"
                                                                      : "STRING_SHOW_CERTATT_CERTTYPE_SIGN")},
        {"STRING_SHOW_CERTATT_VALIDTIME",
         ValidityPeriod("STRING_SHOW_CERTATT_VALIDTIME_FORMAT", certificate)},
        {"STRING_SHOW_CERTATT_ISSUSERDISPLAYNAME",
         StringAttribute(certificate, ZENTO_CERT_ATTR_ISSUER_DISPLAY_NAME)},
        {"STRING_SHOW_CERTATT_FRIENDLYNAME", StringAttribute(certificate, ZENTO_CERT_ATTR_FRIENDLY_NAME)},
        {"STRING_SHOW_CERTATT_UNITNAME", StringAttribute(certificate, ZENTO_CERT_ATTR_ORGANIZATION)},
        {"STRING_SHOW_CERTATT_SECTIONNAME", StringAttribute(certificate, ZENTO_CERT_ATTR_UNIT)},
        {"STRING_SHOW_CERTATT_ADDRESS", StringAttribute(certificate, ZENTO_CERT_ATTR_LOCALITY)},
        {"STRING_SHOW_CERTATT_EMAIL", StringAttribute(certificate, ZENTO_CERT_ATTR_EMAIL)},
        {"STRING_SHOW_CERTATT_CERTSN", StringAttribute(certificate, ZENTO_CERT_ATTR_SERIAL)},
        {"STRING_SHOW_CERTATT_THUMBPRINTSHA1", sha1},
        {"STRING_SHOW_CERTATT_THUMBPRINTSHA256", sha256},
        {"STRING_SHOW_CERTATT_COUNTRYNAME", StringAttribute(certificate, ZENTO_CERT_ATTR_COUNTRY)},
        {"STRING_SHOW_CERTATT_PROVINCENAME", StringAttribute(certificate, ZENTO_CERT_ATTR_PROVINCE)},
    };
    for (const auto& row : rows) AddAttributeRow(GetLanguageString(row.label), row.value, page);
}

void CUIMainFrame::AddAttributeRow(const std::wstring& label, const std::wstring& value,
                                   CContainerUI* container)
{
    if (label.empty() || value.empty() || !container) return;
    std::unique_ptr<CControlUI> row(BuildSubLayout(L"SubXml/HLayoutCertArrShow.xml", this));
    if (!row) return;
    CControlUI* key = m_pm_.FindSubControlByName(row.get(), L"Label_CertArritube_key");
    if (!key) return;
    key->SetText(FormatLanguageText(L"%s :", {label}));
    CControlUI* text = m_pm_.FindSubControlByName(row.get(), L"Label_CertArritube");
    if (!text) return;
    text->SetText(value);
    if (CControlUI* option = m_pm_.FindSubControlByName(row.get(), L"Option_CertArritube")) {
        option->SetUserData(value);
        // Long values (thumbprints) end in an ellipsis; the tooltip shows them whole.
        option->SetToolTip(value);
        option->OnNotify += MakeDelegate(this, &CUIMainFrame::OnAttributeRightClick);
    }
    container->Add(row.release());
}

CControlUI* CUIMainFrame::BuildValidityBlock(unsigned long certificate, int& state)
{
    state = CertValidityState(certificate);
    const wchar_t* layout = state == 2   ? L"SubXml/VLayoutCertExpired.xml"
                            : state == 1 ? L"SubXml/HLayoutCertDeadline.xml"
                                         : L"SubXml/VLayoutCertValid.xml";
    CControlUI* block = BuildSubLayout(layout, nullptr);
    if (!block) return nullptr;
    if (state == 2) {
        if (CControlUI* label = m_pm_.FindSubControlByName(block, L"Label_Cert_Expired"))
            label->SetText(GetLanguageString("STRING_SHOW_CERTATT_HAS_EXPIRE"));
    } else if (state == 1) {
        int days = 0;
        Cert_Util::GetCertRemainDays(certificate, &days);
        if (CControlUI* label = m_pm_.FindSubControlByName(block, L"Label_Deadline")) {
            label->SetText(
                days == 0 ? GetLanguageString("STRING_SHOW_CERTATT_EXPIRE_ONEDAY")
                          : FormatLanguageText(GetLanguageString("STRING_SHOW_CERTATT_EXPIRE_FORMAT_DAY"),
                                               {std::to_wstring(days)}));
        }
    }
    if (CControlUI* period = m_pm_.FindSubControlByName(block, L"Label_CertValidDate"))
        period->SetText(ValidityPeriod("STRING_SHOW_VALIDTIME", certificate));
    return block;
}

// ---- Handlers ------------------------------------------------------------------------

bool CUIMainFrame::OnCertItemNotify(TNotifyUI& msg)
{
    auto* tag = msg.pSender ? reinterpret_cast<CertItemTag*>(msg.pSender->GetTag()) : nullptr;
    if (!tag) return false;
    if (msg.sType == L"click") {
        tag->attributeTabs->SelectItem(tag->attributePage);
        return false;
    }
    if (msg.sType == L"rclick") {
        OpenCopyMenu(msg, "STRING_ACC_COPY_CERT");
        return true;
    }
    if (msg.sType == L"dbclick") {
        // The window that shows it frees the copy; the record may be gone by then.
        Pki::ScopedCertificate copy = Duplicate(tag->certificate);
        if (copy && ::PostMessageW(m_hWnd, kMsgDisplayCert, static_cast<WPARAM>(copy.get()), 0))
            (void)copy.release();
        return true;
    }
    return false;
}

bool CUIMainFrame::OnAttributeRightClick(TNotifyUI& msg)
{
    if (msg.sType != L"rclick" || !msg.pSender) return false;
    OpenCopyMenu(msg, nullptr);
    return true;
}

void CUIMainFrame::OpenCopyMenu(const TNotifyUI& msg, const char* accNameKey)
{
    if (!msg.pSender) return;
    auto* copyable = dynamic_cast<CKeyOptionUI*>(msg.pSender);
    POINT point = msg.ptMouse;
    ::ClientToScreen(m_hWnd, &point);
    CPluginMenuWnd::Open(copyable ? copyable->GetCopyText() : msg.pSender->GetUserData(), point.x, point.y,
                         accNameKey);
}

bool CUIMainFrame::ExportCertGroup(TNotifyUI& msg)
{
    if (msg.sType != L"click" || !msg.pSender) return false;
    auto* tag = reinterpret_cast<ExportButtonTag*>(msg.pSender->GetTag());
    if (!tag || !tag->record) return false;
    const int index = _wtoi(msg.pSender->GetUserData().c_str());
    const std::vector<CertGroup> groups = GroupCertificates(*tag->record);
    if (groups.empty() || index < 0 || index >= static_cast<int>(groups.size())) {
        MessageBoxNotice(GetLanguageString("STRING_SAVE_CERT_FAIL_EXCEPTION"), MB_ICONERROR);
        return false;
    }
    std::vector<Pki::ScopedCertificate> copies;
    std::vector<size_t> copyOf;  // each copy's place in the group
    const std::vector<unsigned long>& members = groups[static_cast<size_t>(index)].certificates;
    for (size_t i = 0; i < members.size(); ++i) {
        Pki::ScopedCertificate copy = Duplicate(members[i]);
        if (!copy) continue;
        copies.push_back(std::move(copy));
        copyOf.push_back(i);
    }
    if (copies.empty()) {
        MessageBoxNotice(GetLanguageString("STRING_SAVE_CERT_FAIL_NO_CERT"), MB_ICONERROR);
        return false;
    }
    if (unsigned long selected = FindSelectedCert(tag->nameColumn)) {
        // The chosen certificate first; a PKCS #7 file takes its partner along.
        std::vector<unsigned long> certificates = {0};
        for (size_t i = 0; i < copies.size(); ++i) {
            if (members[copyOf[i]] == selected)
                certificates[0] = copies[i].get();
            else
                certificates.push_back(copies[i].get());
        }
        if (certificates[0]) SaveCertAs(nullptr, certificates);
        return false;
    }
    std::wstring folder;
    if (!ChooseExportFolder(folder)) return false;
    const CertFileFormat format = CertFileFormatFromText(UserSettings::Instance().GetExportFormat());
    // One file for the group in PKCS #7, else one per certificate.
    std::vector<std::vector<unsigned long>> files(format == CertFileFormat::Pkcs7 ? 1 : 0);
    for (const Pki::ScopedCertificate& copy : copies) {
        if (format == CertFileFormat::Pkcs7)
            files.front().push_back(copy.get());
        else
            files.push_back({copy.get()});
    }
    bool failed = false;
    for (const std::vector<unsigned long>& file : files) {
        if (WriteCertFile(folder + CertExportFileName(file.front(), format), file, format)) continue;
        if (!failed) MessageBoxNotice(GetLanguageString("STRING_SAVE_CERT_FAIL"), MB_ICONERROR);
        failed = true;
    }
    if (!failed) MessageBoxNotice(GetLanguageString("STRING_SAVE_CERT_SUCCESS"), MB_ICONINFORMATION);
    return false;
}

bool CUIMainFrame::ChooseExportFolder(std::wstring& folder)
{
    BROWSEINFOW info = {};
    info.hwndOwner = m_hWnd;
    info.lpszTitle = L"";
    info.ulFlags = BIF_RETURNONLYFSDIRS | BIF_EDITBOX | BIF_NEWDIALOGSTYLE;
    info.lpfn = &BrowseFolderCallback;
    info.lParam = lastExportFolder.empty() ? 0 : reinterpret_cast<LPARAM>(lastExportFolder.c_str());
    PIDLIST_ABSOLUTE chosen = nullptr;
    {
        CModalLoopScope loop;
        chosen = ::SHBrowseForFolderW(&info);
        if (loop.Abandoned()) {
            // The plug-in was released meanwhile: nothing is exported.
            ::CoTaskMemFree(chosen);
            return false;
        }
    }
    if (!chosen) return false;
    wchar_t path[MAX_PATH] = {};
    const bool ok = ::SHGetPathFromIDListW(chosen, path) && path[0];
    ::CoTaskMemFree(chosen);
    if (!ok) return false;
    lastExportFolder = path;
    folder = lastExportFolder;
    if (folder.back() != L'\\') folder += L'\\';
    return true;
}

unsigned long CUIMainFrame::FindSelectedCert(CContainerUI* nameColumn)
{
    if (!nameColumn) return 0;
    for (int i = 0; i < nameColumn->GetCount(); ++i) {
        auto* button = ControlCast<COptionUI>(
            m_pm_.FindSubControlByName(nameColumn->GetItemAt(i), L"Button_CertDisplayName"));
        if (!button || !button->IsSelected()) continue;
        auto* tag = reinterpret_cast<CertItemTag*>(button->GetTag());
        return tag ? tag->certificate : 0;
    }
    return 0;
}

void CUIMainFrame::SaveCertAs(HWND owner, const std::vector<unsigned long>& certificates)
{
    if (certificates.empty()) return;
    UserSettings& settings = UserSettings::Instance();
    const CertFileFormat offered = CertFileFormatFromText(settings.GetSaveAsFileType());
    const std::wstring fileName = CertExportFileName(certificates.front(), offered);
    // The types in the order of CertFileFormat, so the filter index names the format.
    std::wstring filter;
    for (int i = 0; i < kCertFileFormatCount; ++i) {
        const auto format = static_cast<CertFileFormat>(i);
        filter += CertFileTypeName(format) + L"|*" + CertFileExtension(format) + L"|";
    }
    filter += L"|";
    CFileDialog dialog(FALSE, CertFileExtension(offered), fileName.c_str(),
                       OFN_OVERWRITEPROMPT | OFN_NOCHANGEDIR, filter.c_str(), owner);
    dialog.m_ofn.nFilterIndex = static_cast<DWORD>(offered) + 1;
    if (dialog.DoModal() != IDOK) return;
    const DWORD index = dialog.m_ofn.nFilterIndex;
    const CertFileFormat chosen = index >= 1 && index <= static_cast<DWORD>(kCertFileFormatCount)
                                      ? static_cast<CertFileFormat>(index - 1)
                                      : offered;
    (void)settings.SetSaveAsFileType(CertFileFormatText(chosen));
    if (WriteCertFile(dialog.GetPathName(), certificates, chosen))
        MessageBoxNotice(GetLanguageString("STRING_SAVE_CERT_SUCCESS"), MB_ICONINFORMATION);
    else
        MessageBoxNotice(GetLanguageString("STRING_SAVE_CERT_FAIL"), MB_ICONERROR);
}

bool CUIMainFrame::OnModifyPinClick(TNotifyUI& msg)
{
    if (msg.sType != L"click" || !msg.pSender) return false;
    const auto device = static_cast<unsigned long>(msg.pSender->GetTag());
    m_pinRequestSerials_[device] = msg.pSender->GetUserData();
    ::PostMessageW(m_hWnd, kMsgChangeDevicePin, static_cast<WPARAM>(device), 0);
    return true;
}

void CUIMainFrame::ChangeDevicePin(HWND owner, unsigned long device)
{
    // A device event since the click, or while the dialog was open, freed
    // the handle or gave it to another key: the change ends as a failed
    // one, without the library. A handle no PIN button asked for names no
    // key we know.
    const auto asked = m_pinRequestSerials_.find(device);
    const bool known = asked != m_pinRequestSerials_.end();
    const std::wstring serial = known ? asked->second : std::wstring();  // a copy: a later click may change it
    auto deviceGone = [&] {
        if (known && DeviceRecordList::Instance().HoldsDevice(device, serial)) return false;
        MessageBoxNotice(FormatPinFailText(-1), MB_ICONERROR);
        return true;
    };
    if (deviceGone()) return;
    SecureUtf8String oldPin;
    SecureUtf8String newPin;
    {
        CUIModifyPasswordDlg dialog(device);
        if (dialog.RunModal(owner) != IDOK) return;
        oldPin = ToSecureUtf8(dialog.GetOldPin());
        newPin = ToSecureUtf8(dialog.GetNewPin());
        dialog.WipePins();
    }  // the dialog and its window go before the key is asked
    if (deviceGone()) return;
    ChangePinOnDevice(device, oldPin, newPin);
}

bool CUIMainFrame::ChangePinOnDevice(unsigned long device, SecureUtf8String& oldPin, SecureUtf8String& newPin)
{
    int retries = -1;
    const int result =
        ZentoPKICryptoChangePwd(device, ZENTO_PIN_USER, oldPin.c_str(), newPin.c_str(), &retries);
    // The PINs are of no use to anyone from here on.
    oldPin.Clear();
    newPin.Clear();
    if (result == ZENTO_PKI_OK) {
        MessageBoxNotice(GetLanguageString("STRING_PIN_MODIFY_SUCCESS"), MB_ICONINFORMATION);
        return true;
    }
    MessageBoxNotice(FormatPinFailText(retries), MB_ICONERROR);
    return false;
}

bool CUIMainFrame::OnUnlockPinClick(TNotifyUI& msg)
{
    if (msg.sType == L"click") SendHostCommand(PluginIds::PinUnlock, L"", kHostMsgRunCommand);
    return false;
}

bool CUIMainFrame::OnCertUpdateClick(TNotifyUI& msg)
{
    if (msg.sType == L"click") SendHostCommand(PluginIds::CertRenewal, L"", kHostMsgRunCommand);
    return false;
}

bool CUIMainFrame::OnDisconnectClick(TNotifyUI& msg)
{
    if (msg.sType != L"click" || !msg.pSender) return false;
    const auto device = static_cast<unsigned long>(msg.pSender->GetTag());
    const std::wstring parameters = L"type=" + std::to_wstring(ZentoPKICryptoGetType(device)) + L"|sn=" +
                                    Cert_Util::GetDeviceSerialNumber(device) + L"|opeator=disconnect";
    SendHostCommand(PluginIds::DeviceManagement, parameters, kHostMsgRunDisconnect);
    return false;
}

int CUIMainFrame::MessageBoxNotice(const std::wstring& text, UINT icon)
{
    CModalLoopScope loop;
    return ::MessageBoxW(m_hWnd, text.c_str(), GetLanguageString("STRING_TITLE_NOTICE").c_str(),
                         MB_OK | icon);
}

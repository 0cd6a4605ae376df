// The plug-in's page in the host's settings dialog: six on/off options, the
// reminder lead time, the format of a group export into a folder and a
// button that opens the log folder. Every change is
// written to the user settings at once. The window object deletes itself
// when its window is destroyed (with the host's dialog).
#pragma once

#include "UI/UIWnd.h"

class CUIConfigModuleWnd : public CUIWnd {
public:
    static constexpr const wchar_t* kClassName = L"ZentoLumoraPluginConfigModuleWnd";

    CUIConfigModuleWnd() = default;

    BOOL CreateWnd(CWnd* parent) override;
    std::wstring GetSkinFile() override { return L"ConfigModuleSkin.xml"; }
    void Notify(DuiLib::TNotifyUI& msg) override;

    // Whoever keeps a pointer to this object hands its address here; the
    // pointer is cleared when the object deletes itself. Null unhooks it.
    void SetOwnerLink(CUIConfigModuleWnd** link) { m_ownerLink_ = link; }

protected:
    void InitWindow() override { m_created_ = true; }
    void PostNcDestroy() override;

private:
    void SetUp();
    bool OnLeadTimeChanged(DuiLib::TNotifyUI& msg);
    bool OnExportFormatChanged(DuiLib::TNotifyUI& msg);
    bool OnOpenLogClick(DuiLib::TNotifyUI& msg);

    CUIConfigModuleWnd** m_ownerLink_ = nullptr;
    // Set when WM_CREATE succeeded; a page whose creation failed stays with
    // its creator instead of deleting itself under it.
    bool m_created_ = false;
};

// <user data>\ZENTO\Tamu\Plugin\CertApp\LumoraPlugin\ + "\log": the folder the
// open-log button opens (made when missing); empty when the user's data
// folder cannot be found.
std::wstring GetLogFolderToOpen();

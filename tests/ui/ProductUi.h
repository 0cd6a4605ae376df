// What every test of the plug-in's own windows needs: settings folders in a
// sandbox, the product's language file for a chosen language, the product's
// skin folder, and a place for screenshots under the build tree.
#pragma once

#include <windows.h>

#include <string>

#include "DuiLib/DuiLib.h"
#include "SettingsFolders.h"

namespace productui {

class ProductUi {
public:
    // 2052 Chinese, 1033 English: the repository's two .lng files are
    // installed in the sandbox and the chosen one loaded (a language without
    // its file would fall back to 1033); the skin path points at the
    // repository's skins.
    explicit ProductUi(int languageId = 2052);
    ~ProductUi();
    ProductUi(const ProductUi&) = delete;
    ProductUi& operator=(const ProductUi&) = delete;

    const testsupport::SettingsSandbox& Sandbox() const { return m_sandbox_; }
    // The user's INI as it is on disk now (empty when missing).
    std::string ReadUserIni() const;

private:
    testsupport::SettingsSandbox m_sandbox_;
    std::wstring m_oldSkinPath_;
};

// At 100 % and 150 %: every shown object of the window's accessible tree has
// a role, a name and a place inside the window (failures are added to the
// running test). The window is sized as its skin says at each scale, and
// the manager is back at 96 dpi afterwards.
void ExpectReadableAtBothScales(HWND window, DuiLib::CPaintManagerUI& pm);

// A left click in the middle of a window's client area, as the mouse gives it.
void ClickCentre(HWND window);

// Whether any allocated block of any heap of the process holds these bytes.
bool HeapsHold(const void* bytes, size_t size);

}  // namespace productui

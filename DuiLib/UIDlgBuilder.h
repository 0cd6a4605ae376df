// The dialog builder: turns a skin (file, resource or XML text) into a
// control tree. A "Window" root element carries the window properties, fonts
// and default attributes for the paint manager; any other root element is a
// sub-layout. Element names the toolkit does not know go to the callback.
// A skin that fails yields no control and a "file(line): reason" message.
#pragma once

#include <string>

#include "DuiLib/UIBase.h"
#include "DuiLib/UIMarkup.h"

namespace DuiLib {

class CDialogBuilder {
public:
    // `xml`: a file name under the resource path (or a resource name when
    // `type` is given), or the XML text itself when it starts with '<'.
    CControlUI* Create(const std::wstring& xml, const wchar_t* type = nullptr,
                       IDialogBuilderCallback* callback = nullptr, CPaintManagerUI* manager = nullptr,
                       CControlUI* parent = nullptr);

    // Builds the skin of the last successful Create again from the markup
    // already parsed: a layout repeated many times (one per key or
    // certificate) is read and parsed once. Fails when nothing was loaded.
    CControlUI* CreateAgain(IDialogBuilderCallback* callback = nullptr, CPaintManagerUI* manager = nullptr,
                            CControlUI* parent = nullptr);

    const std::wstring& GetErrorMessage() const { return m_sError; }
    int GetErrorLine() const { return m_iErrorLine; }
    const std::wstring& GetErrorFile() const { return m_sErrorFile; }
    // "file(line): reason", empty after a successful build.
    std::wstring GetErrorText() const;
    // The last failure of any builder in the process (for a window's log).
    static std::wstring GetLastBuildError();
    // Receives "file(line): reason" of failed builds, the first failure of
    // each file only (a layout built again on every refresh is reported
    // once). Setting a reporter, or none, starts the count afresh.
    using FailureReporter = void (*)(const std::wstring& text);
    static void SetFailureReporter(FailureReporter reporter);

private:
    bool Load(const std::wstring& xml, const wchar_t* type);
    CControlUI* BuildLoaded(IDialogBuilderCallback* callback, CPaintManagerUI* manager, CControlUI* parent);
    CControlUI* BuildControl(const CMarkupNode& node, IDialogBuilderCallback* callback,
                             CPaintManagerUI* manager);
    void ApplyWindow(const CMarkupNode& node, CPaintManagerUI* manager);
    void Fail(const std::wstring& message, int line);

    CMarkup m_markup;
    std::wstring m_sError;
    std::wstring m_sErrorFile;
    int m_iErrorLine = 0;
    std::wstring m_sLoadedFile;  // what CreateAgain builds; empty when nothing is loaded
};

}  // namespace DuiLib

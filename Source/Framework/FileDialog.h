// The framework's file dialog: the system's open or save dialog with a
// default extension, a proposed file name, flags and a filter written as
// "Name (*.ext)|*.ext||".
#pragma once

#include <windows.h>
#include <commdlg.h>

#include <string>

class CFileDialog {
public:
    CFileDialog(BOOL openFileDialog, const wchar_t* defaultExt = nullptr, const wchar_t* fileName = nullptr,
                DWORD flags = OFN_HIDEREADONLY | OFN_OVERWRITEPROMPT, const wchar_t* filter = nullptr,
                HWND parent = nullptr);
    virtual ~CFileDialog() = default;
    CFileDialog(const CFileDialog&) = delete;
    CFileDialog& operator=(const CFileDialog&) = delete;

    // IDOK when the user chose a file, IDCANCEL otherwise.
    virtual INT_PTR DoModal();
    std::wstring GetPathName() const;
    std::wstring GetFileName() const;
    std::wstring GetFileExt() const;

    OPENFILENAMEW m_ofn;

private:
    BOOL m_bOpenFileDialog_;
    std::wstring m_defaultExt_;
    std::wstring m_filter_;
    std::wstring m_fileBuffer_;
};

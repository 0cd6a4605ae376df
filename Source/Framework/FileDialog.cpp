// The framework's file dialog; see FileDialog.h.
#include "Framework/FileDialog.h"

#include "DuiLib/ModalLoop.h"

CFileDialog::CFileDialog(BOOL openFileDialog, const wchar_t* defaultExt, const wchar_t* fileName, DWORD flags,
                         const wchar_t* filter, HWND parent)
    : m_ofn(), m_bOpenFileDialog_(openFileDialog)
{
    // Room for long paths; the dialog writes the chosen path here.
    m_fileBuffer_.assign(32768, L'\0');
    if (fileName) m_fileBuffer_.replace(0, wcslen(fileName), fileName);
    if (defaultExt) {
        m_defaultExt_ = defaultExt;
        // The dialog wants the extension without its dot.
        if (!m_defaultExt_.empty() && m_defaultExt_[0] == L'.') m_defaultExt_.erase(0, 1);
    }
    if (filter) {
        m_filter_ = filter;
        for (wchar_t& c : m_filter_) {
            if (c == L'|') c = L'\0';
        }
        m_filter_.push_back(L'\0');
    }
    m_ofn.lStructSize = sizeof(m_ofn);
    m_ofn.hwndOwner = parent;
    m_ofn.lpstrFile = &m_fileBuffer_[0];
    m_ofn.nMaxFile = static_cast<DWORD>(m_fileBuffer_.size());
    m_ofn.lpstrDefExt = m_defaultExt_.empty() ? nullptr : m_defaultExt_.c_str();
    m_ofn.lpstrFilter = m_filter_.empty() ? nullptr : m_filter_.c_str();
    m_ofn.nFilterIndex = m_filter_.empty() ? 0 : 1;
    m_ofn.Flags = flags | OFN_EXPLORER | OFN_ENABLESIZING;
}

INT_PTR CFileDialog::DoModal()
{
    DuiLib::CModalLoopScope loop;
    BOOL ok = m_bOpenFileDialog_ ? GetOpenFileNameW(&m_ofn) : GetSaveFileNameW(&m_ofn);
    return ok && !loop.Abandoned() ? IDOK : IDCANCEL;
}

std::wstring CFileDialog::GetPathName() const
{
    return std::wstring(m_fileBuffer_.c_str());
}

std::wstring CFileDialog::GetFileName() const
{
    std::wstring path = GetPathName();
    size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring CFileDialog::GetFileExt() const
{
    std::wstring name = GetFileName();
    size_t dot = name.find_last_of(L'.');
    return dot == std::wstring::npos ? std::wstring() : name.substr(dot + 1);
}

// Shared pieces of the toolkit's tests; see DuiTestWindow.h.
#include "DuiTestWindow.h"

#include <objidl.h>
#include <algorithm>
namespace Gdiplus {
using std::max;
using std::min;
}  // namespace Gdiplus
#include <gdiplus.h>

#include <cstdlib>

namespace duitest {

using namespace DuiLib;

bool WritePng(const std::wstring& path, int cx, int cy, DWORD argb)
{
    if (!CRenderEngine::EnsureGdiplus()) return false;
    std::vector<DWORD> pixels(static_cast<size_t>(cx) * static_cast<size_t>(cy), argb);
    Gdiplus::Bitmap bmp(cx, cy, cx * 4, PixelFormat32bppARGB, reinterpret_cast<BYTE*>(pixels.data()));
    UINT count = 0, size = 0;
    Gdiplus::GetImageEncodersSize(&count, &size);
    std::vector<BYTE> buffer(size);
    auto* codecs = reinterpret_cast<Gdiplus::ImageCodecInfo*>(buffer.data());
    Gdiplus::GetImageEncoders(count, size, codecs);
    for (UINT i = 0; i < count; ++i) {
        if (wcscmp(codecs[i].MimeType, L"image/png") == 0)
            return bmp.Save(path.c_str(), &codecs[i].Clsid, nullptr) == Gdiplus::Ok;
    }
    return false;
}

SkinFolder::SkinFolder() : m_dir_(L"duilib皮肤"), m_oldPath_(CPaintManagerUI::GetResourcePath())
{
    std::wstring from = testsupport::SourceDir() + L"\\tests\\duilib\\skins\\";
    for (const std::wstring& name : testsupport::ListFiles(from, L"*.xml"))
        CopyFileW((from + name).c_str(), m_dir_.File(name).c_str(), FALSE);
    CreateDirectoryW(m_dir_.File(L"img").c_str(), nullptr);
    WritePng(m_dir_.File(L"img\\green.png"), 8, 8, 0xFF00C000);
    WritePng(m_dir_.File(L"img\\halfblue.png"), 8, 8, 0x800000FF);
    CPaintManagerUI::SetResourcePath(m_dir_.Path());
}

SkinFolder::~SkinFolder()
{
    CPaintManagerUI::SetResourcePath(m_oldPath_);
}

void SkinFolder::WriteText(const std::wstring& name, const std::string& utf8)
{
    testsupport::WriteFileBytes(m_dir_.File(name), utf8);
}

bool TestWindow::Open(bool show, DWORD style, HWND owner)
{
    if (!Create(owner, L"DuiLib test", style, WS_EX_TOOLWINDOW, 100, 100, 300, 200)) return false;
    if (show) ::ShowWindow(m_hWnd, SW_SHOWNOACTIVATE);
    ::UpdateWindow(m_hWnd);
    return true;
}

LRESULT TestWindow::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam)
{
    if (uMsg == WM_CREATE) {
        m_pm.Init(m_hWnd);
        CDialogBuilder builder;
        CControlUI* root = builder.Create(m_skin, nullptr, nullptr, &m_pm);
        if (!root) {
            m_buildError = builder.GetErrorText();
            return -1;
        }
        m_pm.AttachDialog(root);
        m_pm.AddNotifier(this);
        return 0;
    }
    LRESULT result = 0;
    bool handled = m_pm.MessageHandler(uMsg, wParam, lParam, result);
    m_handled[uMsg] = handled;
    if (handled) return result;
    return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
}

void TestWindow::Notify(TNotifyUI& msg)
{
    if (msg.sType == DUI_MSGTYPE_WINDOWINIT) {
        m_windowInitSeen = true;
        ++m_windowInitCount;
    }
    m_record.push_back(
        {msg.sType, msg.pSender ? msg.pSender->GetName() : std::wstring(), msg.wParam, msg.lParam});
}

int TestWindow::CountOf(const std::wstring& type, const std::wstring& sender) const
{
    return static_cast<int>(std::count_if(m_record.begin(), m_record.end(), [&](const Recorded& r) {
        return r.type == type && (sender.empty() || r.sender == sender);
    }));
}

POINT TestWindow::CenterOf(CControlUI* control)
{
    const RECT& rc = control->GetPos();
    return {(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
}

void TestWindow::SendMouse(UINT msg, POINT pt, WPARAM keys)
{
    ::SendMessageW(m_hWnd, msg, keys, MAKELPARAM(pt.x, pt.y));
}

void TestWindow::Click(CControlUI* control)
{
    POINT pt = CenterOf(control);
    SendMouse(WM_MOUSEMOVE, pt);
    SendMouse(WM_LBUTTONDOWN, pt, MK_LBUTTON);
    SendMouse(WM_LBUTTONUP, pt);
}

bool Render(CPaintManagerUI& pm, Pixels& out, int cx, int cy)
{
    if (!pm.RenderToPixels(cx, cy, out.data)) return false;
    if (cx <= 0 || cy <= 0) {
        SIZE sz = pm.GetPaintWindow() ? pm.GetClientSize() : pm.GetInitSize();
        cx = sz.cx;
        cy = sz.cy;
    }
    out.cx = cx;
    out.cy = cy;
    return true;
}

}  // namespace duitest

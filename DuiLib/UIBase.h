// Small shared vocabulary of the toolkit: the attribute text parsers, the
// event and notification records, and the interfaces a window implements to
// take part (notification sink, message filter, builder callback).
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace DuiLib {

class CControlUI;
class CPaintManagerUI;

// ---- Attribute text parsing -------------------------------------------------
// Skin attributes are short texts ("10,4,10,4", "#FF2B6CE0", "true"); every
// parser is forgiving about blanks and answers a clear failure instead of
// guessing when the text is not what it should be.

bool EqualsNoCase(const std::wstring& a, const std::wstring& b);
std::wstring TrimText(const std::wstring& text);
// Whole text as a decimal integer (optional sign, blanks around allowed).
bool ParseInt(const std::wstring& text, int& value);
// Leading decimal integer the way the C library reads it: 0 when none.
int ReadLeadingInt(const std::wstring& text);
// Up to `count` comma separated integers; missing ones stay 0. Returns how
// many were read.
int ParseIntList(const std::wstring& text, int* values, int count);
RECT ParseRect(const std::wstring& text);
SIZE ParseSize(const std::wstring& text);
bool ParseBool(const std::wstring& text);
// "#RRGGBB", "#AARRGGBB", "0xAARRGGBB"; six digits mean an opaque colour.
bool ParseColor(const std::wstring& text, DWORD& argb);

// Text conversions, the one implementation for the toolkit and the plug-in.
std::wstring MultiByteToWide(UINT codePage, const std::string& text);
std::string WideToMultiByte(UINT codePage, const std::wstring& text);
std::wstring Utf8ToWide(const std::string& text);
std::string WideToUtf8(const std::wstring& text);

inline COLORREF ArgbToColorRef(DWORD argb)
{
    return RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF);
}
inline BYTE ArgbAlpha(DWORD argb)
{
    return static_cast<BYTE>(argb >> 24);
}

inline int RectWidth(const RECT& rc)
{
    return rc.right - rc.left;
}
inline int RectHeight(const RECT& rc)
{
    return rc.bottom - rc.top;
}
inline bool RectEmpty(const RECT& rc)
{
    return rc.right <= rc.left || rc.bottom <= rc.top;
}

// ---- Events inside the control tree -----------------------------------------

enum UIEventType {
    UIEVENT_FIRST = 0,
    UIEVENT_MOUSEMOVE,
    UIEVENT_MOUSEENTER,
    UIEVENT_MOUSELEAVE,
    UIEVENT_MOUSEHOVER,
    UIEVENT_BUTTONDOWN,
    UIEVENT_BUTTONUP,
    UIEVENT_DBLCLICK,
    UIEVENT_RBUTTONDOWN,
    UIEVENT_RBUTTONUP,
    UIEVENT_SCROLLWHEEL,
    UIEVENT_KEYDOWN,
    UIEVENT_KEYUP,
    UIEVENT_CHAR,
    UIEVENT_SETFOCUS,
    UIEVENT_KILLFOCUS,
    UIEVENT_SETCURSOR,
    UIEVENT_TIMER,
    UIEVENT_LAST
};

struct TEventUI {
    int Type = UIEVENT_FIRST;
    CControlUI* pSender = nullptr;
    DWORD dwTimestamp = 0;
    POINT ptMouse = {0, 0};
    wchar_t chKey = 0;
    WORD wKeyState = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

// The record every notification carries to the window.
struct TNotifyUI {
    std::wstring sType;
    CControlUI* pSender = nullptr;
    DWORD dwTimestamp = 0;
    POINT ptMouse = {0, 0};
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

// Notification type texts, exactly as the windows compare them.
constexpr const wchar_t* DUI_MSGTYPE_WINDOWINIT = L"windowinit";
constexpr const wchar_t* DUI_MSGTYPE_CLICK = L"click";
constexpr const wchar_t* DUI_MSGTYPE_SELECTCHANGED = L"selectchanged";
constexpr const wchar_t* DUI_MSGTYPE_ITEMSELECT = L"itemselect";
constexpr const wchar_t* DUI_MSGTYPE_TEXTCHANGED = L"textchanged";
constexpr const wchar_t* DUI_MSGTYPE_DBCLICK = L"dbclick";
constexpr const wchar_t* DUI_MSGTYPE_RCLICK = L"rclick";
constexpr const wchar_t* DUI_MSGTYPE_SETFOCUS = L"setfocus";
constexpr const wchar_t* DUI_MSGTYPE_KILLFOCUS = L"killfocus";
constexpr const wchar_t* DUI_MSGTYPE_DROPDOWN = L"dropdown";
constexpr const wchar_t* DUI_MSGTYPE_RETURN = L"return";

class INotifyUI {
public:
    virtual void Notify(TNotifyUI& msg) = 0;

protected:
    ~INotifyUI() = default;
};

class IMessageFilterUI {
public:
    virtual LRESULT MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) = 0;

protected:
    ~IMessageFilterUI() = default;
};

// Asked by the dialog builder for element names it does not know itself.
class IDialogBuilderCallback {
public:
    virtual CControlUI* CreateControl(const wchar_t* pstrClass) = 0;

protected:
    ~IDialogBuilderCallback() = default;
};

// Sink for browser-control events. The toolkit hosts no browser, so nothing
// ever calls these; windows derive from it only to keep their declared shape,
// and every operation answers "nothing to do".
class CWebBrowserEventHandler {
public:
    virtual ~CWebBrowserEventHandler() = default;
    virtual void BeforeNavigate2(const wchar_t* /*url*/, bool& /*cancel*/) {}
    virtual void NavigateError(const wchar_t* /*url*/, long /*statusCode*/, bool& /*cancel*/) {}
    virtual void NavigateComplete2(const wchar_t* /*url*/) {}
    virtual void ProgressChange(long /*progress*/, long /*progressMax*/) {}
    virtual void NewWindow3(bool& /*cancel*/, const wchar_t* /*url*/) {}
    virtual void CommandStateChange(long /*command*/, bool /*enable*/) {}
    virtual HRESULT ShowContextMenu(DWORD /*id*/, POINT* /*pt*/) { return S_OK; }
    virtual HRESULT GetHostInfo(void* /*info*/) { return S_OK; }
    virtual HRESULT TranslateAccelerator(MSG* /*msg*/) { return S_FALSE; }
    virtual HRESULT GetExternal(void** external)
    {
        if (external) *external = nullptr;
        return S_OK;
    }
};

// ---- Per-control notification event ------------------------------------------
// A window adds member functions; each receives the notification and answers
// whether it handled it.
using NotifyHandler = std::function<bool(TNotifyUI&)>;

class CEventSource {
public:
    void operator+=(NotifyHandler handler)
    {
        if (handler) m_handlers_.push_back(std::move(handler));
    }
    // Calls every handler in the order they were added; true when any of
    // them handled the notification.
    bool operator()(TNotifyUI& msg) const
    {
        bool handled = false;
        // A handler may add another one (or rebuild the page): iterate a copy.
        std::vector<NotifyHandler> handlers = m_handlers_;
        for (const NotifyHandler& h : handlers) {
            if (h(msg)) handled = true;
        }
        return handled;
    }
    bool IsEmpty() const { return m_handlers_.empty(); }
    size_t GetCount() const { return m_handlers_.size(); }
    void Clear() { m_handlers_.clear(); }

private:
    std::vector<NotifyHandler> m_handlers_;
};

template <class T>
NotifyHandler MakeDelegate(T* object, bool (T::*method)(TNotifyUI&))
{
    return [object, method](TNotifyUI& msg) { return (object->*method)(msg); };
}

}  // namespace DuiLib

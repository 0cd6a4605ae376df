// The paint manager: one per window. It owns the control tree, lays it out,
// paints it double-buffered, turns window messages into control events and
// control actions into notifications, keeps hover, capture and focus, and
// holds the window properties and fonts a skin declares. Its static side is
// the process-wide state: module instance, resource path, the registry of
// control classes and the image cache.
#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "DuiLib/UIAccessible.h"
#include "DuiLib/UIBase.h"
#include "DuiLib/UIControl.h"
#include "DuiLib/ScopedWin.h"

namespace DuiLib {

class COptionUI;
class CEditUI;
class CAccessibleHost;

enum UILIB_RESOURCETYPE {
    UILIB_FILE = 1,      // skins and images are files under the resource path
    UILIB_RESOURCE = 2,  // skins are resources of the module instance
};

using ControlFactory = std::function<CControlUI*()>;

class CPaintManagerUI {
public:
    CPaintManagerUI();
    ~CPaintManagerUI();
    CPaintManagerUI(const CPaintManagerUI&) = delete;
    CPaintManagerUI& operator=(const CPaintManagerUI&) = delete;

    // ---- Process-wide -------------------------------------------------------------
    static void SetInstance(HINSTANCE instance);
    static HINSTANCE GetInstance();
    // Folder of skin files and images; a trailing backslash is added.
    static void SetResourcePath(const std::wstring& path);
    static const std::wstring& GetResourcePath();
    static void SetResourceType(UILIB_RESOURCETYPE type);
    static UILIB_RESOURCETYPE GetResourceType();
    // Extra control classes for every builder of the process.
    static void RegisterControlClass(const std::wstring& elementName, ControlFactory factory);
    static CControlUI* CreateRegisteredControl(const std::wstring& elementName);
    // Frees the process-wide shared objects (control-class registry, image
    // cache, GDI+). Called when the library that uses the toolkit unloads;
    // everything is made again on first use afterwards.
    static void ReleaseSharedResources();
    // Destroys the window of every manager of the process (the objects stay):
    // what the toolkit shows goes before the library that made it.
    static void DestroyAllWindows();
    // Queued-message filter for message loops: the managers of the target
    // window (or its ancestors) see the message first. True when consumed.
    static bool TranslateMessage(const MSG* msg);
    // The system announces new colours, a high-contrast switch and other
    // settings to top-level windows only. While listening, a hidden
    // top-level window of the toolkit hears them and repaints every toolkit
    // window, child windows included, whatever other windows exist. False
    // when the window cannot be made.
    static bool ListenForSystemChanges();
    static void StopListeningForSystemChanges();
    static bool IsListeningForSystemChanges();

    // ---- Window -------------------------------------------------------------------
    void Init(HWND hWnd);
    HWND GetPaintWindow() const { return m_hWndPaint; }
    POINT GetMousePos() const { return m_ptLastMousePos; }
    SIZE GetClientSize() const;

    // Window properties from the skin's root element (96-dpi values are kept;
    // the getters answer pixels at the window's dpi).
    SIZE GetInitSize() const;
    void SetInitSize(int cx, int cy);
    RECT GetSizeBox() const;
    void SetSizeBox(const RECT& rc) { m_rcSizeBox = rc; }
    RECT GetCaptionRect() const;
    void SetCaptionRect(const RECT& rc) { m_rcCaption = rc; }
    SIZE GetRoundCorner() const;
    void SetRoundCorner(int cx, int cy) { m_szRoundCorner = {cx, cy}; }
    SIZE GetMinInfo() const;
    void SetMinInfo(int cx, int cy) { m_szMinWindow = {cx, cy}; }
    SIZE GetMaxInfo() const;
    void SetMaxInfo(int cx, int cy) { m_szMaxWindow = {cx, cy}; }
    DWORD GetWindowBkColor() const { return m_dwWindowBkColor; }
    void SetWindowBkColor(DWORD argb) { m_dwWindowBkColor = argb; }

    // ---- DPI ----------------------------------------------------------------------
    int GetDPI() const { return m_nDpi; }
    // Changes the scale of everything: fonts are made again, the tree laid out.
    void SetDPI(int dpi);
    int ScaleValue(int value) const { return MulDiv(value, m_nDpi, 96); }

    // ---- Fonts --------------------------------------------------------------------
    // Adds font `id` (size in 96-dpi pixels). A family that cannot be made
    // falls back to the system's default GUI font family.
    void AddFont(int id, const std::wstring& face, int size, bool bold, bool underline, bool italic,
                 bool isDefault = false);
    HFONT GetFont(int id);
    HFONT GetDefaultFont();
    int GetFontHeight(int id);
    // The family actually used for font `id` (after any fall-back).
    std::wstring GetFontFace(int id);
    DWORD GetDefaultTextColor() const { return m_dwDefaultTextColor; }
    void SetDefaultTextColor(DWORD argb) { m_dwDefaultTextColor = argb; }
    DWORD GetDefaultDisabledColor() const { return m_dwDefaultDisabledColor; }
    void SetDefaultDisabledColor(DWORD argb) { m_dwDefaultDisabledColor = argb; }

    // ---- Default attributes per control class (element name) ---------------------------
    void AddDefaultAttributeList(const std::wstring& elementName, const std::wstring& attributes);
    std::wstring GetDefaultAttributeList(const std::wstring& elementName) const;

    // ---- Tree ---------------------------------------------------------------------
    bool AttachDialog(CControlUI* root);
    CControlUI* GetRoot() const { return m_pRoot; }
    CControlUI* FindControl(const std::wstring& name) const;
    CControlUI* FindControl(POINT pt);
    CControlUI* FindSubControlByName(CControlUI* parent, const std::wstring& name) const;
    // Lays the tree out when something changed; the first layout sends
    // "windowinit".
    void UpdateLayout();
    void NeedUpdate();
    void Invalidate(const RECT& rc);
    void Invalidate();

    // Forgets every reference to the control and its descendants (hover,
    // capture, focus, option groups).
    void ReapObjects(CControlUI* control);
    // Deletes a removed control once the message being handled is done, so a
    // handler may remove the very control that notified it.
    void DestroyControlLater(CControlUI* control);

    // ---- Focus and keyboard -------------------------------------------------------------
    CControlUI* GetFocus() const { return m_pFocus; }
    void SetFocus(CControlUI* control);
    // The focused control was hidden or disabled: nobody has the focus until
    // the next layout gives it to the first tab stop.
    void FocusGone(CControlUI* control);
    // Records the focus without moving the system focus (native child windows
    // call this when they get it themselves).
    void SetFocusNeeded(CControlUI* control);
    // SetFocus while this window's top-level window is the active one; else
    // the control is only remembered, to get the focus when the window does,
    // and no other window loses its activation to this one.
    void FocusIfActive(CControlUI* control);
    // Tab, Shift+Tab, Enter and Escape; true when the key was used.
    bool HandleDialogKey(UINT vk, bool shift);
    bool SetNextTabControl(bool forward = true);
    // The controls Tab visits, in order: visible and enabled tab stops sorted
    // by "taborder", options of one group as a single stop (the selected one,
    // else the first), as a list box or a radio group is one stop in Windows.
    std::vector<CControlUI*> GetTabStops();
    // Up/Down/Left/Right/Home/End inside the focused option's group: focus
    // and choose the neighbour in reading order; true when the key was used.
    bool MoveInOptionGroup(UINT vk);
    // The option group of `option` that is visible now, in reading order.
    std::vector<COptionUI*> GetVisibleGroupMembers(COptionUI* option) const;
    // Shift+F10 or the context-menu key: the focused control gets "rclick"
    // as if clicked at its lower left corner; true when there was one.
    bool ShowKeyboardContextMenu();
    // Whether the focus indicator shows (after keyboard use, or always when
    // the system asks for keyboard cues).
    bool AreFocusCuesShown() const { return m_bFocusCues; }
    void ShowFocusCues();

    // ---- Accessibility (UIAccessible.h) -------------------------------------------------
    // Sends a WinEvent for a control of this window (null: the window's client
    // object). Name, value and state changes go only once a client has asked
    // for the window's accessible object; focus, selection and alerts always.
    // `window`: a window of the control other than this one's (a combo's
    // drop-down list), which then carries the event.
    void NotifyAccessibleEvent(DWORD event, CControlUI* control, HWND window = nullptr);
    // What a rebuild changes is told as structure, not control by control:
    // a container whose children came, went, showed or hid gets one
    // EVENT_OBJECT_REORDER after the next layout; an object of its own shown
    // or hidden gets EVENT_OBJECT_SHOW or _HIDE.
    void NoteChildrenChanged(CControlUI* container);
    void NoteVisibilityChanged(CControlUI* control);
    // EVENT_SYSTEM_ALERT for the first visible control whose role is "alert".
    void NotifyAlert();
    long RegisterAccessibleId(CControlUI* control);
    CControlUI* FindAccessibleId(long id) const;
    bool HasAccessibleClients() const { return m_accessible != nullptr; }
    // The answer to WM_GETOBJECT for this window, or, with `control`, for a
    // native child window standing for that control (an edit): false when
    // there is none (default processing then answers).
    bool AnswerGetObject(WPARAM wParam, LPARAM lParam, CControlUI* control, LRESULT& lRes,
                         AccessibleView view = AccessibleView::Control);

    // ---- Option groups ------------------------------------------------------------
    void AddOptionGroup(const std::wstring& group, COptionUI* option);
    void RemoveOptionGroup(const std::wstring& group, COptionUI* option);
    const std::vector<COptionUI*>* GetOptionGroup(const std::wstring& group) const;

    // ---- Notifications --------------------------------------------------------------
    bool AddNotifier(INotifyUI* notifier);
    bool RemoveNotifier(INotifyUI* notifier);
    void SendNotify(CControlUI* control, const std::wstring& type, WPARAM wParam = 0, LPARAM lParam = 0);
    bool AddPreMessageFilter(IMessageFilterUI* filter);
    bool RemovePreMessageFilter(IMessageFilterUI* filter);
    bool AddMessageFilter(IMessageFilterUI* filter);
    bool RemoveMessageFilter(IMessageFilterUI* filter);

    // ---- Messages -------------------------------------------------------------------
    // True when the message was handled; lRes is then its result.
    bool MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes);
    bool PreMessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes);

    // ---- Rendering without a screen --------------------------------------------------
    // Paints the whole tree at the given size (0: the client size) into a
    // 32-bit top-down pixel buffer (BGRA).
    bool RenderToPixels(int cx, int cy, std::vector<DWORD>& pixels);
    bool SaveSnapshot(const std::wstring& pngPath, int cx = 0, int cy = 0);

    // Tooltip window (null until a control with a tooltip was hovered).
    HWND GetTooltipWindow() const { return m_hwndTooltip; }
    UINT GetHoverTime() const;

    // False once this manager is destroyed; lets code that called out to a
    // handler notice that the handler destroyed the window.
    std::shared_ptr<bool> GetAliveToken() const { return m_alive; }

private:
    struct FontEntry {
        std::wstring requestedFace;
        std::wstring face;
        int size = 12;
        bool bold = false;
        bool underline = false;
        bool italic = false;
        ScopedFont hFont;
        int height = 0;
    };
    FontEntry* FindFontEntry(int id);
    void LayoutTo(const RECT& rc);
    bool FireEvent(CControlUI* control, int type, POINT pt, WPARAM wParam, LPARAM lParam);
    bool HandleMessageInner(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes);
    void MakeFont(FontEntry& entry);
    void ReleaseFonts();
    void PaintWindow();
    void PaintTree(HDC hdc, const RECT& rcClient, const RECT& rcPaint);
    void PaintFocusIndicator(HDC hdc, const RECT& rcPaint);
    void PointAtFocus();
    void RestoreFocusIfLost();
    void FlushReorders();
    // The root's role is a menu: it opens and closes with menu events and
    // its first item takes the focus with the window.
    bool IsMenuWindow() const;
    void OnSetFocusMessage();
    // The keyboard's messages (UIKeyboard.cpp); true when handled.
    bool HandleKeyboardMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes);
    bool PreTranslateKey(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes);
    void ShowTooltip(CControlUI* control, POINT pt);
    void HideTooltip();
    void ReleaseOffscreen();
    void FlushDelayedCleanup();
    static bool IsSelfOrDescendant(const CControlUI* candidate, const CControlUI* ancestor);

    HWND m_hWndPaint = nullptr;
    CControlUI* m_pRoot = nullptr;
    CControlUI* m_pFocus = nullptr;
    CControlUI* m_pEventHover = nullptr;
    CControlUI* m_pEventClick = nullptr;
    CControlUI* m_pEventRClick = nullptr;
    CControlUI* m_pTooltipOwner = nullptr;
    POINT m_ptLastMousePos = {-1, -1};
    bool m_bMouseTracking = false;
    bool m_bUpdateNeeded = false;
    bool m_bFirstLayout = true;
    bool m_bLayingOut = false;
    int m_nDispatchDepth = 0;
    int m_nDpi = 96;

    SIZE m_szInitWindow = {0, 0};
    SIZE m_szMinWindow = {0, 0};
    SIZE m_szMaxWindow = {0, 0};
    SIZE m_szRoundCorner = {0, 0};
    RECT m_rcSizeBox = {0, 0, 0, 0};
    RECT m_rcCaption = {0, 0, 0, 0};
    DWORD m_dwWindowBkColor = 0xFFFFFFFF;
    DWORD m_dwDefaultTextColor = 0xFF1F1F1F;
    DWORD m_dwDefaultDisabledColor = 0xFFA0A0A0;

    std::map<int, FontEntry> m_fonts;
    int m_nDefaultFontId = -1;
    FontEntry m_builtinFont;
    std::map<std::wstring, std::wstring> m_defaultAttributes;
    std::map<std::wstring, std::vector<COptionUI*>> m_optionGroups;
    std::vector<INotifyUI*> m_notifiers;
    std::vector<IMessageFilterUI*> m_preFilters;
    std::vector<IMessageFilterUI*> m_filters;
    std::vector<CControlUI*> m_delayedCleanup;

    HWND m_hwndTooltip = nullptr;
    bool m_bTooltipAdded = false;
    std::wstring m_sTooltipText;
    std::shared_ptr<bool> m_alive;

    bool m_bFocusCues = false;
    bool m_bLastInputKeyboard = false;
    bool m_bFocusLost = false;
    bool m_bTakingFocus = false;
    bool m_bKeyboardMenuOpened = false;
    long m_nextAccId = 1;
    std::map<long, CControlUI*> m_accIds;
    std::unique_ptr<CAccessibleHost> m_accessible;
    bool m_bWindowDestroyed = false;
    // The tree has been laid out and shown once: before that a client has
    // nothing to be told about changes of.
    bool m_bPresented = false;
    std::vector<CControlUI*> m_reorderPending;

    // Declared so they go in the right order: the bitmap is selected out of
    // the DC, then the DC goes, then the bitmap.
    ScopedBitmap m_hbmpOffscreen;
    ScopedCreatedDC m_hDcOffscreen;
    std::optional<ScopedSelectObject> m_offscreenSelection;
    void* m_pOffscreenBits = nullptr;
    SIZE m_szOffscreen = {0, 0};
};

}  // namespace DuiLib

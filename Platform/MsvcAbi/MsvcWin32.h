// Win32 as binaries built for Microsoft's C++ ABI see it here. They are what
// a user's machine runs beside the plug-in (the maker's language library, a
// host), so they are compiled the way those are: clang for the
// *-pc-windows-msvc targets and lld-link. Debian has no Windows SDK for that
// target and MinGW's headers do not parse in MSVC mode, so the few functions
// these binaries call are declared here, exactly as the SDK declares them.
#pragma once

#define WINAPI __stdcall
#define MSVC_IMPORT extern "C" __declspec(dllimport)

typedef int BOOL;
typedef unsigned char BYTE;
typedef unsigned short WORD;
typedef unsigned long DWORD;
typedef long LONG;
typedef unsigned int UINT;
typedef __INTPTR_TYPE__ LONG_PTR;
typedef __UINTPTR_TYPE__ UINT_PTR;
typedef LONG_PTR LPARAM;
typedef UINT_PTR WPARAM;
typedef LONG_PTR LRESULT;
typedef __SIZE_TYPE__ SIZE_T;
typedef void* HANDLE;
typedef struct HINSTANCE__* HINSTANCE;
typedef HINSTANCE HMODULE;
typedef struct HWND__* HWND;
typedef struct HMENU__* HMENU;
typedef struct HICON__* HICON;
typedef struct HCURSOR__* HCURSOR;
typedef struct HBRUSH__* HBRUSH;
typedef wchar_t* BSTR;
typedef void* FARPROC_;

struct SRWLOCK { void* ptr; };
struct POINT { LONG x, y; };
struct RECT { LONG left, top, right, bottom; };
struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
};
typedef LRESULT(WINAPI* WNDPROC)(HWND, UINT, WPARAM, LPARAM);
typedef void(WINAPI* TIMERPROC)(HWND, UINT, UINT_PTR, DWORD);
struct WNDCLASSW {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra, cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    const wchar_t* lpszMenuName;
    const wchar_t* lpszClassName;
};
struct GUID {
    DWORD Data1;
    WORD Data2, Data3;
    BYTE Data4[8];
};

#define INVALID_HANDLE_VALUE ((HANDLE)(LONG_PTR)-1)
#define GENERIC_READ 0x80000000UL
#define GENERIC_WRITE 0x40000000UL
#define FILE_SHARE_READ 1
#define FILE_SHARE_WRITE 2
#define FILE_SHARE_DELETE 4
#define CREATE_ALWAYS 2
#define OPEN_EXISTING 3
#define FILE_ATTRIBUTE_NORMAL 0x80
#define CP_UTF8 65001
#define STD_OUTPUT_HANDLE ((DWORD)-11)
#define HEAP_ZERO_MEMORY 8
#define DLL_PROCESS_ATTACH 1
#define WS_OVERLAPPEDWINDOW 0x00CF0000L
#define WS_CHILD 0x40000000L
#define WS_VISIBLE 0x10000000L
#define WS_CLIPCHILDREN 0x02000000L
#define WM_DESTROY 0x0002
#define WM_TIMER 0x0113
#define PM_REMOVE 1
#define PAGE_READWRITE 4
#define FILE_MAP_ALL_ACCESS 0xF001F

MSVC_IMPORT HANDLE WINAPI GetProcessHeap();
MSVC_IMPORT void* WINAPI HeapAlloc(HANDLE heap, DWORD flags, SIZE_T bytes);
MSVC_IMPORT BOOL WINAPI HeapFree(HANDLE heap, DWORD flags, void* memory);
MSVC_IMPORT void WINAPI AcquireSRWLockExclusive(SRWLOCK* lock);
MSVC_IMPORT void WINAPI ReleaseSRWLockExclusive(SRWLOCK* lock);
MSVC_IMPORT HANDLE WINAPI CreateFileW(const wchar_t* path, DWORD access, DWORD share, void* security,
                                      DWORD disposition, DWORD flags, HANDLE templateFile);
MSVC_IMPORT BOOL WINAPI ReadFile(HANDLE file, void* buffer, DWORD bytes, DWORD* read, void* overlapped);
MSVC_IMPORT BOOL WINAPI WriteFile(HANDLE file, const void* buffer, DWORD bytes, DWORD* written, void* overlapped);
MSVC_IMPORT BOOL WINAPI GetFileSizeEx(HANDLE file, long long* size);
MSVC_IMPORT BOOL WINAPI CloseHandle(HANDLE handle);
MSVC_IMPORT int WINAPI MultiByteToWideChar(UINT codePage, DWORD flags, const char* text, int bytes, wchar_t* out,
                                           int chars);
MSVC_IMPORT int WINAPI WideCharToMultiByte(UINT codePage, DWORD flags, const wchar_t* text, int chars, char* out,
                                           int bytes, const char* defaultChar, BOOL* usedDefault);
MSVC_IMPORT HANDLE WINAPI GetStdHandle(DWORD which);
MSVC_IMPORT void WINAPI ExitProcess(UINT code);
MSVC_IMPORT wchar_t* WINAPI GetCommandLineW();
MSVC_IMPORT HMODULE WINAPI LoadLibraryW(const wchar_t* path);
MSVC_IMPORT BOOL WINAPI FreeLibrary(HMODULE module);
MSVC_IMPORT FARPROC_ WINAPI GetProcAddress(HMODULE module, const char* name);
MSVC_IMPORT HMODULE WINAPI GetModuleHandleW(const wchar_t* name);
MSVC_IMPORT HANDLE WINAPI CreateFileMappingW(HANDLE file, void* security, DWORD protect, DWORD sizeHigh,
                                             DWORD sizeLow, const wchar_t* name);
MSVC_IMPORT void* WINAPI MapViewOfFile(HANDLE mapping, DWORD access, DWORD offsetHigh, DWORD offsetLow,
                                       SIZE_T bytes);
MSVC_IMPORT BOOL WINAPI UnmapViewOfFile(const void* view);
MSVC_IMPORT DWORD WINAPI GetTickCount();
MSVC_IMPORT void WINAPI Sleep(DWORD milliseconds);

MSVC_IMPORT unsigned short WINAPI RegisterClassW(const WNDCLASSW* wc);
MSVC_IMPORT HWND WINAPI CreateWindowExW(DWORD exStyle, const wchar_t* className, const wchar_t* title, DWORD style,
                                        int x, int y, int cx, int cy, HWND parent, HMENU menu, HINSTANCE instance,
                                        void* param);
MSVC_IMPORT BOOL WINAPI DestroyWindow(HWND window);
MSVC_IMPORT BOOL WINAPI IsWindow(HWND window);
MSVC_IMPORT HWND WINAPI GetParent(HWND window);
MSVC_IMPORT int WINAPI GetClassNameW(HWND window, wchar_t* name, int chars);
MSVC_IMPORT LRESULT WINAPI DefWindowProcW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
MSVC_IMPORT LRESULT WINAPI SendMessageW(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
MSVC_IMPORT BOOL WINAPI PeekMessageW(MSG* msg, HWND window, UINT first, UINT last, UINT remove);
MSVC_IMPORT BOOL WINAPI TranslateMessage(const MSG* msg);
MSVC_IMPORT LRESULT WINAPI DispatchMessageW(const MSG* msg);
MSVC_IMPORT UINT_PTR WINAPI SetTimer(HWND window, UINT_PTR id, UINT milliseconds, TIMERPROC proc);
MSVC_IMPORT BOOL WINAPI KillTimer(HWND window, UINT_PTR id);

MSVC_IMPORT BSTR WINAPI SysAllocString(const wchar_t* text);
MSVC_IMPORT void WINAPI SysFreeString(BSTR text);
MSVC_IMPORT UINT WINAPI SysStringLen(BSTR text);

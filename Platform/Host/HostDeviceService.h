// The substitute host's device service over a token-store folder: every
// sub-folder holding a token.ini is a present token. Hands out fresh PKI
// device handles, watches the folder for tokens that appear or disappear, and
// inserts or removes tokens for automation. Independent of the rest of the host.
#pragma once

#include <windows.h>

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class HostDeviceService {
public:
    explicit HostDeviceService(const std::wstring& storeFolder);
    ~HostDeviceService();
    HostDeviceService(const HostDeviceService&) = delete;
    HostDeviceService& operator=(const HostDeviceService&) = delete;

    // Present tokens, ordered by folder name.
    long Count();
    // A new device handle for the token at index (the receiver frees it with
    // ZentoPKICryptoFreeDevice), or 0.
    unsigned long OpenDevice(long index);

    // Called on the thread that set it (the host's UI thread, through a
    // hidden window's messages) whenever the set of tokens changed: a token
    // folder came or went, or a folder now holds another token (another
    // serial, or the folder was made anew), even when the names in the store
    // are the same again by the next look. Setting it starts the folder
    // watch; an empty function stops calling.
    void SetChangeCallback(std::function<void()> callback);

    // Copies a token folder into the store under its own folder name; it
    // appears at once and complete. False when it is not a token or the name
    // is taken.
    bool InsertToken(const std::wstring& sourceFolder);
    // Takes the token with that serial number (letter case ignored) out of the
    // store. False when there is none.
    bool RemoveToken(const std::wstring& serial);

    const std::wstring& StoreFolder() const { return m_store_; }
    std::vector<std::wstring> TokenFolders() const;

private:
    static LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    // What the watch compares: per token its folder, serial and the folder's
    // identity on disk (volume and file index), and the count of inserts and removals made here.
    struct Signature {
        std::vector<std::wstring> tokens;
        unsigned long changes = 0;
        bool operator!=(const Signature& other) const
        {
            return tokens != other.tokens || changes != other.changes;
        }
    };
    Signature TakeSignature();
    void WatchLoop(Signature known);
    void StopWatch();

    std::wstring m_store_;
    std::function<void()> m_callback_;
    HWND m_window_ = nullptr;
    HANDLE m_stopEvent_ = nullptr;
    std::thread m_watcher_;
    // Held while inserting or removing and while the watch takes its
    // signature, so a look sees an insert or removal whole or not at all.
    std::mutex m_storeLock_;
    unsigned long m_changes_ = 0;
};

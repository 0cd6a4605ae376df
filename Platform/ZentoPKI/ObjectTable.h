// Every handle and buffer ZENTO_CRYPTO hands out lives in this table. Handle
// numbers are never reused within a process, so a second free of a handle is
// recognised as such instead of releasing an unrelated newer object; it is
// refused and counted, and tests read the counts through the exports. A test
// may ask for the habit of other libraries instead: the newest freed number
// of a kind is handed out again first.
#pragma once

#include <windows.h>
#include <wincrypt.h>

#include <map>
#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

namespace zento {

struct CertContextDeleter {
    void operator()(PCCERT_CONTEXT context) const
    {
        if (context) CertFreeCertificateContext(context);
    }
};
using CertContextPtr = std::unique_ptr<const CERT_CONTEXT, CertContextDeleter>;

enum class ObjectKind { Device, Keypair, Certificate };

struct PkiObject {
    ObjectKind kind = ObjectKind::Device;
    std::wstring folder;                     // device: token folder; key pair: its folder
    std::vector<std::wstring> certificates;  // key pair: certificate files, in index order
    CertContextPtr certificate;              // certificate
};

class ObjectTable {
public:
    static ObjectTable& Instance();

    unsigned long Add(PkiObject object);
    // Borrows the live object of that kind, or nullptr. Callers hold Lock()
    // for as long as they use the pointer.
    PkiObject* Find(unsigned long handle, ObjectKind kind);
    // Releases a live object; false (and one more bad free) otherwise.
    bool Remove(unsigned long handle, ObjectKind kind);

    // Buffers handed to callers, freed by ZentoPKICryptoFreeMemory.
    void* AllocBuffer(size_t size);
    bool FreeBuffer(void* buffer);

    long LiveCount();
    long BadFreeCount();
    // Whether freed handle numbers are handed out again; returns the setting before.
    bool SetReuseFreedHandles(bool reuse);

    std::unique_lock<std::recursive_mutex> Lock() { return std::unique_lock<std::recursive_mutex>(m_lock_); }

private:
    ObjectTable() = default;
    std::recursive_mutex m_lock_;
    std::map<unsigned long, PkiObject> m_objects_;
    std::set<void*> m_buffers_;
    unsigned long m_next_ = 0x00010001;
    long m_badFrees_ = 0;
    bool m_reuse_ = false;
    std::map<ObjectKind, std::vector<unsigned long>> m_freed_;  // newest last
};

// Copies into a new counted buffer; the text variants add a NUL.
char* NewTextBuffer(const std::string& text);
unsigned char* NewByteBuffer(const void* bytes, size_t size);

}  // namespace zento

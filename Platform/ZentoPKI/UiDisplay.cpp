// ZENTO_CRYPTO_UI: the system certificate dialog for a certificate handle.
// cryptui has no import library in our tool chain, so it is bound at run time.
#include <windows.h>
#include <wincrypt.h>
#include <prsht.h>
#include <cryptuiapi.h>

#include <memory>

#include "Guard.h"
#include "Cert/ZentoPKI.h"

using namespace zento;

namespace {

struct CertDeleter {
    void operator()(PCCERT_CONTEXT c) const
    {
        if (c) CertFreeCertificateContext(c);
    }
};
struct LibraryDeleter {
    void operator()(HMODULE m) const
    {
        if (m) FreeLibrary(m);
    }
};

typedef BOOL(WINAPI* ViewContextFn)(DWORD, const void*, HWND, LPCWSTR, DWORD, void*);

}  // namespace

extern "C" int __cdecl ZentoPKIUIDisplayCert(HWND parent, unsigned long certificate)
{
    return Guarded(0, [&]() -> int {
        unsigned char* der = nullptr;
        unsigned long length = 0;
        if (ZentoPKICertGetCertEncode(certificate, ZENTO_ENCODE_DER, &der, &length) != ZENTO_PKI_OK) return 0;
        std::unique_ptr<const CERT_CONTEXT, CertDeleter> context(
            CertCreateCertificateContext(X509_ASN_ENCODING, der, length));
        ZentoPKICryptoFreeMemory(der);
        if (!context) return 0;
        std::unique_ptr<HINSTANCE__, LibraryDeleter> cryptui(LoadLibraryW(L"cryptui.dll"));
        if (!cryptui) return 0;
        auto view = reinterpret_cast<ViewContextFn>(GetProcAddress(cryptui.get(), "CryptUIDlgViewContext"));
        if (!view) return 0;
        // Modal over the parent: returns when the user closes the dialog.
        return view(CERT_STORE_CERTIFICATE_CONTEXT, context.get(), parent, nullptr, 0, nullptr) ? 1 : 0;
    });
}

// The simulated token of the stand-in: a folder with token.ini (UTF-8, section
// [Token]) and one sub-folder per key pair holding DER certificates. This is
// where a real library would talk to the key over USB.
#pragma once

#include <string>
#include <vector>

namespace zento {

struct TokenInfo {
    int type = 0;
    std::string serial;  // UTF-8, as in the file
    std::string label;
    std::string pin;
    int retries = 0;
    int maxRetries = 0;
};

// Reads the token description; false when the file is missing or holds no
// [Token] section with a Serial, or no MaxRetries above 0: such a token is
// damaged (a successful PIN change would reset it to 0 retries and lock it),
// so it does not open and every call on an open handle fails.
bool ReadTokenInfo(const std::wstring& tokenFolder, TokenInfo& info);
// Rewrites the description through a temporary file of its own name and a
// replacing rename, so a reader never sees half a file and a crash never
// loses the PIN. Callers that read, change and write hold a TokenLock.
bool WriteTokenInfo(const std::wstring& tokenFolder, const TokenInfo& info);

// True when the PIN survives a round trip through token.ini: no control
// characters (a line break would add lines to the file) and no blank at
// either end (values are trimmed when read).
bool IsStorablePin(const std::string& pin);

// Serialises the read-change-write of one token's description across threads
// and processes: a named mutex per token folder (the full path, letter case
// ignored). Check ok() before touching the file.
class TokenLock {
public:
    explicit TokenLock(const std::wstring& tokenFolder);
    ~TokenLock();
    TokenLock(const TokenLock&) = delete;
    TokenLock& operator=(const TokenLock&) = delete;
    bool ok() const { return m_held_; }

private:
    void* m_mutex_ = nullptr;
    bool m_held_ = false;
};

// Key-pair folders of a token, by name; names starting with '.' are ignored.
std::vector<std::wstring> ListKeypairFolders(const std::wstring& tokenFolder);
// Certificate files (.cer, .der, .crt) of a key-pair folder, by name.
std::vector<std::wstring> ListCertificateFiles(const std::wstring& keypairFolder);

bool ReadWholeFile(const std::wstring& path, std::string& bytes);

}  // namespace zento

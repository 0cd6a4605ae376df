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
// [Token] section with a Serial.
bool ReadTokenInfo(const std::wstring& tokenFolder, TokenInfo& info);
// Rewrites the description through a temporary file and a replacing rename,
// so a reader never sees half a file and a crash never loses the PIN.
bool WriteTokenInfo(const std::wstring& tokenFolder, const TokenInfo& info);

// Key-pair folders of a token, by name; names starting with '.' are ignored.
std::vector<std::wstring> ListKeypairFolders(const std::wstring& tokenFolder);
// Certificate files (.cer, .der, .crt) of a key-pair folder, by name.
std::vector<std::wstring> ListCertificateFiles(const std::wstring& keypairFolder);

bool ReadWholeFile(const std::wstring& path, std::string& bytes);

}  // namespace zento

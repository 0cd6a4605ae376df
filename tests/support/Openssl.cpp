// openssl from the tests; see Openssl.h.
#include "Openssl.h"

#include <windows.h>

#include "TestSupport.h"

namespace testsupport {

std::string Openssl(const std::wstring& arguments, const std::string& input)
{
    const std::string failed = "<openssl failed>";
    // Wine starts a Linux program given by its path, but hands it neither the
    // pipes of STARTF_USESTDHANDLES nor a process to wait for: the shell
    // takes the input from a file, leaves the output in one and its exit code
    // in a last one, and that file's arrival is the end.
    static LONG serial = 0;
    const std::string name = "lumora-openssl-" + std::to_string(GetCurrentProcessId()) + "-" +
                             std::to_string(InterlockedIncrement(&serial));
    const std::wstring folder = L"Z:\\tmp\\" + FromUtf8(name);
    const std::wstring unixBase = FromUtf8("/tmp/" + name);
    if (!WriteFileBytes(folder + L".in", input)) return failed;
    std::wstring command = L"Z:\\bin\\sh -c \"openssl " + arguments + L" <" + unixBase + L".in >" + unixBase +
                           L".out 2>&1; echo $? >" + unixBase + L".rc.tmp; mv " + unixBase + L".rc.tmp " +
                           unixBase + L".rc\"";
    STARTUPINFOW startup = {sizeof(startup)};
    PROCESS_INFORMATION process = {};
    std::string output, code;
    if (CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process)) {
        if (process.hProcess) CloseHandle(process.hProcess);
        if (process.hThread) CloseHandle(process.hThread);
        const DWORD deadline = GetTickCount() + 15000;
        while (!ReadFileBytes(folder + L".rc", code) && GetTickCount() < deadline) Sleep(20);
        ReadFileBytes(folder + L".out", output);
    }
    for (const wchar_t* suffix : {L".in", L".out", L".rc"}) DeleteFileW((folder + suffix).c_str());
    return code == "0\n" ? output : failed;
}

std::string OpensslSha1(const std::string& certificate, const wchar_t* form)
{
    const std::string out = Openssl(std::wstring(L"x509 -noout -fingerprint -sha1 -inform ") + form, certificate);
    const size_t equals = out.find("Fingerprint=");
    if (equals == std::string::npos) return std::string();
    std::string hex;
    for (size_t i = equals + 12; i < out.size() && out[i] != '\r' && out[i] != '\n'; ++i) {
        if (out[i] != ':') hex += out[i];
    }
    return hex;
}

}  // namespace testsupport

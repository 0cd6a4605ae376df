// openssl from the tests; see Openssl.h.
#include "Openssl.h"

#include <windows.h>

#include "DuiLib/ScopedWin.h"

namespace testsupport {

std::string Openssl(const std::wstring& arguments, const std::string& input)
{
    const std::string failed = "<openssl failed>";
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    DuiLib::ScopedHandle inRead, inWrite, outRead, outWrite;
    if (!::CreatePipe(inRead.put(), inWrite.put(), &inherit, 0) ||
        !::CreatePipe(outRead.put(), outWrite.put(), &inherit, 0))
        return failed;
    ::SetHandleInformation(inWrite.get(), HANDLE_FLAG_INHERIT, 0);
    ::SetHandleInformation(outRead.get(), HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW startup = {sizeof(startup)};
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = inRead.get();
    startup.hStdOutput = outWrite.get();
    startup.hStdError = outWrite.get();
    // Wine starts a Linux program given by its path as it would a Windows one.
    std::wstring command = L"Z:\\usr\\bin\\openssl " + arguments;
    PROCESS_INFORMATION process = {};
    if (!::CreateProcessW(nullptr, &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup,
                          &process))
        return failed;
    DuiLib::ScopedHandle processHandle(process.hProcess), thread(process.hThread);
    inRead.reset();
    outWrite.reset();
    DWORD count = 0;
    const bool fed =
        ::WriteFile(inWrite.get(), input.data(), static_cast<DWORD>(input.size()), &count, nullptr);
    inWrite.reset();
    std::string output;
    char buffer[4096];
    while (::ReadFile(outRead.get(), buffer, sizeof(buffer), &count, nullptr) && count)
        output.append(buffer, count);
    DWORD exitCode = 1;
    if (::WaitForSingleObject(processHandle.get(), 10000) != WAIT_OBJECT_0 ||
        !::GetExitCodeProcess(processHandle.get(), &exitCode) || exitCode != 0 || !fed)
        return failed;
    return output;
}

std::string OpensslSha1(const std::string& certificate, const wchar_t* form)
{
    const std::string out =
        Openssl(std::wstring(L"x509 -noout -fingerprint -sha1 -inform ") + form, certificate);
    const size_t equals = out.find("Fingerprint=");
    if (equals == std::string::npos) return std::string();
    std::string hex;
    for (size_t i = equals + 12; i < out.size() && out[i] != '\r' && out[i] != '\n'; ++i) {
        if (out[i] != ':') hex += out[i];
    }
    return hex;
}

}  // namespace testsupport

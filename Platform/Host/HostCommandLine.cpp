// Parsing of TamuHost.exe's options, with a clear message for bad input.
#include "HostCommandLine.h"

#include <cwchar>

namespace tamu {

namespace {

bool ParseNumber(const std::wstring& text, unsigned long& value)
{
    if (text.empty()) return false;
    wchar_t* end = nullptr;
    value = std::wcstoul(text.c_str(), &end, 10);
    return end && *end == L'\0' && text[0] != L'-';
}

}  // namespace

CommandLine ParseCommandLine(int argc, wchar_t** argv)
{
    CommandLine result;
    for (int i = 1; i < argc; ++i) {
        const std::wstring option = argv[i];
        const bool hasValue = i + 1 < argc;
        auto fail = [&](const std::wstring& why) {
            result.ok = false;
            result.error = why;
        };
        if (option == L"--plugin" || option == L"--lang" || option == L"--config" || option == L"--store" ||
            option == L"--timeout" || option == L"--screenshot" || option == L"--smoke") {
            if (!hasValue) {
                fail(option + L" needs a value");
                break;
            }
            const std::wstring value = argv[++i];
            unsigned long number = 0;
            if (option == L"--plugin") {
                result.host.pluginPath = value;
            } else if (option == L"--config") {
                result.host.configPath = value;
            } else if (option == L"--store") {
                result.storePath = value;
            } else if (option == L"--smoke") {
                result.smokeToken = value;
            } else if (option == L"--screenshot") {
                result.screenshotFolder = value;
            } else if (option == L"--lang") {
                if (!ParseNumber(value, number) || number == 0 || number > 0xFFFF) {
                    fail(L"--lang takes a Windows language id such as 2052 or 1033, not \"" + value + L"\"");
                    break;
                }
                result.host.languageId = static_cast<long>(number);
            } else {
                if (!ParseNumber(value, number) || number == 0 || number > 86400) {
                    fail(L"--timeout takes a number of seconds from 1 to 86400, not \"" + value + L"\"");
                    break;
                }
                result.timeoutSeconds = static_cast<unsigned>(number);
            }
        } else {
            fail(L"unknown option \"" + option +
                 L"\"; use --plugin PATH, --lang ID, --config PATH, --store DIR, --timeout SECONDS, "
                 L"--screenshot DIR, --smoke TOKEN_DIR");
            break;
        }
    }
    return result;
}

}  // namespace tamu

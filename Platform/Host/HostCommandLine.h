// Command line of TamuHost.exe.
#pragma once

#include <string>

#include "TamuHost.h"

namespace tamu {

struct CommandLine {
    HostOptions host;
    std::wstring storePath;         // token store folder; empty: none
    unsigned timeoutSeconds = 0;    // 0: run until closed
    std::wstring screenshotFolder;  // empty: none; else PNGs of our windows before closing
    std::wstring smokeToken;        // non-empty: the scripted pass (HostSmoke.h) with this spare token
    bool ok = true;
    std::wstring error;
};

// Options: --plugin PATH, --lang ID, --config PATH, --store DIR, --timeout SECONDS,
// --screenshot DIR, --smoke TOKEN_DIR.
CommandLine ParseCommandLine(int argc, wchar_t** argv);

}  // namespace tamu

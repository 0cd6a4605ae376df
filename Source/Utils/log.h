// Diagnostic logging through ZENTO_LOG.dll, loaded at run time. Lines have the
// shape "[file,line] message" and are written only when IsWriteLog was true
// when the module started.
#pragma once

#include <string>

// The name a line carries when its caller gives none: this module's own
// source path as the product's sources name it (not the build machine's path).
constexpr const char* kLogModuleSourceName = "..\\Source\\Utils\\log";

// level: 4 failures and notable events, 2 and 1 routine ones.
// message and file: text in the system code page.
// file: the caller's source-file name, or null for this module's own path.
// extra: when not 0, its decimal text is appended to the message.
void LogWrite(int level, const char* message, int line, const char* file = nullptr, int extra = 0);

// Loads ZENTO_LOG.dll and resolves its entry points; one attempt until the
// plug-in is released.
void InitLogger();
// Once per module start: reads IsWriteLog and, when logging is on, hands the
// library the log file base.
void ConfigureLogger();
// At module release: frees the log handle; the library stays loaded.
void ReleaseLogger();
// At plug-in release: frees the handle and unloads the library, so nothing of
// it stays in the host once the plug-in is gone.
void UnloadLogger();
// Where the boundary guard reports an exception it stopped: one line.
void LogBoundaryException(const char* where, const char* what) noexcept;
// Where the skin builder reports a skin or sub-layout it could not build
// ("file(line): reason"): one line.
void LogSkinFailure(const std::wstring& text) noexcept;
// The base handed to the library: <user data>\ZENTO\...\LumoraPlugin\\log\LumoraPlugin
// (creates the folders on the way).
std::wstring BuildLogFileBase();

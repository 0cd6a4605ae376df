// Diagnostic logging through ZENTO_LOG.dll, loaded at run time. Lines have the
// shape "[file,line] message" and are written only when IsWriteLog was true
// when the module started.
#pragma once

// level: 4 failures and notable events, 2 and 1 routine ones.
// file: the caller's source-file name, or null for this module's own path.
// extra: when not 0, its decimal text is appended to the message.
void LogWrite(int level, const char* message, int line, const char* file = nullptr, int extra = 0);

void InitLogger();
void ConfigureLogger();
void ReleaseLogger();

// ZENTO_LOG: dated log files under a base path. The plug-in loads the DLL at
// run time and resolves these entry points by name (it never links it); the
// pointer types it resolves them to are taken from the declarations, so the
// library built against this header and the plug-in cannot disagree.
//
// Files: with daily rotation the current file is "<base>_YYYYMMDD.log",
// otherwise "<base>.log". A file that would grow past the size limit is
// renamed "<base>_YYYYMMDD_<n>.log" (n = 1, 2, ...; "<base>_<n>.log" without
// daily rotation) and a fresh one started. Lines are UTF-8, CRLF, shaped
// "YYYY-MM-DD HH:MM:SS.mmm <level> <thread id> <text>", each written whole
// under the handle's lock, so threads never interleave inside a line.
#pragma once

#ifdef ZENTO_LOG_BUILD
#define ZENTO_LOG_API extern "C" __declspec(dllexport)
#else
#define ZENTO_LOG_API extern "C"
#endif

typedef void* ZENTO_LOG_HANDLE;

// Arguments of ZentoLogHandleSetConfigParam.
#define ZENTO_LOG_OUTPUT_FILE 1   // output: a file under the base (the only output)
#define ZENTO_LOG_ROTATE_DAILY 1  // rotation: one file per day
#define ZENTO_LOG_ROTATE_NONE 0   // rotation: by size only
#define ZENTO_LOG_DEFAULT_MAX_BYTES (8u * 1024u * 1024u)

// 1 on success.
ZENTO_LOG_API int ZentoCreateLogHandle(ZENTO_LOG_HANDLE* handle);
// base: UTF-8 path without extension; its folder must exist. 1 on success.
ZENTO_LOG_API int ZentoLogHandleSetConfigParam(ZENTO_LOG_HANDLE handle, int output, int rotation,
                                               const char* base);
ZENTO_LOG_API void ZentoFreeLogHandle(ZENTO_LOG_HANDLE handle);
// printf-style, narrow (UTF-8) arguments. Lines before a successful
// configuration are dropped.
ZENTO_LOG_API void ZentoLogHandleLogger(ZENTO_LOG_HANDLE handle, int level, const char* format, ...);

using ZentoCreateLogHandleFn = decltype(&ZentoCreateLogHandle);
using ZentoLogHandleSetConfigParamFn = decltype(&ZentoLogHandleSetConfigParam);
using ZentoFreeLogHandleFn = decltype(&ZentoFreeLogHandle);
using ZentoLogHandleLoggerFn = decltype(&ZentoLogHandleLogger);

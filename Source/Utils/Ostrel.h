// Ostrel: the configuration-file (INI) library. One handle merges any number
// of files; sections and items are listed by index, values read by section and
// key, and single values changed in a named file without disturbing anything
// else in it. The plug-in only imports these entry points.
//
// File syntax
//   [Section]          a section header; the name is trimmed of blanks
//   Key=Value          an item; key and value are trimmed of blanks. A value
//                      wrapped in double quotes keeps its inner blanks (the
//                      quotes are dropped); a value is written that way when it
//                      has blanks at either end.
//   ; or #             a comment line (after optional blanks)
//   anything else      ignored (and kept as it is when the file is changed)
// Names, keys and values compare case-sensitively. Within one file the first
// occurrence of a key counts, and a section that appears twice is one section.
//
// Encodings: UTF-8 with or without BOM, UTF-16 LE/BE with BOM; a file without
// BOM that is not UTF-8 is read in the system code page (hand-written files on
// older machines). Lines end in CRLF or LF. Changing a file keeps its encoding,
// its BOM and its line ends; new files are UTF-8 without BOM and CRLF.
#pragma once

#include <wchar.h>

#ifdef OSTREL_BUILD
#define OSTREL_API extern "C" __declspec(dllexport)
#else
#define OSTREL_API extern "C" __declspec(dllimport)
#endif

typedef struct OstrelConfig* OSTREL_HANDLE;

// Result codes: 1 success, everything else failure.
enum OstrelResult {
    OSTREL_OK = 1,
    OSTREL_ERR_ARGUMENT = -1,     // null handle/path, or a name/key/value the syntax cannot hold
    OSTREL_ERR_OPEN = -2,         // the file cannot be opened or read (missing, locked)
    OSTREL_ERR_NOT_TEXT = -3,     // binary data or larger than OSTREL_MAX_FILE_BYTES
    OSTREL_ERR_WRITE = -4,        // the new file could not be written or put in place
    OSTREL_ERR_UNENCODABLE = -5,  // the value has characters the file's code page lacks
    OSTREL_ERR_MEMORY = -6,
};

// Files beyond this size are refused rather than read into memory.
#define OSTREL_MAX_FILE_BYTES (64u * 1024u * 1024u)

// Flags of ZentoLoadConfigFile.
#define OSTREL_LOAD_KEEP_EXISTING 0  // values already loaded win over this file's
#define OSTREL_LOAD_OVERRIDE 1       // this file's values win over those already loaded

OSTREL_API int ZentoCreateConfigFileHandle(OSTREL_HANDLE* handle);
OSTREL_API int ZentoLoadConfigFile(OSTREL_HANDLE handle, const wchar_t* path, int flags);
OSTREL_API int ZentoGetConfigSectionsCount(OSTREL_HANDLE handle);
// Returned texts are the caller's copies: free each with ZentoConfigFileFreeMemory.
// Null when the index, section or key does not exist.
OSTREL_API wchar_t* ZentoGetConfigSectionName(OSTREL_HANDLE handle, int index);
OSTREL_API int ZentoGetConfigItemsCount(OSTREL_HANDLE handle, const wchar_t* section);
OSTREL_API wchar_t* ZentoGetConfigItemsKey(OSTREL_HANDLE handle, const wchar_t* section, int index);
OSTREL_API wchar_t* ZentoGetConfigItemsValue(OSTREL_HANDLE handle, const wchar_t* section,
                                             const wchar_t* key);
// Sets section/key to value in the file at path (created when missing): the
// item's line is rewritten, or a line (and a section) is added; every other
// byte stays. The file is replaced atomically, so it is never seen half
// written. The handle's own table takes the value too.
OSTREL_API int ZentoModifyConfigFile(OSTREL_HANDLE handle, const wchar_t* path, const wchar_t* section,
                                     const wchar_t* key, const wchar_t* value);
OSTREL_API void ZentoConfigFileFreeMemory(void* memory);
OSTREL_API void ZentoFreeConfigFileHandle(OSTREL_HANDLE handle);

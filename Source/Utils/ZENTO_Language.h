// ZENTO_Language: texts by key from ".lng" language files. C++ functions with
// the caller-cleans (cdecl) convention. The maker builds the library with
// Microsoft's compiler, so they are exported under that compiler's
// decorations, which differ from g++'s and between i686 and x86_64: the
// plug-in imports them through an import library made from
// ZENTO_Language-<arch>.def beside this header, which maps the names g++
// gives these declarations to the decorated names the library exports.
//
// The .lng format
//   - UTF-8 text, with or without BOM (UTF-16 with BOM is read too); lines end
//     in CRLF or LF.
//   - A line whose first non-blank character is '#' or ';' is a comment;
//     blank lines and lines without '=' are ignored.
//   - KEY=text: the key is what stands before the first '=', without blanks
//     around it; keys compare exactly (case counts).
//   - The text is everything after that '=' up to the end of the line,
//     exactly as written: blanks at its start or end belong to it. So write
//     no blank after '=' unless the text begins with one; "KEY=   Refresh"
//     keeps its three leading blanks.
//   - Escapes inside a text: \n a line break, \t a tab, \\ a backslash; any
//     other backslash stays as it is.
//   - A key given twice: the later line counts. "KEY=" is an empty text.
#pragma once

#ifdef ZENTO_LANGUAGE_BUILD
#define ZENTO_LANGUAGE_API __declspec(dllexport)
#else
#define ZENTO_LANGUAGE_API __declspec(dllimport)
#endif

typedef void* ZENTO_LANG_HANDLE;

// Files beyond this size are refused.
#define ZENTO_LANGUAGE_MAX_FILE_BYTES (16u * 1024u * 1024u)

// Results of ZENTO_Language_LoadLang and ZENTO_Language_GetValue.
enum ZentoLanguageResult {
    ZENTO_LANG_OK = 1,             // loaded; or the key's whole text written
    ZENTO_LANG_NO_KEY = 0,         // the key is not in the file: an empty text is written
    ZENTO_LANG_TRUNCATED = 2,      // the text did not fit: its start is written, terminated
    ZENTO_LANG_ERR_ARGUMENT = -1,  // unknown handle, null path/key/buffer, size below 1
    ZENTO_LANG_ERR_OPEN = -2,      // the file cannot be opened or read
    ZENTO_LANG_ERR_NOT_TEXT = -3,  // binary data, or larger than the limit
};

// A new, empty handle, or null.
ZENTO_LANGUAGE_API ZENTO_LANG_HANDLE __cdecl ZENTO_Language_CreateLanguageHandle();
// Reads the file; on success its texts replace what the handle held, on any
// failure the handle keeps what it had.
ZENTO_LANGUAGE_API int __cdecl ZENTO_Language_LoadLang(ZENTO_LANG_HANDLE handle, const wchar_t* path);
// Writes the key's text, always terminated, into buffer (size in wide characters).
ZENTO_LANGUAGE_API int __cdecl ZENTO_Language_GetValue(ZENTO_LANG_HANDLE handle, const char* key,
                                                       wchar_t* buffer, int size);
ZENTO_LANGUAGE_API void __cdecl ZENTO_Language_ReleaseLanguageHandle(ZENTO_LANG_HANDLE handle);

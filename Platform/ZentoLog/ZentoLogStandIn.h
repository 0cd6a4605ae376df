// What our ZENTO_LOG stand-in offers beyond the library's contract: a size
// limit that tests lower, so rotation can be seen without writing megabytes.
#pragma once

#include "Utils/ZentoLog.h"

// Size at which a file is rotated (at least 1024 bytes). 1 on success.
ZENTO_LOG_API int ZentoLogHandleSetMaxFileSize(ZENTO_LOG_HANDLE handle, unsigned long bytes);
using ZentoLogHandleSetMaxFileSizeFn = decltype(&ZentoLogHandleSetMaxFileSize);

// SPDX-License-Identifier: MIT
// Windows side of the system code page: the ANSI code page.
#include "platform/text_codec.h"

#include <windows.h>

namespace varnoket::platform {

unsigned SystemCodePage() { return ::GetACP(); }

}  // namespace varnoket::platform

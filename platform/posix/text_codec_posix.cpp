// SPDX-License-Identifier: MIT
// Outside Windows no code page is assumed: text that names no charset passes
// through byte for byte.
#include "platform/text_codec.h"

namespace varnoket::platform {

unsigned SystemCodePage() { return 0; }

}  // namespace varnoket::platform

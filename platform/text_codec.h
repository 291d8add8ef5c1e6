// SPDX-License-Identifier: MIT
#ifndef VARNOKET_PLATFORM_TEXT_CODEC_H_
#define VARNOKET_PLATFORM_TEXT_CODEC_H_

namespace varnoket::platform {

// The number of the system's code page, which text that names no charset is
// assumed to be in: the ANSI code page (932 on a Japanese Windows) on
// Windows, 0 elsewhere, where none is assumed. Text is never converted
// through it.
unsigned SystemCodePage();

}  // namespace varnoket::platform

#endif  // VARNOKET_PLATFORM_TEXT_CODEC_H_

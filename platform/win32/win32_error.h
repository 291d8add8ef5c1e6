// SPDX-License-Identifier: MIT
#ifndef VARNOKET_PLATFORM_WIN32_WIN32_ERROR_H_
#define VARNOKET_PLATFORM_WIN32_WIN32_ERROR_H_

#include <string>

namespace varnoket::platform {

// The system's own text for a GetLastError() code, in UTF-8, without the
// trailing line break.
std::string Win32ErrorText(unsigned long code);

}  // namespace varnoket::platform

#endif  // VARNOKET_PLATFORM_WIN32_WIN32_ERROR_H_

// SPDX-License-Identifier: MIT
#ifndef VARNOKET_SGF_WIDE_STRING_H_
#define VARNOKET_SGF_WIDE_STRING_H_

#include <string>

namespace varnoket {

// Text of identifiers and property values: UTF-16 code units, whatever code
// page the file was stored in.
using WideString = std::u16string;

}  // namespace varnoket

#endif  // VARNOKET_SGF_WIDE_STRING_H_

# SPDX-License-Identifier: MIT
# Compiler warnings and sanitizers, in INTERFACE libraries. Every project target
# links varnoket_warnings PRIVATE, so the flags never leak into consumers; the
# sanitizers ride along with it, so that in a sanitized build every object is
# instrumented and every executable links the sanitizer runtime.
add_library(varnoket_sanitizers INTERFACE)
if(VARNOKET_SANITIZE)
  target_compile_options(varnoket_sanitizers INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_link_options(varnoket_sanitizers INTERFACE -fsanitize=address,undefined)
endif()

add_library(varnoket_warnings INTERFACE)
target_link_libraries(varnoket_warnings INTERFACE varnoket_sanitizers)
if(MSVC)
  target_compile_options(varnoket_warnings INTERFACE /W4)
  if(VARNOKET_WERROR)
    target_compile_options(varnoket_warnings INTERFACE /WX)
  endif()
else()
  target_compile_options(varnoket_warnings INTERFACE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion)
  if(VARNOKET_WERROR)
    target_compile_options(varnoket_warnings INTERFACE -Werror)
  endif()
endif()

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
if(VARNOKET_FUZZ)
  # Every library the fuzzer links is instrumented for coverage and checked.
  target_compile_options(varnoket_sanitizers INTERFACE
    -fsanitize=fuzzer-no-link,address,undefined)
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

# Debian's hardening flags, on Linux in optimised builds (glibc's
# _FORTIFY_SOURCE needs the optimiser; the sanitizers and the fuzzer bring
# their own checks). Every target links them through varnoket_warnings.
add_library(varnoket_hardening INTERFACE)
if(NOT WIN32 AND NOT VARNOKET_SANITIZE AND NOT VARNOKET_FUZZ
   AND CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  target_compile_definitions(varnoket_hardening INTERFACE
    $<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:_FORTIFY_SOURCE=2>)
  target_compile_options(varnoket_hardening INTERFACE -fstack-protector-strong)
  target_link_options(varnoket_hardening INTERFACE LINKER:-z,relro,-z,now)
endif()
target_link_libraries(varnoket_warnings INTERFACE varnoket_hardening)

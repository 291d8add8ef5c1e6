# Compiler warnings and sanitizers, applied to every project target through
# INTERFACE libraries linked PRIVATE, so they never leak into consumers.
add_library(varnoket_warnings INTERFACE)
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

add_library(varnoket_sanitizers INTERFACE)
if(VARNOKET_SANITIZE)
  target_compile_options(varnoket_sanitizers INTERFACE
    -fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_link_options(varnoket_sanitizers INTERFACE -fsanitize=address,undefined)
endif()
# Everything links the sanitizer runtime consistently, so link it publicly.
link_libraries(varnoket_sanitizers)

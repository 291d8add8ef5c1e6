# SPDX-License-Identifier: MIT
# libarchive as one target, varnoket::libarchive: Debian's package on Linux;
# for the Windows cross build, scripts/build-windows-libarchive.sh builds it
# and the compression libraries it uses from Debian's source packages, once
# per build tree, linked statically.
add_library(varnoket_libarchive INTERFACE)
add_library(varnoket::libarchive ALIAS varnoket_libarchive)
if(NOT WIN32)
  find_package(LibArchive REQUIRED)
  target_link_libraries(varnoket_libarchive INTERFACE LibArchive::LibArchive)
  return()
endif()

set(VARNOKET_LIBARCHIVE_PREFIX ${CMAKE_BINARY_DIR}/third-party/libarchive)
set(VARNOKET_LIBARCHIVE_LIBRARIES archive zstd lzma bz2 z)
set(libraries "")
foreach(name ${VARNOKET_LIBARCHIVE_LIBRARIES})
  list(APPEND libraries ${VARNOKET_LIBARCHIVE_PREFIX}/lib/lib${name}.a)
endforeach()

# At configure time, so that the headers and libraries exist before anything
# is built; a build that finds the stamp takes no time.
if(NOT EXISTS ${VARNOKET_LIBARCHIVE_PREFIX}/stamp)
  message(STATUS "Cross-building libarchive, zlib, bzip2, liblzma and zstd (a few minutes, once)")
  execute_process(
    COMMAND ${PROJECT_SOURCE_DIR}/scripts/build-windows-libarchive.sh ${VARNOKET_LIBARCHIVE_PREFIX}
    RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "scripts/build-windows-libarchive.sh failed (${result})")
  endif()
endif()

target_include_directories(varnoket_libarchive SYSTEM INTERFACE ${VARNOKET_LIBARCHIVE_PREFIX}/include)
target_compile_definitions(varnoket_libarchive INTERFACE LIBARCHIVE_STATIC LZMA_API_STATIC)
# bcrypt: libarchive's random numbers for zip and 7z.
target_link_libraries(varnoket_libarchive INTERFACE ${libraries} bcrypt)

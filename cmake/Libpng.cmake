# libpng and zlib for the editor's bitmaps, as the target redi_png.
#
# Linux links the system's libpng. The Windows builds compile libpng from
# Debian's source package (fetched by tools/install-deps.sh, nothing of it is
# committed) and link it and MinGW's zlib statically, so that the plug-in DLL
# still imports only system DLLs.
add_library(redi_png INTERFACE)
if(NOT WIN32)
  find_package(PNG REQUIRED)
  target_link_libraries(redi_png INTERFACE PNG::PNG)
  return()
endif()

file(GLOB libpng_candidates LIST_DIRECTORIES true /var/cache/redi-deps/libpng1.6-*)
set(libpng_default "")
if(libpng_candidates)
  list(SORT libpng_candidates)
  list(REVERSE libpng_candidates)
  list(GET libpng_candidates 0 libpng_default)
endif()
set(REDI_LIBPNG_SOURCE_DIR "${libpng_default}" CACHE PATH
  "Unpacked source of Debian's libpng1.6 (apt-get source libpng1.6)")
if(NOT EXISTS "${REDI_LIBPNG_SOURCE_DIR}/png.c")
  message(FATAL_ERROR "No libpng source at '${REDI_LIBPNG_SOURCE_DIR}': "
    "run tools/install-deps.sh as root, or set REDI_LIBPNG_SOURCE_DIR")
endif()

find_file(REDI_MINGW_ZLIB libz.a PATHS ${CMAKE_FIND_ROOT_PATH}/lib NO_DEFAULT_PATH REQUIRED)
find_path(REDI_MINGW_ZLIB_INCLUDE zlib.h PATHS ${CMAKE_FIND_ROOT_PATH}/include
  NO_DEFAULT_PATH REQUIRED)

# The library's build-time configuration is the prebuilt one libpng ships.
set(libpng_config_dir ${CMAKE_BINARY_DIR}/libpng)
configure_file(${REDI_LIBPNG_SOURCE_DIR}/scripts/pnglibconf.h.prebuilt
  ${libpng_config_dir}/pnglibconf.h COPYONLY)
set(libpng_sources png pngerror pngget pngmem pngpread pngread pngrio pngrtran pngrutil
  pngset pngtrans pngwio pngwrite pngwtran pngwutil)
list(TRANSFORM libpng_sources PREPEND ${REDI_LIBPNG_SOURCE_DIR}/)
list(TRANSFORM libpng_sources APPEND .c)
add_library(redi_libpng_static STATIC ${libpng_sources})
target_include_directories(redi_libpng_static SYSTEM PUBLIC
  ${REDI_LIBPNG_SOURCE_DIR} ${libpng_config_dir} ${REDI_MINGW_ZLIB_INCLUDE})
# Plain C code paths: no processor-specific filter units to build.
target_compile_definitions(redi_libpng_static PRIVATE
  PNG_ARM_NEON_OPT=0 PNG_INTEL_SSE_OPT=0 PNG_MIPS_MSA_OPT=0 PNG_POWERPC_VSX_OPT=0)
target_compile_options(redi_libpng_static PRIVATE -w)
target_link_libraries(redi_libpng_static PUBLIC ${REDI_MINGW_ZLIB})
target_link_libraries(redi_png INTERFACE redi_libpng_static)

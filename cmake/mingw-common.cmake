# Shared part of the two MinGW toolchain files. TORVO_MINGW_TRIPLET is set by the caller.
set(CMAKE_C_COMPILER   ${TORVO_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TORVO_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER  ${TORVO_MINGW_TRIPLET}-windres)
set(CMAKE_AR           /usr/bin/${TORVO_MINGW_TRIPLET}-ar CACHE FILEPATH "")
set(CMAKE_RANLIB       /usr/bin/${TORVO_MINGW_TRIPLET}-ranlib CACHE FILEPATH "")

# libpng and libjpeg are built from Debian's source packages into this cache (see build.sh);
# zlib comes from Debian's MinGW package.
get_filename_component(_torvo_root "${CMAKE_CURRENT_LIST_DIR}/.." ABSOLUTE)
set(TORVO_DEPS_PREFIX "${_torvo_root}/.cache/deps/${TORVO_MINGW_TRIPLET}" CACHE PATH "")

set(CMAKE_FIND_ROOT_PATH /usr/${TORVO_MINGW_TRIPLET} ${TORVO_DEPS_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Prefer static archives so every DLL needs only Windows system DLLs.
set(CMAKE_FIND_LIBRARY_SUFFIXES .a)

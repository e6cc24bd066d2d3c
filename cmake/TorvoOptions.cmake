# Compiler settings shared by every target: warnings on, strict IEEE arithmetic everywhere, so the
# native, x64 and x86 builds compute the same samples.
add_library(torvo_options INTERFACE)
target_compile_options(torvo_options INTERFACE
  -Wall -Wextra -Wshadow -Wnon-virtual-dtor -Wno-unused-parameter
  -fno-fast-math -ffp-contract=off -fno-strict-aliasing)
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86|i[3-6]86)$")
  # The x87 unit would round differently; SSE2 gives the same doubles as x86-64.
  target_compile_options(torvo_options INTERFACE -msse2 -mfpmath=sse)
endif()
if(WIN32)
  target_compile_definitions(torvo_options INTERFACE WIN32_LEAN_AND_MEAN NOMINMAX _WIN32_WINNT=0x0601)
endif()
if(TORVO_SANITIZE)
  target_compile_options(torvo_options INTERFACE -fsanitize=${TORVO_SANITIZE} -fno-omit-frame-pointer -fno-sanitize-recover=all)
  target_link_options(torvo_options INTERFACE -fsanitize=${TORVO_SANITIZE})
endif()
if(NOT TORVO_WITH_EDITOR)
  target_compile_definitions(torvo_options INTERFACE TORVO_NO_EDITOR)
endif()

# Windows binaries carry their runtime inside: no libstdc++, libgcc or winpthread DLLs.
set(TORVO_WIN_STATIC_RUNTIME -static -static-libgcc -static-libstdc++)
if(TORVO_BUILD_FUZZERS)
  # Coverage instrumentation for every library the fuzz targets reach.
  target_compile_options(torvo_options INTERFACE -fsanitize=fuzzer-no-link)
endif()

# Per-file flags of the sources that hold one instruction-set level's copy of a vector loop
# (level AVX2 or AVX512), chosen at start-up on processors that have it; only 64-bit x86 builds
# have these levels. Never FMA: products and sums must stay separate roundings. Call it from
# the directory whose target compiles the files.
function(torvo_level_sources level)
  if(NOT CMAKE_SIZEOF_VOID_P EQUAL 8)
    return()
  endif()
  if(level STREQUAL "AVX2")
    set(flags -mavx2 -mno-fma)
  elseif(level STREQUAL "AVX512")
    set(flags -mavx512f -mavx512dq)
    if(NOT CMAKE_CXX_COMPILER_ID STREQUAL "Clang")
      # Clang takes AVX-512 away again with -mno-fma; there -ffp-contract=off alone keeps the
      # products and sums apart.
      list(APPEND flags -mno-fma)
    endif()
  else()
    message(FATAL_ERROR "torvo_level_sources: unknown level ${level}")
  endif()
  if(WIN32)
    # The Windows x64 stack is only 16-byte aligned: let spilled wide vectors use unaligned moves.
    list(APPEND flags -Wa,-muse-unaligned-vector-move)
  endif()
  set_source_files_properties(${ARGN} PROPERTIES COMPILE_OPTIONS "${flags}")
endfunction()

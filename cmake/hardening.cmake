# Hardening and reproducible output for the GCC and Clang builds, the
# mingw-w64 cross build included: what distributions build their packages
# with, so the packaged program is checked the way theirs are.

if(NOT CMAKE_CXX_COMPILER_ID MATCHES "GNU|Clang")
  return()
endif()

add_compile_options(-fstack-protector-strong)
# mingw-w64 finds the guard's helpers in libssp, which the flag links.
add_link_options(-fstack-protector-strong)
# Fortify needs the optimiser, and fights the sanitizers' own checks.
if(NOT ZINTRA_SANITIZE AND NOT ZINTRA_FUZZ)
  add_compile_options(
    "$<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=2>")
endif()

set(zintra_x86 FALSE)
if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(x86_64|AMD64|amd64|i.86)$")
  set(zintra_x86 TRUE)
  add_compile_options(-fcf-protection)
endif()

if(MINGW)
  # ASLR (relocatable, 64-bit addresses) and a data segment that never runs.
  # The link time stays out of the header, so two builds give the same bytes.
  add_link_options(LINKER:--dynamicbase,--nxcompat,--high-entropy-va,--no-insert-timestamp)
elseif(NOT APPLE)
  add_compile_options(-fstack-clash-protection)
  # -fPIE rather than CMake's POSITION_INDEPENDENT_CODE: Qt's users must
  # build with -fPIC, which Qt's own options add after this one.
  add_compile_options(-fPIE)
  add_link_options("$<$<STREQUAL:$<TARGET_PROPERTY:TYPE>,EXECUTABLE>:-pie>"
                   LINKER:-z,relro,-z,now)
  if(zintra_x86 AND NOT ZINTRA_SANITIZE AND NOT ZINTRA_FUZZ)
    # Debian 12's start files (crt1.o, crti.o) carry no control-flow note,
    # which would drop it from the program though all of our own code is
    # built for it: the note is asked for outright.
    add_link_options(LINKER:-z,ibt,-z,shstk)
  endif()
endif()

# No build folder in the binaries: __FILE__ and debug information name
# paths from the top of the tree.
add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}/=
                    -ffile-prefix-map=${PROJECT_BINARY_DIR}/=)

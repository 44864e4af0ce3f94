# Hardening of every program of the build, the shipped ones and the tests alike (whose
# own code, compiled without optimisation, goes without _FORTIFY_SOURCE).
# Linux: a position-independent executable, which the loader places at a random
# address; the checked variants of copies and reads (_FORTIFY_SOURCE, which needs
# optimisation, so not in a Debug build, and not under a sanitizer, which checks
# the same calls itself); a canary in every function with an array on the stack;
# probes that keep a large stack frame from jumping past the guard page; on x86,
# branch targets marked for control-flow enforcement (in effect only where the C
# library's start files are marked too), on arm64 return addresses signed (pointer
# authentication) and branch targets marked likewise; and all relocations done at
# start-up, then made read-only (full RELRO).
# Windows: relocatable to a random base (64-bit: anywhere in the address space) and
# data not executable. There the canary and the checked calls would come from GCC's
# libssp rather than from the C runtime that Windows ships; the Windows programs go
# without them.
if(WIN32)
  add_link_options(LINKER:--dynamicbase LINKER:--nxcompat)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    add_link_options(LINKER:--high-entropy-va)
  endif()
else()
  add_compile_options(-fPIE -fstack-protector-strong -fstack-clash-protection)
  include(CheckCXXCompilerFlag)
  check_cxx_compiler_flag(-fcf-protection TAVO_HAVE_CF_PROTECTION)
  if(TAVO_HAVE_CF_PROTECTION)
    add_compile_options(-fcf-protection)
  endif()
  # clang takes the arm64 flag on x86 too, with a warning at every compile.
  if(CMAKE_SYSTEM_PROCESSOR MATCHES "^(aarch64|arm64)$")
    add_compile_options(-mbranch-protection=standard)
  endif()
  if(NOT CMAKE_CXX_FLAGS MATCHES "-fsanitize")
    add_compile_options(
      "$<$<NOT:$<CONFIG:Debug>>:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=2>")
  endif()
  add_link_options(-pie LINKER:-z,relro LINKER:-z,now)
endif()

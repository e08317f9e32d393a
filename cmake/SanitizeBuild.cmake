# The sanitizer build (scripts/test --sanitize, into build-asan/): clang
# with AddressSanitizer and UndefinedBehaviorSanitizer. Loaded with
# `cmake -C`; forced, since this file is what that build is. -O1 keeps the
# suite fast with exact stacks.
set(CMAKE_C_COMPILER clang CACHE STRING "" FORCE)
set(CMAKE_CXX_COMPILER clang++ CACHE STRING "" FORCE)
set(CMAKE_BUILD_TYPE Debug CACHE STRING "" FORCE)
set(CMAKE_C_FLAGS_DEBUG "-g -O1" CACHE STRING "" FORCE)
set(CMAKE_CXX_FLAGS_DEBUG "-g -O1" CACHE STRING "" FORCE)
set(NEROLIN_SANITIZE ON CACHE BOOL "" FORCE)
set(NEROLIN_BUILD_BENCH OFF CACHE BOOL "" FORCE)

# The sanitizer build (scripts/test --sanitize, scripts/fuzz, into
# build-asan/): clang with AddressSanitizer and UndefinedBehaviorSanitizer,
# and the libFuzzer targets. Loaded with `cmake -C`; forced so that both
# scripts configure the one build alike and neither rebuilds what the other
# built. -O1 keeps the fuzzers and the suite fast with exact stacks.
set(CMAKE_C_COMPILER clang CACHE STRING "" FORCE)
set(CMAKE_CXX_COMPILER clang++ CACHE STRING "" FORCE)
set(CMAKE_BUILD_TYPE Debug CACHE STRING "" FORCE)
set(CMAKE_C_FLAGS_DEBUG "-g -O1" CACHE STRING "" FORCE)
set(CMAKE_CXX_FLAGS_DEBUG "-g -O1" CACHE STRING "" FORCE)
set(NEROLIN_SANITIZE ON CACHE BOOL "" FORCE)
set(NEROLIN_FUZZ ON CACHE BOOL "" FORCE)
set(NEROLIN_BUILD_BENCH OFF CACHE BOOL "" FORCE)
# The render-only configuration is tested here, so that CI covers both
# without a third full build.
set(NEROLIN_WITH_PRINTING OFF CACHE BOOL "" FORCE)

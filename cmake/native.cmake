# Linux build of the pure logic: unit tests with sanitizers, a libFuzzer target, benchmarks.
find_package(GTest REQUIRED)
set(TARVO_SANITIZE -fsanitize=address,undefined -fno-omit-frame-pointer)

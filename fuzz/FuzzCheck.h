#pragma once
// What a fuzz target does when an invariant breaks: say which one and where,
// then abort, so libFuzzer keeps the input as a crash and the replay test
// fails. Both builds (libFuzzer and the plain replay program) use it alike.
#include <cstdio>
#include <cstdlib>

#define FUZZ_CHECK(condition)                                                                                          \
    do {                                                                                                               \
        if (!(condition)) {                                                                                            \
            std::fprintf(stderr, "%s:%d: invariant broken: %s\n", __FILE__, __LINE__, #condition);                     \
            std::abort();                                                                                              \
        }                                                                                                              \
    } while (false)

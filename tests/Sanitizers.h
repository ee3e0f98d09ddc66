#pragma once
// VORLAN_ASAN is defined when the tests run under AddressSanitizer, whichever
// compiler built them (GCC and clang announce it differently).
#if defined(__SANITIZE_ADDRESS__)
#define VORLAN_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define VORLAN_ASAN 1
#endif
#endif

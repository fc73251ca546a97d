// Whether the program under test was built with the address sanitizer. Such
// a program reserves far more address space than any limit a test sets, so
// the tests of memory bounds (an address-space limit) do not apply to it.
#pragma once

namespace cluster::testing {

#if defined(__SANITIZE_ADDRESS__)
inline constexpr bool kAddressSanitizer = true;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
inline constexpr bool kAddressSanitizer = true;
#else
inline constexpr bool kAddressSanitizer = false;
#endif
#else
inline constexpr bool kAddressSanitizer = false;
#endif

}  // namespace cluster::testing

#pragma once
// The one list of methods, indexed by Method: adding a method is its file,
// its enumerator and its line here.

#include <iterator>

#include "methods/method.hpp"

namespace kavo {

// Each method's file defines its spec.
extern const MethodSpec kMonteCarloMethod;
extern const MethodSpec kExactMethod;

// In the enumerators' order.
inline constexpr const MethodSpec* kMethodSpecs[] = {&kMonteCarloMethod, &kExactMethod};
static_assert(std::size(kMethodSpecs) == kMethodCount);

inline bool method_valid(Method method) {
  return static_cast<unsigned>(method) < static_cast<unsigned>(kMethodCount);
}

// The description of a valid method (see method_valid).
inline const MethodSpec& method_spec(Method method) { return *kMethodSpecs[static_cast<unsigned>(method)]; }

}  // namespace kavo

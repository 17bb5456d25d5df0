#pragma once
// The X-linked Hardy-Weinberg hypothesis of VCF mode: females' genotypes
// AA AB BB and males' alleles A B, in that order, sharing one allele
// frequency.
//
// COMPILE-TIME SWITCH: kHasXLinked is true when the library's Hypothesis has
// the enumerator x_linked_hardy_weinberg, and VCF mode then computes the
// evidence of X-linked sites; built against a library without it, those
// sites are written with their counts and NA evidence (see
// kXLinkedMissingReason). Nothing else needs changing when it arrives.

#include <optional>

#include "kavo/kavo.hpp"

namespace kavo::cli {

namespace detail {
template <typename H>
constexpr bool has_x_linked = requires { H::x_linked_hardy_weinberg; };

template <typename H>
constexpr std::optional<H> x_linked_of() {
  if constexpr (has_x_linked<H>) {
    return H::x_linked_hardy_weinberg;
  } else {
    return std::nullopt;
  }
}
}  // namespace detail

inline constexpr bool kHasXLinked = detail::has_x_linked<Hypothesis>;

// The hypothesis, or nullopt in a build without it.
inline constexpr std::optional<Hypothesis> kXLinked = detail::x_linked_of<Hypothesis>();

inline const char* x_linked_name() {
  return kXLinked ? hypothesis_name(*kXLinked) : "x_linked_hardy_weinberg";
}

inline constexpr const char* kXLinkedMissingReason =
    "an X-linked site (diploid and haploid calls): this build has no X-linked hypothesis";

}  // namespace kavo::cli

// A chromosome's two spellings: "chr21" and "21" name one chromosome in every file every tool reads.
#pragma once

#include <string_view>

namespace corvane {

// The name without a leading "chr" (in any case).
std::string_view without_chr_prefix(std::string_view name);

// Whether two names spell one chromosome.
bool same_chromosome(std::string_view a, std::string_view b);

}  // namespace corvane

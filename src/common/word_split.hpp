// Splits a line into words at runs of blanks, tabs and CRs: the reading of maps and lists, beside
// split_line's field reading of genotype and legend lines.
#pragma once

#include <string_view>
#include <vector>

namespace corvane {

// Refills `words` with the non-empty stretches of `line` between blanks, tabs and CRs.
void split_words(std::string_view line, std::vector<std::string_view>& words);

// The same, as a new list.
std::vector<std::string_view> split_words(std::string_view line);

}  // namespace corvane

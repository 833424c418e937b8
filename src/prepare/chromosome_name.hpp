// How a file's name for the chromosome asked for is found among the names it uses, in either of the
// chromosome's two spellings ("chr21" and "21").
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "common/chromosome_spelling.hpp"

namespace corvane {

// The name `requested` goes by among `names`: itself, else its other spelling; nothing when neither
// is there.
std::optional<std::string> name_among(const std::vector<std::string>& names, const std::string& requested);

// Says on standard error that `path` has no chromosome `requested` and that `used`, its other
// spelling, is read instead.
void say_other_spelling(const std::string& path, const std::string& requested, const std::string& used);

// The message for a file without a single record of `requested` in either spelling: it names the
// contigs `contigs_seen` the file has records of.
std::string absent_chromosome_message(const std::string& path, const std::string& requested,
                                      const std::vector<std::string>& contigs_seen);

}  // namespace corvane

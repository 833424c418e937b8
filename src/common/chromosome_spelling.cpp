// Tells a chromosome's two spellings apart from other names.
#include "common/chromosome_spelling.hpp"

namespace corvane {

std::string_view without_chr_prefix(std::string_view name) {
    if (name.size() > 3 && (name[0] == 'c' || name[0] == 'C') && (name[1] == 'h' || name[1] == 'H') &&
        (name[2] == 'r' || name[2] == 'R')) {
        return name.substr(3);
    }
    return name;
}

bool same_chromosome(std::string_view a, std::string_view b) { return without_chr_prefix(a) == without_chr_prefix(b); }

}  // namespace corvane

// Counts with their nouns, singular or plural.
#include "common/counted.hpp"

namespace corvane {

std::string counted(int64_t count, std::string_view one, std::string_view many) {
    std::string text = std::to_string(count);
    text += ' ';
    text += count == 1 || count == -1 ? one : many;
    return text;
}

}  // namespace corvane

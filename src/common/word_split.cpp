// Whitespace word splitting; the views point into the line.
#include "common/word_split.hpp"

namespace corvane {

namespace {

bool is_space(char c) { return c == ' ' || c == '\t' || c == '\r'; }

}  // namespace

void split_words(std::string_view line, std::vector<std::string_view>& words) {
    words.clear();
    size_t i = 0;
    while (i < line.size()) {
        while (i < line.size() && is_space(line[i])) ++i;
        const size_t start = i;
        while (i < line.size() && !is_space(line[i])) ++i;
        if (i > start) words.push_back(line.substr(start, i - start));
    }
}

std::vector<std::string_view> split_words(std::string_view line) {
    std::vector<std::string_view> words;
    split_words(line, words);
    return words;
}

}  // namespace corvane

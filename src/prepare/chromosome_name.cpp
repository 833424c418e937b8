// Finds the spelling a file uses for a chromosome, and says which it used or which it has.
#include "prepare/chromosome_name.hpp"

#include "common/message.hpp"

namespace corvane {

std::optional<std::string> name_among(const std::vector<std::string>& names, const std::string& requested) {
    for (const std::string& name : names) {
        if (name == requested) return name;
    }
    for (const std::string& name : names) {
        if (same_chromosome(name, requested)) return name;
    }
    return std::nullopt;
}

void say_other_spelling(const std::string& path, const std::string& requested, const std::string& used) {
    print_message(message_kind::note, "%s has no chromosome %s; using %s, its other spelling\n", path.c_str(),
                  requested.c_str(), used.c_str());
}

std::string absent_chromosome_message(const std::string& path, const std::string& requested,
                                      const std::vector<std::string>& contigs_seen) {
    std::string other = std::string(without_chr_prefix(requested));
    if (other == requested) other = "chr" + requested;
    std::string message = path + " has no records of chromosome " + requested + " (nor of " + other + ")";
    if (contigs_seen.empty()) return message + "; it has no records at all";
    constexpr size_t listed_at_most = 30;
    message += "; its records are of ";
    for (size_t i = 0; i < contigs_seen.size() && i < listed_at_most; ++i) {
        message += (i > 0 ? ", " : "") + contigs_seen[i];
    }
    if (contigs_seen.size() > listed_at_most) {
        message += ", ... (" + std::to_string(contigs_seen.size()) + " contigs)";
    }
    return message;
}

}  // namespace corvane

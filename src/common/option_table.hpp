// The command line of the GNU-style tools (corvane-prepare, corvane-loci): each tool lists its
// options once, in one table whose rows carry their help lines and what they do with their values,
// and read_command_line reads any command line against such a table.
#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "common/run_record.hpp"
#include "common/run_status.hpp"

namespace corvane {

// What is wrong with an option's value, for the usage message; empty when the value was taken.
using option_fault = std::string;

// Whether an option may stand more than once on a command line, each value then taken in turn.
enum class option_repeats { refused, allowed };

// One row of a tool's option table, for the tool's `settings` (its options record).
template <typename settings>
struct command_option {
    std::string_view name;        // "--output"
    std::string_view short_name = {};  // "-o", or empty
    bool takes_value = true;      // "--out PREFIX" or "--out=PREFIX"; false for a flag ("--gzip")
    option_repeats repeats = option_repeats::refused;
    std::string help;             // the option's lines of the help, as printed
    // Takes `value` (empty for a flag) into `into`; `name` is the option as written.
    option_fault (*take)(settings& into, std::string_view name, std::string_view value) = nullptr;
    // Set instead of `take` for an option of two values, "--freq F TABLE" (or "--freq=F TABLE").
    option_fault (*take_pair)(settings& into, std::string_view name, std::string_view first,
                              std::string_view second) = nullptr;
    // The option's value in effect in `from`, as the run record shows it; without it, the record
    // shows the values as given (none for an option not given).
    std::vector<std::string> (*shown)(const settings& from) = nullptr;
};

// What a tool says around its options.
struct command_line_text {
    std::string help_before;  // the help up to the option lines
    std::string help_after;   // the help after them
    std::string usage_hint;   // the line after every usage message ("Try 'TOOL --help' for the options.\n")
};

// What a command line held besides the values the table took.
struct command_line {
    std::vector<std::string> operands;    // the arguments that are no option, in order
    std::vector<std::string_view> given;  // the `name` of each option given, as often as given
    std::vector<std::string> given_values;  // the value of each, in the same order (empty for a flag)
};

// Whether the option `name` (a row's `name`) was given.
bool was_given(const command_line& read, std::string_view name);

// Reports "TOOL: WHAT" and the usage hint on standard error; returns usage_error.
run_status report_usage_error(const command_line_text& text, const std::string& what);

// The part of a row that reading a command line needs, apart from its settings.
struct option_spelling {
    std::string_view name;
    std::string_view short_name;
    bool takes_value;
    option_repeats repeats;
    bool takes_pair = false;  // two values
};

// Takes the value (or, for a pair, the two values) of the option of row `row`, written `name`.
using option_taker = std::function<option_fault(size_t row, std::string_view name, std::string_view value,
                                                std::string_view second)>;

// read_command_line over rows given by their spellings; `take` takes the values.
run_status read_command_line_rows(int argc, const char* const* argv, const std::vector<option_spelling>& rows,
                                  const option_taker& take, const std::string& help, const command_line_text& text,
                                  bool operands_allowed, command_line& read);

// The help text: text.help_before, every row's help in table order, text.help_after.
template <typename settings>
std::string help_of(const std::vector<command_option<settings>>& table, const command_line_text& text) {
    std::string help = text.help_before;
    for (const command_option<settings>& option : table) help += option.help;
    return help + text.help_after;
}

// Reads argv[1..argc) against `table`: an option with its value as "--name VALUE" or "--name=VALUE"
// (a short name takes its value from the next argument), a flag alone, an option of two values as
// "--name FIRST SECOND" or "--name=FIRST SECOND", and, where `operands_allowed`,
// operands ("-" and any argument not starting with '-'). -h, --help and --version are answered where
// they stand (help_shown). A wrong command line is reported as a usage_error: an unknown option, a
// value missing, an option given again that stands once, or a value its row refuses.
template <typename settings>
run_status read_command_line(int argc, const char* const* argv, const std::vector<command_option<settings>>& table,
                             const command_line_text& text, bool operands_allowed, settings& into,
                             command_line& read) {
    std::vector<option_spelling> rows;
    for (const command_option<settings>& option : table) {
        rows.push_back({option.name, option.short_name, option.takes_value, option.repeats, option.take_pair != nullptr});
    }
    const auto take = [&](size_t row, std::string_view name, std::string_view value, std::string_view second) {
        if (table[row].take_pair != nullptr) return table[row].take_pair(into, name, value, second);
        return table[row].take(into, name, value);
    };
    return read_command_line_rows(argc, argv, rows, take, help_of(table, text), text, operands_allowed, read);
}

// Every option of `table` as its run record shows it: the value in effect in `from` (the settings
// the command line `read` made) and whether it was given.
template <typename settings>
std::vector<record_parameter> record_parameters(const std::vector<command_option<settings>>& table,
                                                const settings& from, const command_line& read) {
    std::vector<record_parameter> parameters;
    for (const command_option<settings>& option : table) {
        record_parameter parameter;
        parameter.name = option.name;
        parameter.given = was_given(read, option.name);
        if (option.shown != nullptr) {
            parameter.values = option.shown(from);
        } else {
            for (size_t k = 0; k < read.given.size(); ++k) {
                if (read.given[k] == option.name) parameter.values.push_back(read.given_values[k]);
            }
        }
        parameters.push_back(std::move(parameter));
    }
    return parameters;
}

}  // namespace corvane

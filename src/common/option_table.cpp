// Reads a GNU-style command line against a tool's option table.
#include "common/option_table.hpp"

#include <algorithm>

#include "common/help_and_version.hpp"
#include "common/message.hpp"

namespace corvane {

bool was_given(const command_line& read, std::string_view name) {
    return std::find(read.given.begin(), read.given.end(), name) != read.given.end();
}

run_status report_usage_error(const command_line_text& text, const std::string& what) {
    print_message(message_kind::tool, "%s\n%s", what.c_str(), text.usage_hint.c_str());
    return run_status::usage_error;
}

run_status read_command_line_rows(int argc, const char* const* argv, const std::vector<option_spelling>& rows,
                                  const option_taker& take, const std::string& help, const command_line_text& text,
                                  bool operands_allowed, command_line& read) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view argument = argv[i];
        if (const info_request request = info_request_of(argument); request != info_request::none) {
            return print_info(request, help);
        }
        if (operands_allowed && (argument.empty() || argument[0] != '-' || argument == "-")) {
            read.operands.emplace_back(argument);
            continue;
        }
        std::string_view name = argument;
        std::string_view value;
        bool has_value = false;
        if (const size_t equals = argument.find('='); argument.starts_with("--") && equals != std::string_view::npos) {
            name = argument.substr(0, equals);
            value = argument.substr(equals + 1);
            has_value = true;
        }
        const auto row = std::find_if(rows.begin(), rows.end(), [&](const option_spelling& option) {
            return name == option.name || (!option.short_name.empty() && name == option.short_name);
        });
        // A flag given a value is no option the tool knows.
        if (row == rows.end() || (!row->takes_value && has_value)) {
            return report_usage_error(text, "unknown option " + std::string(argument));
        }
        if (row->takes_value && !has_value) {
            if (i + 1 >= argc) {
                return report_usage_error(text, std::string(name) + (row->takes_pair ? " needs two values" : " needs a value"));
            }
            value = argv[++i];
        }
        std::string_view second;
        if (row->takes_pair) {
            if (i + 1 >= argc) return report_usage_error(text, std::string(name) + " needs two values");
            second = argv[++i];
        }
        if (row->repeats == option_repeats::refused && was_given(read, row->name)) {
            return report_usage_error(text, std::string(name) + " given twice");
        }
        const option_fault fault = take(static_cast<size_t>(row - rows.begin()), name, value, second);
        if (!fault.empty()) return report_usage_error(text, fault);
        read.given.push_back(row->name);
        read.given_values.emplace_back(value);
    }
    return run_status::run_ok;
}

}  // namespace corvane

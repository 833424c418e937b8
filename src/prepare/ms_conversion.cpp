// Reads the ms file a replicate at a time and writes each replicate's panel and legend as it goes.
#include "prepare/ms_conversion.hpp"

#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

#include "common/message.hpp"
#include "common/same_file.hpp"
#include "common/staged_output.hpp"
#include "input/bit_panel.hpp"
#include "input/bit_panel_writer.hpp"
#include "input/ms_reader.hpp"
#include "prepare/genetic_map.hpp"

namespace corvane {

namespace {

// Bit panels and legends hold 32-bit positions.
constexpr int64_t largest_bp = 2'147'483'647;

struct conversion_counts {
    int64_t replicates = 0;
    int64_t snps = 0;
    int64_t moved = 0;
    int64_t haplotypes = 0;
};

run_status write_legend(const std::string& name, const std::vector<int64_t>& bp, const genetic_map& map,
                        staged_output& legend) {
    std::string text = "chr\tid\tcM\tbp\n";
    char numbers[96];
    for (size_t k = 0; k < bp.size(); ++k) {
        std::snprintf(numbers, sizeof numbers, "_%zu\t%.6f\t%lld\n", k + 1, genetic_position(map, bp[k]),
                      static_cast<long long>(bp[k]));
        text += name;
        text += '\t';
        text += name;
        text += numbers;
    }
    return write_staged(legend, text);
}

// One replicate, its positions read: its legend, then its haplotypes as bit rows, H filled in at the end.
run_status convert_replicate(const prepare_options& options, const genetic_map& map, ms_reader& reader,
                             const std::vector<double>& positions, staged_output& panel, staged_output& legend,
                             conversion_counts& counts) {
    int64_t moved = 0;
    const std::vector<int64_t> bp = simulated_bp(positions, options.region_length, moved);
    const std::string name = options.replicate_prefix + std::to_string(reader.replicate);
    if (bp.back() > largest_bp) {
        print_message(message_kind::tool, "%s: replicate %lld: its last SNP lands at bp %lld, beyond the %lld a legend "
                      "holds; use a smaller --length\n", options.ms_path.c_str(), static_cast<long long>(reader.replicate),
                      static_cast<long long>(bp.back()), static_cast<long long>(largest_bp));
        return run_status::bad_input;
    }
    run_status status = write_legend(name, bp, map, legend);
    if (status == run_status::run_ok) status = write_bit_panel_header(panel, 0, reader.snp_count);
    std::vector<uint64_t> bits;
    for (bool found = true; status == run_status::run_ok;) {
        status = next_ms_haplotype(reader, bits, found);
        if (status != run_status::run_ok || !found) break;
        status = write_bit_panel_rows(panel, bits.data(), bits.size());
    }
    if (status != run_status::run_ok) return status;
    const auto header = bit_panel_header(reader.haplotypes, reader.snp_count);
    status = rewrite_staged_start(panel, std::string_view(reinterpret_cast<const char*>(header.data()), header.size()));
    if (status == run_status::run_ok) status = finish_staged(panel);
    if (status == run_status::run_ok) status = finish_staged(legend);
    ++counts.replicates;
    counts.snps += static_cast<int64_t>(bp.size());
    counts.moved += moved;
    counts.haplotypes = reader.haplotypes;
    return status;
}

run_status read_map(const prepare_options& options, genetic_map& map) {
    if (options.map_path.empty()) {
        map = uniform_genetic_map(options.cm_per_mb);
        return run_status::run_ok;
    }
    return read_genetic_map(options.map_path, options.layout, options.map_chromosome, map);
}

}  // namespace

std::vector<int64_t> simulated_bp(const std::vector<double>& positions, int64_t length, int64_t& moved) {
    std::vector<int64_t> bp;
    int64_t previous = 0;
    moved = 0;
    for (const double position : positions) {
        const double scaled = position * static_cast<double>(length);
        int64_t at = std::llround(scaled);
        if (at <= previous) {
            at = previous + 1;
            ++moved;
        }
        bp.push_back(at);
        previous = at;
    }
    return bp;
}

run_status convert_ms_file(const prepare_options& options) {
    genetic_map map;
    run_status status = read_map(options, map);
    if (status != run_status::run_ok) return status;
    ms_reader reader;
    status = open_ms_file(reader, options.ms_path);
    if (status != run_status::run_ok) return status;
    std::vector<std::unique_ptr<staged_output>> outputs;
    conversion_counts counts;
    std::vector<double> positions;
    for (bool found = true; status == run_status::run_ok;) {
        status = next_ms_replicate(reader, positions, found);
        if (status != run_status::run_ok || !found) break;
        const std::string prefix = options.out_prefix + "." + std::to_string(reader.replicate);
        for (const char* suffix : {".hapbits", ".legend"}) {
            outputs.push_back(std::make_unique<staged_output>());
            const std::string path = prefix + suffix;
            status = check_output_is_not_an_input(path, {{"input", options.ms_path}, {"input", options.map_path}});
            if (status == run_status::run_ok) status = open_staged(*outputs.back(), path);
            if (status != run_status::run_ok) break;
        }
        if (status == run_status::run_ok) {
            status = convert_replicate(options, map, reader, positions, *outputs[outputs.size() - 2], *outputs.back(),
                                       counts);
        }
    }
    if (status != run_status::run_ok) return status;
    std::vector<staged_output*> all;
    for (const auto& output : outputs) all.push_back(output.get());
    status = commit_staged(all);
    if (status != run_status::run_ok) return status;
    print_message(message_kind::tool, "wrote %s.1 to %s.%lld (.hapbits, .legend): %lld replicates of %lld haplotypes, "
                  "%lld SNPs, of which %lld moved to the bp after the SNP before\n", options.out_prefix.c_str(),
                  options.out_prefix.c_str(), static_cast<long long>(counts.replicates),
                  static_cast<long long>(counts.replicates), static_cast<long long>(counts.haplotypes),
                  static_cast<long long>(counts.snps), static_cast<long long>(counts.moved));
    return run_status::run_ok;
}

}  // namespace corvane

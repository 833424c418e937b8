// Reads the ms file a replicate at a time and writes each replicate's panel and legend as it goes.
#include "prepare/ms_conversion.hpp"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

#include "common/message.hpp"
#include "common/same_file.hpp"
#include "common/staged_output.hpp"
#include "input/bit_panel_writer.hpp"
#include "input/bit_words.hpp"
#include "input/ms_reader.hpp"
#include "prepare/genetic_map.hpp"
#include "prepare/site_rules.hpp"

namespace corvane {

namespace {

// Bit panels and legends hold 32-bit positions.
constexpr int64_t largest_bp = 2'147'483'647;

struct conversion_counts {
    int64_t replicates = 0;
    int64_t snps = 0;
    int64_t moved = 0;
    int64_t rare = 0;  // below --min-maf
    int64_t haplotypes = 0;
};

// The legend of the kept sites: SNP j of the replicate (from 1, in the ms file) is NAME_j.
run_status write_legend(const std::string& name, const std::vector<int64_t>& bp, const std::vector<int64_t>& kept,
                        const genetic_map& map, staged_output& legend) {
    std::string text = "chr\tid\tcM\tbp\n";
    char numbers[96];
    for (const int64_t site : kept) {
        const int64_t at = bp[static_cast<size_t>(site)];
        std::snprintf(numbers, sizeof numbers, "_%lld\t%.6f\t%lld\n", static_cast<long long>(site + 1),
                      genetic_position(map, at), static_cast<long long>(at));
        text += name;
        text += '\t';
        text += name;
        text += numbers;
    }
    return write_staged(legend, text);
}

// The replicate's haplotypes, H rows of words_for_bits(S) words.
run_status read_haplotypes(ms_reader& reader, std::vector<uint64_t>& rows) {
    std::vector<uint64_t> bits;
    for (bool found = true;;) {
        const run_status status = next_ms_haplotype(reader, bits, found);
        if (status != run_status::run_ok || !found) return status;
        rows.insert(rows.end(), bits.begin(), bits.end());
    }
}

// The sites that --min-maf keeps (all of them without it).
std::vector<int64_t> kept_sites(const std::vector<uint64_t>& rows, int64_t haplotypes, int64_t snps, double min_maf) {
    const size_t words = words_for_bits(snps);
    std::vector<int64_t> kept;
    for (int64_t site = 0; site < snps; ++site) {
        int64_t ones = 0;
        for (int64_t h = 0; h < haplotypes; ++h) ones += bit_at(rows.data() + static_cast<size_t>(h) * words, site);
        if (min_maf == 0.0 || !below_min_maf(ones, haplotypes, min_maf)) kept.push_back(site);
    }
    return kept;
}

// One replicate, its positions read: its haplotypes, then its bit panel and legend of the kept sites.
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
    std::vector<uint64_t> rows;
    run_status status = read_haplotypes(reader, rows);
    if (status != run_status::run_ok) return status;
    const int64_t snps = reader.snp_count, haplotypes = reader.haplotypes;
    const std::vector<int64_t> kept = kept_sites(rows, haplotypes, snps, options.policy.min_minor_allele_frequency);
    if (kept.empty()) {
        print_message(message_kind::tool, "%s: replicate %lld has no SNP with a minor allele frequency of at least %g; "
                      "a panel needs at least one\n", options.ms_path.c_str(), static_cast<long long>(reader.replicate),
                      options.policy.min_minor_allele_frequency);
        return run_status::bad_input;
    }
    status = write_legend(name, bp, kept, map, legend);
    if (status == run_status::run_ok) status = write_bit_panel_header(panel, haplotypes, static_cast<int64_t>(kept.size()));
    const size_t words = words_for_bits(snps);
    std::vector<uint64_t> row(words_for_bits(static_cast<int64_t>(kept.size())));
    for (int64_t h = 0; h < haplotypes && status == run_status::run_ok; ++h) {
        const uint64_t* source = rows.data() + static_cast<size_t>(h) * words;
        if (kept.size() == static_cast<size_t>(snps)) {
            status = write_bit_panel_rows(panel, source, words);
            continue;
        }
        std::fill(row.begin(), row.end(), 0);
        for (size_t c = 0; c < kept.size(); ++c) row[c / 64] |= uint64_t{bit_at(source, kept[c])} << (c % 64);
        status = write_bit_panel_rows(panel, row.data(), row.size());
    }
    if (status == run_status::run_ok) status = finish_staged(panel);
    if (status == run_status::run_ok) status = finish_staged(legend);
    ++counts.replicates;
    counts.snps += static_cast<int64_t>(kept.size());
    counts.rare += snps - static_cast<int64_t>(kept.size());
    counts.moved += moved;
    counts.haplotypes = haplotypes;
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

run_status convert_ms_file(const prepare_options& options, run_record& record) {
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
    add_record_input(record, options.ms_path, {"replicates=" + std::to_string(counts.replicates)});
    add_record_count(record, "replicates", counts.replicates);
    add_record_count(record, "haplotypes", counts.haplotypes);
    add_record_count(record, "snps", counts.snps);
    add_record_count(record, "snps_moved", counts.moved);
    add_record_count(record, "skipped_below_min_maf", counts.rare);
    for (const staged_output* output : all) record.outputs.push_back(output->final_path);
    if (options.policy.min_minor_allele_frequency > 0.0) {
        print_message(message_kind::tool, "sites with a minor allele frequency below %g skipped: %lld\n",
                      options.policy.min_minor_allele_frequency, static_cast<long long>(counts.rare));
    }
    print_message(message_kind::tool, "wrote %s.1 to %s.%lld (.hapbits, .legend): %lld replicates of %lld haplotypes, "
                  "%lld SNPs, of which %lld moved to the bp after the SNP before\n", options.out_prefix.c_str(),
                  options.out_prefix.c_str(), static_cast<long long>(counts.replicates),
                  static_cast<long long>(counts.replicates), static_cast<long long>(counts.haplotypes),
                  static_cast<long long>(counts.snps), static_cast<long long>(counts.moved));
    return run_status::run_ok;
}

}  // namespace corvane

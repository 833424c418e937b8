// Packs a text panel's haplotypes into bit rows as they are read; the header gets H at the end.
#include "prepare/text_panel_conversion.hpp"

#include <cerrno>
#include <cstring>
#include <span>
#include <string_view>
#include <vector>

#include "common/counted.hpp"
#include "common/message.hpp"
#include "common/same_file.hpp"
#include "common/staged_output.hpp"
#include "input/bit_panel.hpp"
#include "input/bit_panel_writer.hpp"
#include "input/bit_words.hpp"
#include "input/genotype_file.hpp"
#include "report/work_progress.hpp"

namespace corvane {

run_status convert_text_panel(const std::string& text_panel_path, const std::string& output_path, run_record& record) {
    run_status checked = check_output_is_not_an_input(output_path, {{"input", text_panel_path}});
    if (checked == run_status::run_ok) checked = check_output_target(output_path);
    if (checked != run_status::run_ok) return checked;
    staged_output output;
    run_status status = open_staged(output, output_path);
    if (status != run_status::run_ok) return status;
    int64_t snps = 0, haplotypes = 0;
    std::vector<uint64_t> row;
    work_progress progress;
    start_work_progress(progress);
    say_progress(progress, "reading " + text_panel_path);
    const auto take_snp_count = [&](int32_t snp_count) {
        snps = snp_count;
        row.resize(words_for_bits(snps));
        // H is not known yet: the header is written again at the end.
        return write_bit_panel_header(output, 0, snps);
    };
    const auto take_haplotype = [&](std::span<const int32_t> alleles) {
        for (size_t c = 0; c < alleles.size(); ++c) {
            if ((alleles[c] & ~1) != 0) {
                print_message(message_kind::place,
                              "%s:%lld: allele %zu is %d, but a bit panel holds only alleles 0 and 1; corvane reads "
                              "this panel as it is, as text\n",
                              text_panel_path.c_str(), static_cast<long long>(haplotypes + 1), c + 1, alleles[c]);
                return run_status::genotype_malformed;
            }
        }
        pack_low_bits(alleles.data(), alleles.size(), row.data());
        if (++haplotypes % 64 == 0) {
            say_progress(progress, "reading " + text_panel_path + ": " + grouped_digits(haplotypes) + " haplotypes");
        }
        return write_bit_panel_rows(output, row.data(), row.size());
    };
    status = read_genotype_file(text_panel_path, take_snp_count, take_haplotype);
    if (status == run_status::genotype_missing) {
        print_message(message_kind::tool, "cannot open the genotype file %s: %s\n", text_panel_path.c_str(),
                      std::strerror(errno));
    }
    if (status != run_status::run_ok) return status;
    add_record_input(record, text_panel_path,
                     {"haplotypes=" + std::to_string(haplotypes), "snps=" + std::to_string(snps)});
    add_record_count(record, "haplotypes", haplotypes);
    add_record_count(record, "snps", snps);
    const auto header = bit_panel_header(haplotypes, snps);
    status = rewrite_staged_start(output, std::string_view(reinterpret_cast<const char*>(header.data()), header.size()));
    if (status == run_status::run_ok) status = commit_staged({&output});
    end_work_progress(progress);
    if (status != run_status::run_ok) return status;
    record.outputs = {output_path};
    print_message(message_kind::note, "wrote %s: %s x %s\n", output_path.c_str(),
                  counted(haplotypes, "haplotype", "haplotypes").c_str(), counted(snps, "SNP", "SNPs").c_str());
    return run_status::run_ok;
}

}  // namespace corvane

# The libraries of src/, one per folder: each folder's sources and the libraries it builds on, written
# once for the main build and the fuzz build (fuzz/CMakeLists.txt), which both make them with
# corvane_add_libraries. A new source file is added to its folder's list here and nowhere else.
# The folders stand in their order of building: each uses only folders listed before it.
#   common   statuses, messages, help and version, files (same-file check, temporary and staged
#            outputs, their removal on a signal), the run record, the option table, the line
#            reader and the splitters, the chromosome spellings
#   input    every input format end to end: genotype files (text and bit panel), the two tables,
#            gene files, and input/legend/ for every legend reader
#   search   the carrier counts and the region search, reference and fast, and the carrier search
#   report   the result file and its rows, progress (the scan's and that of the other tools)
#   scan     the scan tool's drivers: run setup, the reference and the fast run, help
#   prepare  corvane-prepare
#   loci     corvane-loci
# Paths are relative to src/. The entry points (corvane.cpp, corvane_reference.cpp,
# prepare/prepare_main.cpp, loci/loci_main.cpp) belong to no library.

set(corvane_common_sources
  common/run_status.cpp
  common/counted.cpp
  common/message.cpp
  common/help_and_version.cpp
  common/same_file.cpp
  common/signal_cleanup.cpp
  common/temporary_file.cpp
  common/run_record.cpp
  common/chromosome_spelling.cpp
  common/staged_output.cpp
  common/option_table.cpp
  common/line_reader.cpp
  common/field_split.cpp
  common/word_split.cpp
)
set(corvane_common_uses ZLIB::ZLIB PkgConfig::HTSLIB)

set(corvane_input_sources
  input/genotype_reading.cpp
  input/genotype_parser.cpp
  input/bit_panel.cpp
  input/genotype_file.cpp
  input/genotype_matrix.cpp
  input/fast_genotype_matrix.cpp
  input/fast_genotype_loading.cpp
  input/haplotype_table.cpp
  input/bit_panel_writer.cpp
  input/ms_reader.cpp
  input/legend/legend_rows.cpp
  input/legend/legend_span.cpp
  input/legend/legend_table.cpp
  input/legend/legend_index.cpp
  input/legend/legend_alleles.cpp
  input/gene_file.cpp
)
set(corvane_input_uses corvane_common Threads::Threads)

set(corvane_search_sources
  search/window_count.cpp
  search/region.cpp
  search/column_bits.cpp
  search/window_words.cpp
  search/window_partition.cpp
  search/partition_carriers.cpp
  search/narrow_window_groups.cpp
  search/value_window_count.cpp
  search/rare_cell_groups.cpp
  search/rare_cell_count.cpp
  search/two_plane_count.cpp
  search/fast_window_count.cpp
  search/fast_region.cpp
  search/carrier_search.cpp
)
set(corvane_search_uses corvane_input Eigen3::Eigen)

set(corvane_report_sources
  report/region_row.cpp
  report/output_file.cpp
  report/legend_lookup.cpp
  report/progress.cpp
  report/work_progress.cpp
)
set(corvane_report_uses corvane_search Threads::Threads)

set(corvane_scan_sources
  scan/run_setup.cpp
  scan/reference_run.cpp
  scan/fast_run.cpp
  scan/scan_help.cpp
)
set(corvane_scan_uses corvane_report)

set(corvane_prepare_sources
  prepare/options.cpp
  prepare/genetic_map.cpp
  prepare/text_input.cpp
  prepare/map_file.cpp
  prepare/sample_list.cpp
  prepare/population_file.cpp
  prepare/site_rules.cpp
  prepare/phased_gt.cpp
  prepare/panel_gather.cpp
  prepare/chromosome_name.cpp
  prepare/htslib_messages.cpp
  prepare/vcf_index.cpp
  prepare/vcf_header_fault.cpp
  prepare/vcf_reader.cpp
  prepare/text_panel_conversion.cpp
  prepare/cm_source.cpp
  prepare/record_conversion.cpp
  prepare/vcf_ranges.cpp
  prepare/chromosome_conversion.cpp
  prepare/dropped_samples.cpp
  prepare/prepare_run.cpp
  prepare/ms_conversion.cpp
)
set(corvane_prepare_uses corvane_report)

set(corvane_loci_sources
  loci/result_table.cpp
  loci/locus_merge.cpp
  loci/frequency_tables.cpp
  loci/cell_loci.cpp
  loci/combined_statistic.cpp
  loci/loci_across_frequencies.cpp
  loci/row_windows.cpp
  loci/core_snps.cpp
  loci/panel_carriers.cpp
  loci/core_table.cpp
  loci/locus_genes.cpp
  loci/sample_names.cpp
  loci/loci_tables.cpp
  loci/loci_options.cpp
  loci/loci_run.cpp
)
set(corvane_loci_uses corvane_report)

# Makes the library corvane_FOLDER of each folder named after `source_root` (the src/ folder),
# linked to what it uses. The packages those name (ZLIB, Eigen3, Threads, htslib through pkg-config as HTSLIB)
# must have been found first.
function(corvane_add_libraries source_root)
  foreach(folder ${ARGN})
    list(TRANSFORM corvane_${folder}_sources PREPEND ${source_root}/ OUTPUT_VARIABLE sources)
    add_library(corvane_${folder} STATIC ${sources})
    target_include_directories(corvane_${folder} PUBLIC ${source_root})
    target_link_libraries(corvane_${folder} PUBLIC ${corvane_${folder}_uses})
  endforeach()
endfunction()

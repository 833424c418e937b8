// One pass over the chromosome, or its ranges read by worker threads while the calling thread takes
// their results in order and checks what lies across two ranges.
#include "prepare/chromosome_conversion.hpp"

#include <algorithm>
#include <condition_variable>
#include <cstddef>
#include <mutex>
#include <thread>
#include <utility>

#include "common/message.hpp"
#include "prepare/vcf_ranges.hpp"

namespace corvane {

namespace {

// Gives a panel a part's legend rows and sites, in order.
run_status take_rows(panel_result& panel, panel_part& part) {
    run_status status = write_staged(*panel.legend, part.legend);
    std::string().swap(part.legend);
    if (status == run_status::run_ok) status = append_sites(panel.table, part.table);
    return status;
}

void add_counts(site_counts& into, const site_counts& counts) {
    into.kept += counts.kept;
    for (size_t kind = 0; kind < into.skipped.size(); ++kind) into.skipped[kind] += counts.skipped[kind];
    into.below_min_maf += counts.below_min_maf;
    into.duplicates += counts.duplicates;
}

// Gives a panel a part's counts, its samples' calls and its last cM.
void take_counts(panel_result& panel, const panel_part& part) {
    add_counts(panel.counts, part.counts);
    for (size_t s = 0; s < part.missing_calls.size(); ++s) {
        panel.missing_calls[s] += part.missing_calls[s];
        panel.unphased_calls[s] += part.unphased_calls[s];
    }
    if (part.last_cm != -INFINITY) panel.last_cm = part.last_cm;
}

// Each reader has the map or tag of the run, with buffers of its own.
void copy_cm_source(const cm_source& model, cm_source& copy) {
    copy.map = model.map;
    copy.tag = model.tag;
    copy.tag_type = model.tag_type;
}

// The chromosome in one pass by the reader the run opened.
run_status convert_in_one_pass(chromosome_conversion& conversion) {
    vcf_reader& reader = conversion.reader;
    if (conversion.threads > 0 && reader.index_id < 0) hts_set_threads(reader.file, conversion.threads);
    cm_source cm;
    copy_cm_source(conversion.cm, cm);
    record_conversion work{
        .reader = reader, .targets = conversion.targets, .policy = conversion.policy, .cm = cm, .progress = conversion.progress};
    start_parts(work);
    std::vector<panel_result>& panels = conversion.panels;
    work.drain = [&panels](size_t panel, panel_part& part) { return take_rows(panels[panel], part); };
    run_status status = convert_records(work);
    for (size_t panel = 0; panel < panels.size(); ++panel) {
        if (status == run_status::run_ok) status = take_rows(panels[panel], work.parts[panel]);
        take_counts(panels[panel], work.parts[panel]);
    }
    conversion.records = reader.records;
    if (status == run_status::run_ok) status = check_index_record_count(reader, conversion.records);
    return status;
}

// What a worker made of one range, kept until the merge takes it.
struct range_result {
    bool done = false;
    run_status status = run_status::run_ok;
    std::vector<captured_message> messages;
    std::vector<panel_part> parts;
    std::vector<range_start> starts;
    int64_t records = 0;
    int64_t last_position = 0;
    bool first_read_failed = false;
};

// The ranges, who reads which, and how far the merge has come. A worker may read ahead of the merge
// by `window` ranges only, so the ranges done but not yet merged stay few.
struct range_schedule {
    std::mutex lock;
    std::condition_variable changed;
    std::vector<position_range> ranges;
    std::vector<range_result> results;
    size_t next = 0;
    size_t merged = 0;
    size_t window = 1;
    size_t needed = 0;  // ranges from here on are not needed: one before them failed, or the merge stopped
};

struct worker_inputs {
    const vcf_reader& first;
    const std::vector<panel_target>& targets;
    const site_policy& policy;
    const cm_source& cm;
};

// The next range for a worker to read, or false when none is left or needed.
bool take_range(range_schedule& schedule, size_t& range) {
    std::unique_lock<std::mutex> held(schedule.lock);
    schedule.changed.wait(held, [&] {
        return schedule.next >= schedule.needed || schedule.next < schedule.merged + schedule.window;
    });
    if (schedule.next >= schedule.needed) return false;
    range = schedule.next++;
    return true;
}

// Reads one range with `reader` (opened on the first range it reads), its messages kept back.
void read_range(const worker_inputs& inputs, range_schedule& schedule, size_t range, vcf_reader& reader,
                cm_source& cm, range_result& result) {
    capture_messages(&result.messages);
    result.status = reader.file == nullptr ? open_vcf_again(reader, inputs.first) : run_status::run_ok;
    reader.defer_first_read_failure = true;
    const position_range& positions = schedule.ranges[range];
    if (result.status == run_status::run_ok) result.status = place_on_range(reader, positions.begin, positions.end);
    record_conversion work{.reader = reader, .targets = inputs.targets, .policy = inputs.policy, .cm = cm};
    work.messages = &result.messages;
    start_parts(work);
    if (result.status == run_status::run_ok) result.status = convert_records(work);
    result.parts = std::move(work.parts);
    result.starts = std::move(work.starts);
    result.records = reader.records;
    result.last_position = reader.last_position;
    result.first_read_failed = reader.first_read_failed;
    capture_messages(nullptr);
}

void read_ranges(const worker_inputs& inputs, range_schedule& schedule) {
    vcf_reader reader;
    cm_source cm;
    copy_cm_source(inputs.cm, cm);
    size_t range = 0;
    while (take_range(schedule, range)) {
        range_result result;
        read_range(inputs, schedule, range, reader, cm, result);
        const std::lock_guard<std::mutex> held(schedule.lock);
        if (result.status != run_status::run_ok) schedule.needed = std::min(schedule.needed, range + 1);
        result.done = true;
        schedule.results[range] = std::move(result);
        schedule.changed.notify_all();
    }
}

// Takes one range's result into the panels: first the check across the range border (a panel's
// first cM there against its last before), then its messages, its fault, or its rows and counts.
run_status merge_range(chromosome_conversion& conversion, range_result& result, int64_t& last_position) {
    std::vector<panel_result>& panels = conversion.panels;
    for (const range_start& start : result.starts) {
        const double last_cm = panels[start.panel].last_cm;
        if (start.cm >= last_cm) continue;
        print_captured(std::span<const captured_message>(result.messages).first(start.messages));
        report_decreasing_cm(start.location, start.cm, last_cm);
        return run_status::bad_input;
    }
    print_captured(result.messages);
    if (result.first_read_failed) report_unreadable_record(conversion.reader, last_position);
    run_status status = result.status;
    for (size_t panel = 0; panel < panels.size(); ++panel) {
        if (status == run_status::run_ok) status = take_rows(panels[panel], result.parts[panel]);
        take_counts(panels[panel], result.parts[panel]);
    }
    conversion.records += result.records;
    if (result.records > 0) last_position = result.last_position;
    return status;
}

run_status convert_in_ranges(chromosome_conversion& conversion) {
    range_schedule schedule;
    schedule.ranges = plan_ranges(conversion.reader, conversion.threads);
    schedule.results.resize(schedule.ranges.size());
    schedule.needed = schedule.ranges.size();
    schedule.window = 2 * static_cast<size_t>(conversion.threads);
    const worker_inputs inputs{conversion.reader, conversion.targets, conversion.policy, conversion.cm};
    std::vector<std::thread> workers;
    for (int t = 0; t < conversion.threads; ++t) workers.emplace_back(read_ranges, std::cref(inputs), std::ref(schedule));

    run_status status = run_status::run_ok;
    int64_t last_position = 0;
    for (size_t range = 0; range < schedule.ranges.size() && status == run_status::run_ok; ++range) {
        range_result result;
        {
            std::unique_lock<std::mutex> held(schedule.lock);
            schedule.changed.wait(held, [&] { return schedule.results[range].done; });
            result = std::move(schedule.results[range]);
        }
        status = merge_range(conversion, result, last_position);
        if (conversion.progress != nullptr && status == run_status::run_ok) {
            const int64_t kept = conversion.panels.empty() ? 0 : conversion.panels[0].counts.kept;
            say_progress(*conversion.progress,
                         reading_progress_text(conversion.reader.path, conversion.reader.chromosome, last_position,
                                               conversion.panels.size(), kept, conversion.records),
                         static_cast<double>(range + 1) / static_cast<double>(schedule.ranges.size()));
        }
        const std::lock_guard<std::mutex> held(schedule.lock);
        schedule.merged = range + 1;
        if (status != run_status::run_ok) schedule.needed = 0;
        schedule.changed.notify_all();
    }
    for (std::thread& worker : workers) worker.join();
    if (status == run_status::run_ok) status = check_index_record_count(conversion.reader, conversion.records);
    return status;
}

}  // namespace

// Sixteen ranges per thread, so that the threads end close together (a range of a VCF.gz takes a
// second or so of parsing: with four per thread, one thread often read its last one alone), and
// none of more than about 32,768 records, which bounds what waits for the merge.
std::vector<position_range> plan_ranges(const vcf_reader& reader, int threads) {
    const uint64_t records = reader.index_records.value_or(0);
    const uint64_t by_records = records / 32768 + 1;
    const uint64_t count = std::min<uint64_t>(4096, std::max<uint64_t>(16 * static_cast<uint64_t>(threads), by_records));
    return cut_into_ranges(reader, static_cast<size_t>(count));
}

run_status convert_chromosome(chromosome_conversion& conversion) {
    for (size_t panel = 0; panel < conversion.panels.size(); ++panel) {
        panel_result& result = conversion.panels[panel];
        start_haplotype_table(result.table, 2 * static_cast<int64_t>(conversion.targets[panel].samples.size()));
        result.missing_calls.assign(conversion.targets[panel].samples.size(), 0);
        result.unphased_calls.assign(conversion.targets[panel].samples.size(), 0);
    }
    const vcf_reader& reader = conversion.reader;
    conversion.read_in_ranges = conversion.threads > 0 && reader.index_id >= 0 && !reader.chromosome_absent;
    return conversion.read_in_ranges ? convert_in_ranges(conversion) : convert_in_one_pass(conversion);
}

}  // namespace corvane

// Finds, through index queries, the positions where the chromosome's compressed data is cut evenly.
#include "prepare/vcf_ranges.hpp"

#include <algorithm>
#include <optional>

namespace corvane {

namespace {

// Where the index says reading must start for the records overlapping [begin, end), as a byte of
// the compressed file; nothing when no record does.
std::optional<uint64_t> data_start(const vcf_reader& reader, int64_t begin, int64_t end) {
    hts_itr_t* query = reader.index != nullptr ? bcf_itr_queryi(reader.index, reader.index_id, begin, end)
                                               : tbx_itr_queryi(reader.tabix, reader.index_id, begin, end);
    if (query == nullptr) return std::nullopt;
    std::optional<uint64_t> start;
    if (query->n_off > 0) start = query->off[0].u >> 16;
    hts_itr_destroy(query);
    return start;
}

// A query's cost grows with the positions it spans (it visits every bin of the index there), so the
// chromosome is looked at through small windows: coarse ones over all positions a legend holds, then
// fine ones inside the coarse windows that have data.
constexpr int64_t coarse_window = int64_t{1} << 20;
constexpr int64_t positions_held = int64_t{1} << 31;

// Where the chromosome's compressed data ends, within [begin, end).
uint64_t data_end(const vcf_reader& reader, int64_t begin, int64_t end) {
    hts_itr_t* query = reader.index != nullptr ? bcf_itr_queryi(reader.index, reader.index_id, begin, end)
                                               : tbx_itr_queryi(reader.tabix, reader.index_id, begin, end);
    uint64_t last = 0;
    if (query == nullptr) return last;
    for (int i = 0; i < query->n_off; ++i) last = std::max(last, query->off[i].v >> 16);
    hts_itr_destroy(query);
    return last;
}

}  // namespace

std::vector<position_range> cut_into_ranges(const vcf_reader& reader, size_t count) {
    // The coarse windows with data, where the data starts and where it ends.
    std::vector<int64_t> windows;
    std::optional<uint64_t> first;
    uint64_t end = 0;
    // The coarse windows end at the power of two past the data: the end of the last doubling stretch
    // [L, 2L) with data.
    int64_t data_limit = coarse_window;
    for (int64_t stretch = coarse_window; stretch < positions_held; stretch *= 2) {
        if (data_start(reader, stretch, 2 * stretch)) data_limit = 2 * stretch;
    }
    for (int64_t window = 0; window < data_limit; window += coarse_window) {
        const std::optional<uint64_t> start = data_start(reader, window, window + coarse_window);
        if (!start) continue;
        windows.push_back(window);
        if (!first) first = *start;
        end = std::max(end, data_end(reader, window, window + coarse_window));
    }
    if (count < 2 || !first || end <= *first) return {{0, HTS_POS_MAX}};
    // Where reading starts changes only between the index's windows of positions (16 kb for a .tbi):
    // the fine windows are that wide.
    constexpr int64_t fine_window = int64_t{1} << 14;
    std::vector<int64_t> cuts;
    size_t next_cut = 1;
    const auto share_start = [&](size_t cut) { return *first + (end - *first) * cut / count; };
    for (const int64_t window : windows) {
        for (int64_t position = std::max(window, fine_window); position < window + coarse_window && next_cut < count;
             position += fine_window) {
            const std::optional<uint64_t> start = data_start(reader, position, position + fine_window);
            if (!start || *start < share_start(next_cut)) continue;
            cuts.push_back(position);
            while (next_cut < count && share_start(next_cut) <= *start) ++next_cut;
        }
    }
    std::vector<position_range> ranges;
    int64_t begin = 0;
    for (const int64_t cut : cuts) {
        ranges.push_back({begin, cut});
        begin = cut;
    }
    ranges.push_back({begin, HTS_POS_MAX});
    return ranges;
}

}  // namespace corvane


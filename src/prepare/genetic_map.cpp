// Interpolation on a genetic map, and the extrapolation rates beyond its ends.
#include "prepare/genetic_map.hpp"

#include <algorithm>
#include <cassert>

namespace corvane {

void set_extrapolation_rates(genetic_map& map) {
    const std::vector<int64_t>& bp = map.bp;
    const std::vector<double>& cm = map.cm;
    assert(bp.size() >= 2 && cm.size() == bp.size() && cm.back() > cm.front());
    const double whole_rate = (cm.back() - cm.front()) / static_cast<double>(bp.back() - bp.front());

    // Left: from the first position to where the map reaches first cM + 5 (interpolated).
    const double left_target = cm.front() + end_stretch_cm;
    map.rate_before = whole_rate;
    // At cM so large that 5 is lost in rounding the stretch is empty: the whole map's rate stands.
    if (left_target > cm.front() && left_target < cm.back()) {
        const size_t k = static_cast<size_t>(std::lower_bound(cm.begin(), cm.end(), left_target) - cm.begin());
        // cm[k - 1] < left_target <= cm[k], so the segment has a positive cM length.
        const double reach = static_cast<double>(bp[k - 1]) + (left_target - cm[k - 1]) *
                                                                 static_cast<double>(bp[k] - bp[k - 1]) /
                                                                 (cm[k] - cm[k - 1]);
        const double length = reach - static_cast<double>(bp.front());
        if (length > 0.0) map.rate_before = end_stretch_cm / length;
    }

    // Right: from where the map is at last cM - 5 (interpolated) to the last position.
    const double right_target = cm.back() - end_stretch_cm;
    map.rate_after = whole_rate;
    if (right_target > cm.front() && right_target < cm.back()) {
        const size_t k = static_cast<size_t>(std::upper_bound(cm.begin(), cm.end(), right_target) - cm.begin());
        // cm[k - 1] <= right_target < cm[k].
        const double start = static_cast<double>(bp[k - 1]) + (right_target - cm[k - 1]) *
                                                                  static_cast<double>(bp[k] - bp[k - 1]) /
                                                                  (cm[k] - cm[k - 1]);
        const double length = static_cast<double>(bp.back()) - start;
        if (length > 0.0) map.rate_after = end_stretch_cm / length;
    }
}

double genetic_position(const genetic_map& map, int64_t position) {
    const std::vector<int64_t>& bp = map.bp;
    const std::vector<double>& cm = map.cm;
    if (position <= bp.front()) return cm.front() - static_cast<double>(bp.front() - position) * map.rate_before;
    if (position >= bp.back()) return cm.back() + static_cast<double>(position - bp.back()) * map.rate_after;
    const size_t k = static_cast<size_t>(std::upper_bound(bp.begin(), bp.end(), position) - bp.begin());
    // bp[k - 1] <= position < bp[k]
    return cm[k - 1] + static_cast<double>(position - bp[k - 1]) * (cm[k] - cm[k - 1]) /
                           static_cast<double>(bp[k] - bp[k - 1]);
}

}  // namespace corvane

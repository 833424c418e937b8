// Maps run statuses to process exit statuses.
#include "common/run_status.hpp"

namespace corvane {

int exit_code(run_status status) {
    switch (status) {
        case run_status::run_ok:
        case run_status::help_shown: return 0;
        case run_status::usage_error:
        case run_status::bad_frequency: return 2;
        default: return 1;
    }
}

}  // namespace corvane

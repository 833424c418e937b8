// Maps corvane-prepare statuses to process exit statuses.
#include "prepare/prepare_status.hpp"

namespace corvane {

int prepare_exit_code(prepare_status status) {
    switch (status) {
        case prepare_status::ok:
        case prepare_status::help_shown: return 0;
        case prepare_status::usage_error: return 2;
        default: return 1;
    }
}

}  // namespace corvane

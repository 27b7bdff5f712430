#include "RunOutcome.h"

const char* RunOutcomeName(RunOutcome outcome) {
    switch (outcome) {
        case RunOutcome::None:
            return "none";
        case RunOutcome::Succeeded:
            return "success";
        case RunOutcome::Failed:
            return "failure";
        case RunOutcome::Cancelled:
            return "cancelled";
        case RunOutcome::Interrupted:
            return "interrupted";
    }
    return "?";
}

const char* RunKindName(RunKind kind) {
    switch (kind) {
        case RunKind::None:
            return "none";
        case RunKind::Scan:
            return "scan";
        case RunKind::ConnectionTest:
            return "test";
        case RunKind::Update:
            return "update";
    }
    return "?";
}

#pragma once

// How a run of the sequence (scan, connection test or update) ended.
enum class RunOutcome {
    None,         // no run has ended yet
    Succeeded,    // scan: a unit answered; test: connected; update: the unit reported its memory in
                  // order
    Failed,       // ended with a failure shown to the operator
    Cancelled,    // the operator declined to go on
    Interrupted,  // the program was ended (terminated, session end) during the run
};

// What the operator started.
enum class RunKind { None, Scan, ConnectionTest, Update };

const char* RunOutcomeName(RunOutcome outcome);
const char* RunKindName(RunKind kind);

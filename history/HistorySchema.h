#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "HistoryRun.h"

// The table of runs as every store keeps it: the local file and the server
// follow this one description, and bind and read a run through it. A column
// belongs to the schema version that added it; a store at version N has
// every column of versions 1 to N. Stores may keep columns of their own
// besides (the local file's mark of what the server has confirmed).
//
// A new column: a field of HistoryRun, a line here with the next version,
// and the local file's migration to it (SqlHistoryStore); the server's
// table follows this list. The command line shows it once it is added to
// HistoryCommand's columns (at their end).
struct HistorySchema {
    // The newest version of the shared columns.
    static constexpr int kVersion = 5;

    // The run's field a column keeps; none for the local day, which is
    // derived from the start.
    using Field = std::variant<std::monostate, std::string HistoryRun::*,
                               std::int64_t HistoryRun::*, int HistoryRun::*>;

    struct Column {
        const char* name;
        Field field;
        const char* defaultValue;  // SQL; empty: none (the column is always written)
        int since;                 // the schema version that added it

        bool Integer() const {
            return !std::holds_alternative<std::string HistoryRun::*>(field) &&
                   !std::holds_alternative<std::monostate>(field);
        }
        bool Derived() const { return std::holds_alternative<std::monostate>(field); }
    };

    // In the order the stores write them; the run's id first.
    static const std::vector<Column>& Columns();
    // The columns a run is read back from: all but the derived local day.
    static const std::vector<const Column*>& Stored();
    // What a line of the text listing shows (IHistoryStore::Each without
    // allFields).
    static const std::vector<const Column*>& Listing();
};

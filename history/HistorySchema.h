#pragma once

#include <string>
#include <vector>

// The table of runs as every store keeps it: the local file and the server
// follow this one description. A column belongs to the schema version that
// added it; a store at version N has every column of versions 1 to N.
// Stores may keep columns of their own besides (the local file's mark of
// what the server has confirmed).
struct HistorySchema {
    // The newest version of the shared columns.
    static constexpr int kVersion = 2;

    struct Column {
        const char* name;
        bool integer;  // else text
        const char* defaultValue;
        int since;  // the schema version that added it
    };

    // In the order the stores read and write them; the run's id first.
    static const std::vector<Column>& Columns();
    // The columns a run is read back from (all but the local day, which is
    // derived from the start), comma separated.
    static std::string ReadList();
    // Every column, comma separated.
    static std::string WriteList();
};

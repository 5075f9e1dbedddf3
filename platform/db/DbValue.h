#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <variant>
#include <vector>

// A calendar time as the tables hold it: local time, whole seconds.
struct SDbTime {
    std::time_t m_time = 0;

    bool operator==(const SDbTime&) const = default;
};

// One value going to or coming from a data source; std::monostate is SQL NULL.
using CDbValue = std::variant<std::monostate, std::int64_t, SDbTime, std::string>;

// What a statement selected: the names of its columns and its rows, each row
// with one value per column, in the order the data source returned them.
struct SDbResult {
    std::vector<std::string> m_columns;
    std::vector<std::vector<CDbValue>> m_rows;
};

#pragma once

#include <string>
#include <vector>

// The tables Task and FileList as Kestrel needs them: the columns in the
// order the recordsets bind them, auto-numbered identifiers that are never
// handed out twice (a scheduled job names its task by identifier), and an
// index on BeginTime for the listings (on Task it carries EndTime too, so the
// conflict test reads only the index).
class CDbSchema {
public:
    enum class EDialect { SQLite, PostgreSQL };

    static std::vector<std::string> CreateTask(EDialect dialect);
    static std::vector<std::string> CreateFileList(EDialect dialect);
};

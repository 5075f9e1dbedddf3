#include "platform/db/DbSchema.h"

namespace {

std::string Identity(CDbSchema::EDialect dialect) {
    return dialect == CDbSchema::EDialect::SQLite ? "ID INTEGER PRIMARY KEY AUTOINCREMENT"
                                                  : "ID SERIAL PRIMARY KEY";
}

std::string Timestamp(CDbSchema::EDialect dialect) {
    return dialect == CDbSchema::EDialect::SQLite ? "TIMESTAMP" : "TIMESTAMP(0)";
}

}  // namespace

std::vector<std::string> CDbSchema::CreateTask(EDialect dialect) {
    return {"CREATE TABLE Task (" + Identity(dialect) + ", BeginTime " + Timestamp(dialect) +
                ", EndTime " + Timestamp(dialect) +
                ", Channel VARCHAR(255), ChannelName VARCHAR(255), Memo VARCHAR(255))",
            "CREATE INDEX TaskBeginTime ON Task (BeginTime, EndTime)"};
}

std::vector<std::string> CDbSchema::CreateFileList(EDialect dialect) {
    return {"CREATE TABLE FileList (" + Identity(dialect) +
                ", Channel VARCHAR(255), ChannelName VARCHAR(255), BeginTime VARCHAR(255)"
                ", Duration VARCHAR(255), Memo VARCHAR(255), FileName VARCHAR(255))",
            "CREATE INDEX FileListBeginTime ON FileList (BeginTime)"};
}

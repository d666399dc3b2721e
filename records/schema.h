#pragma once

#include <QSqlDatabase>
#include <QString>

namespace kestrel::records {

// The bench records' tables, in versions. A database made by an earlier console is brought up to
// the newest version by running, in order, the steps of each version after its own, each version
// in one transaction; `PRAGMA user_version` says which version a file is at.
struct Migration
{
    int version;                   // the version the file is at after these statements
    const char *const *statements; // ends with nullptr
};

struct Schema
{
    const Migration *migrations;
    int count;
    int newest() const { return count ? migrations[count - 1].version : 0; }
};

// The schema this console writes.
const Schema &schema();

// Brings the open database to the newest version of `schema`. An error text (the step that failed
// and why; the file is left at the version it was), or empty. A file of a version newer than the
// schema knows is refused: a newer console made it.
QString migrate(QSqlDatabase &db, const Schema &schema);

int userVersion(QSqlDatabase &db);

} // namespace kestrel::records

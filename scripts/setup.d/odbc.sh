#!/bin/bash
# Makes sure the ODBC data source KestrelRadio is there for this user. When no
# data source of that name is registered, one is added to the user's odbc.ini
# ($ODBCINI, else .odbc.ini in the home folder of the account, which is where
# unixODBC looks whatever $HOME says): a SQLite database under
# ${XDG_DATA_HOME:-~/.local/share}/Kestrel, through the SQLite3 ODBC driver.
# Then the tables Task, FileList and TaskOutcome are created in KestrelRadio
# where they are missing (SQLite or PostgreSQL; other databases get them by hand, see the
# README). An existing data source or table is never changed, so a second run
# changes nothing. Kestrel applies the same rules itself when it starts
# (platform/db/DataSourceSetup), so an installed program needs no script; this
# step also makes TaskOutcome, which the program makes when it first needs it.
set -euo pipefail

name=KestrelRadio
account_home="$(getent passwd "$(id -u)" | cut -d: -f6)"
user_ini="${ODBCINI:-${account_home:-$HOME}/.odbc.ini}"
export ODBCINI="$user_ini"
data_home="${XDG_DATA_HOME:-$HOME/.local/share}/Kestrel"

fail() {
    echo "odbc set-up: $*" >&2
    exit 1
}

command -v odbcinst >/dev/null && command -v isql >/dev/null ||
    fail "odbcinst or isql is missing (install unixodbc)"

sqlite_driver() {
    if odbcinst -q -d -n SQLite3 >/dev/null 2>&1; then
        echo SQLite3
        return
    fi
    for library in /usr/lib/*/odbc/libsqlite3odbc.so /usr/lib/odbc/libsqlite3odbc.so; do
        if [ -e "$library" ]; then
            echo "$library"
            return
        fi
    done
    fail "the SQLite3 ODBC driver is missing (install libsqliteodbc)"
}

# Statements on standard input, one a line. isql's exit status tells only
# whether it connected, so its complaints are read from what it prints.
run_sql() {
    local output
    output="$(isql -b -q -v "$name" 2>&1)" || {
        echo "$output"
        return 1
    }
    if grep -q '\[ISQL\]ERROR' <<<"$output"; then
        echo "$output"
        return 1
    fi
}

if ! odbcinst -q -s -n "$name" >/dev/null 2>&1; then
    driver="$(sqlite_driver)"
    mkdir -p "$data_home" "$(dirname "$user_ini")"
    # Appended rather than rewritten, so that the other data sources stay
    # exactly as they are.
    {
        if [ -s "$user_ini" ] && [ -n "$(tail -c 1 "$user_ini")" ]; then
            echo
        fi
        printf '[%s]\nDescription=Kestrel recordings and schedule\nDriver=%s\nDatabase=%s\nTimeout=5000\n' \
            "$name" "$driver" "$data_home/KestrelRadio.db"
    } >>"$user_ini"
    echo "Registered the ODBC data source $name in $user_ini ($data_home/KestrelRadio.db)."
fi

source_driver="$(odbcinst -q -s -n "$name" |
    sed -n 's/^[[:space:]]*Driver[[:space:]]*=[[:space:]]*//Ip' | head -n 1)"
case "${source_driver,,}" in
*sqlite*)
    key="ID INTEGER PRIMARY KEY AUTOINCREMENT"
    timestamp="TIMESTAMP"
    ;;
*psql* | *postgres*)
    key="ID SERIAL PRIMARY KEY"
    timestamp="TIMESTAMP(0)"
    ;;
*)
    echo "odbc set-up: $name uses the driver '$source_driver'; make sure it has the tables" \
        "Task and FileList (see the README)."
    exit 0
    ;;
esac

reply="$(echo "SELECT 1" | run_sql)" || fail "cannot reach the data source $name: $reply"

# create_missing <table> <columns> [<indexed columns>]
create_missing() {
    local table="$1" columns="$2" indexed="${3:-}"
    if echo "SELECT COUNT(*) FROM $table WHERE 1 = 0" | run_sql >/dev/null; then
        return
    fi
    local statements
    statements="$(printf 'CREATE TABLE %s (%s)' "$table" "$columns")"
    if [ -n "$indexed" ]; then
        statements+="$(printf '\nCREATE INDEX %sBeginTime ON %s (%s)' "$table" "$table" "$indexed")"
    fi
    reply="$(echo "$statements" | run_sql)" || fail "cannot create the table $table in $name: $reply"
    echo "Created the table $table in $name."
}

create_missing Task "$key, BeginTime $timestamp, EndTime $timestamp, Channel VARCHAR(255), ChannelName VARCHAR(255), Memo VARCHAR(255)" \
    "BeginTime, EndTime"
create_missing FileList "$key, Channel VARCHAR(255), ChannelName VARCHAR(255), BeginTime VARCHAR(255), Duration VARCHAR(255), Memo VARCHAR(255), FileName VARCHAR(255)" \
    BeginTime
# How each scheduled task ended (Kestrel also makes it when it is missing).
create_missing TaskOutcome "TaskID INTEGER PRIMARY KEY, Outcome VARCHAR(255), Reason VARCHAR(255), FileName VARCHAR(255), Duration BIGINT, EndedAt BIGINT"

#include "store/sqlite.h"

#include <sqlite3.h>

namespace store {

Database::~Database() { close(); }

bool Database::open(const std::filesystem::path& file) {
    close();
    sqlite3* db = nullptr;
    const int rc = sqlite3_open_v2(file.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    db_ = db; // a handle comes back even when opening failed, and must be closed
    if (rc != SQLITE_OK) {
        close();
        return false;
    }
    sqlite3_extended_result_codes(db_, 1);
    // Another program (the sqlite3 shell, a backup) may hold the file for a moment.
    sqlite3_busy_timeout(db_, 2000);
    // SQLite opens a file it may not write read-only without saying so; every later write
    // would then fail unseen. Reading the schema is the first real look at the file's header.
    if (sqlite3_db_readonly(db_, "main") != 0 || !exec("SELECT count(*) FROM sqlite_master")) {
        close();
        return false;
    }
    // The write-ahead log keeps the file whole if the program dies or is killed mid-write, also
    // with NORMAL. Only a crash of the whole system or a cut of power can drop the last
    // commits; a scheduled shutdown is an orderly power-off that writes them out first. FULL
    // would sync the disk at every commit, two per successful refresh, which costs more than
    // the refresh itself on a fast site.
    if (!exec("PRAGMA journal_mode=WAL") || !exec("PRAGMA synchronous=NORMAL")) {
        close();
        return false;
    }
    return true;
}

void Database::close() {
    if (db_) {
        sqlite3_close_v2(db_);
        db_ = nullptr;
    }
}

bool Database::exec(const char* sql) {
    return db_ && sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
}

Statement::Statement(Database& db, std::string_view sql) {
    if (!db.is_open())
        return;
    if (sqlite3_prepare_v3(db.handle(), sql.data(), static_cast<int>(sql.size()), SQLITE_PREPARE_PERSISTENT,
                           &stmt_, nullptr) != SQLITE_OK) {
        sqlite3_finalize(stmt_);
        stmt_ = nullptr;
    }
}

Statement::~Statement() { sqlite3_finalize(stmt_); }

bool Statement::run(std::initializer_list<std::string_view> params,
                    const std::function<void(const Statement&)>& row) {
    if (!stmt_)
        return false;
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
    int index = 1;
    bool ok = true;
    for (const std::string_view p : params) {
        // A null pointer would bind SQL NULL; an empty value is empty text.
        const char* data = p.data() ? p.data() : "";
        if (sqlite3_bind_text(stmt_, index++, data, static_cast<int>(p.size()), SQLITE_STATIC) != SQLITE_OK)
            ok = false;
    }
    int rc = SQLITE_DONE;
    if (ok) {
        while ((rc = sqlite3_step(stmt_)) == SQLITE_ROW)
            if (row)
                row(*this);
    }
    // Resetting ends the statement's read of the file; the bound texts belong to the caller.
    sqlite3_reset(stmt_);
    sqlite3_clear_bindings(stmt_);
    return ok && rc == SQLITE_DONE;
}

std::string Statement::text(int index) const {
    const auto* chars = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, index));
    if (!chars)
        return {};
    return std::string(chars, static_cast<std::size_t>(sqlite3_column_bytes(stmt_, index)));
}

Transaction::Transaction(Database& db) : db_(db), active_(db.exec("BEGIN IMMEDIATE")) {}

Transaction::~Transaction() {
    if (active_)
        db_.exec("ROLLBACK");
}

bool Transaction::commit() {
    if (!active_ || !db_.exec("COMMIT"))
        return false;
    active_ = false;
    return true;
}

} // namespace store

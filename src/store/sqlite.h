#pragma once
// Two small owners of the SQLite C library's handles: a connection and a prepared statement.
// Nothing here throws; failures come back as false or as no rows.

#include <filesystem>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

struct sqlite3;
struct sqlite3_stmt;

namespace store {

class Database final {
public:
    Database() = default;
    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // Opens or creates the file for reading and writing. False when it cannot be opened, when
    // it opened read-only, or when the file is not a database.
    bool open(const std::filesystem::path& file);
    void close();
    bool is_open() const { return db_ != nullptr; }

    // Runs statements without parameters (schema, pragmas, transactions).
    bool exec(const char* sql);
    sqlite3* handle() const { return db_; }

private:
    sqlite3* db_ = nullptr;
};

class Statement final {
public:
    // Prepared once and kept: run() resets it for the next use.
    Statement(Database& db, std::string_view sql);
    ~Statement();
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool ok() const { return stmt_ != nullptr; }

    // Binds `params` to ?1, ?2, … as text, steps to the end, handing each row to `row`, and
    // resets the statement so that no read stays open between calls. False when the statement
    // failed; rows seen before the failure have been handed over.
    bool run(std::initializer_list<std::string_view> params,
             const std::function<void(const Statement&)>& row = {});

    // Column `index` (0-based) of the current row as text; NULL reads as empty text.
    std::string text(int index) const;

private:
    sqlite3_stmt* stmt_ = nullptr;
};

// BEGIN IMMEDIATE at construction; ROLLBACK at destruction unless commit() succeeded.
class Transaction final {
public:
    explicit Transaction(Database& db);
    ~Transaction();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

    bool ok() const { return active_; }
    bool commit();

private:
    Database& db_;
    bool active_;
};

} // namespace store

#include "store/plan_store.h"

#include "common/text.h"
#include "store/sqlite.h"

#include <sqlite3.h>

#include <climits>
#include <cstdint>
#include <system_error>
#include <unordered_map>
#include <vector>

namespace store {
namespace {

constexpr const char* kSchema[] = {
    ("CREATE TABLE IF NOT EXISTS data (nick TEXT, id TEXT, times TEXT, sort TEXT, num TEXT, interval TEXT,"
     " progress TEXT, sort1 TEXT, numall TEXT, today TEXT, date1 TEXT)"),
    "CREATE TABLE IF NOT EXISTS num (date1 TEXT, num TEXT)",
    // The run loop looks every plan up by name several times a second; without these each
    // lookup would read the whole table.
    "CREATE INDEX IF NOT EXISTS data_nick ON data (nick)",
    "CREATE INDEX IF NOT EXISTS num_date1 ON num (date1)",
};

// Counts are stored as text and may hold anything; adding one never overflows.
long long plus_one(const std::string& stored) {
    const long long value = common::text_to_int(stored);
    return value == LLONG_MAX ? value : value + 1;
}

// Prepared once per connection. Names match with "=", which compares whole texts exactly, and
// "the first row" of a name is the earliest inserted one (rowid order).
struct Statements {
    explicit Statements(Database& db)
        : list(db, "SELECT nick, numall, today FROM data ORDER BY rowid"),
          load(db, "SELECT nick, id, times, sort, num, interval, progress, sort1, numall, today, date1"
                   " FROM data WHERE nick = ?1 ORDER BY rowid LIMIT 1"),
          remove(db, "DELETE FROM data WHERE nick = ?1"),
          insert(db, "INSERT INTO data (nick, id, times, sort, num, interval, sort1, numall)"
                     " VALUES (?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8)"),
          progress(db, "UPDATE data SET progress = ?2 WHERE nick = ?1"),
          read_today(db, "SELECT today, date1 FROM data WHERE nick = ?1 ORDER BY rowid LIMIT 1"),
          write_today(db, "UPDATE data SET today = ?1, date1 = ?2 WHERE nick = ?3"),
          read_total(db, "SELECT num FROM num WHERE date1 = ?1 ORDER BY rowid LIMIT 1"),
          update_total(db, "UPDATE num SET num = ?2 WHERE date1 = ?1"),
          insert_total(db, "INSERT INTO num (date1, num) VALUES (?1, ?2)"),
          counts_on(db, "SELECT nick, today FROM data WHERE date1 = ?1 ORDER BY rowid"),
          data_version(db, "PRAGMA data_version") {}

    // A table without the expected columns fails here, at open, rather than on every use.
    bool ok() const {
        return list.ok() && load.ok() && remove.ok() && insert.ok() && progress.ok() && read_today.ok() &&
               write_today.ok() && read_total.ok() && update_total.ok() && insert_total.ok() && counts_on.ok() &&
               data_version.ok();
    }

    Statement list, load, remove, insert, progress, read_today, write_today, read_total, update_total,
        insert_total, counts_on, data_version;
};

// The plans read by name since the database last changed. The run loop reads every plan of its
// list several times a second, and a query costs a read transaction's worth of file locking
// and searching. A lookup gives exactly what a fresh query would: `PRAGMA data_version` moves
// with every commit of another connection (another program, another store on the file), and
// sqlite3_total_changes64() with every row this connection writes, committed or not.
class PlanCache final {
public:
    // Forgets everything when the file may have changed since the last call. False inside a
    // transaction, whose writes a rollback would take back without a trace in the counts.
    bool check(Database& db, Statement& data_version) {
        if (sqlite3_get_autocommit(db.handle()) == 0) {
            clear();
            return false;
        }
        long long version = version_;
        bool ok = true;
        // Inside a read batch the file's version is looked at once; this connection's own
        // writes are still seen at once through the change count, which costs no I/O.
        if (!batch_open_ || !batch_looked_) {
            ok = data_version.run({}, [&](const Statement& s) { version = common::text_to_int(s.text(0)); });
            batch_looked_ = batch_open_ && ok;
        }
        const long long changes = sqlite3_total_changes64(db.handle());
        // A failed look counts as a change, and so does a cache grown past any plan list.
        if (!ok || version != version_ || changes != changes_ || plans_.size() > kMaxPlans) {
            forget();
            version_ = ok ? version : -1;
            changes_ = changes;
        }
        return true;
    }
    // Moves on whenever what the cache held was forgotten.
    std::uint64_t generation() const { return generation_; }
    const common::Plan* find(const std::string& nick) const {
        const auto it = plans_.find(nick);
        return it == plans_.end() ? nullptr : &it->second;
    }
    void keep(const std::string& nick, const common::Plan& plan) { plans_.insert_or_assign(nick, plan); }
    void clear() {
        forget();
        version_ = -1;
    }
    void open_batch(bool open) {
        batch_open_ = open;
        batch_looked_ = false;
    }

private:
    void forget() {
        plans_.clear();
        ++generation_;
    }

    static constexpr std::size_t kMaxPlans = 100'000;
    std::uint64_t generation_ = 0;
    std::unordered_map<std::string, common::Plan> plans_;
    long long version_ = -1;
    long long changes_ = -1;
    bool batch_open_ = false;
    bool batch_looked_ = false;
};

} // namespace

struct PlanStore::Impl {
    Database db;
    // Declared after the connection: statements are finalized before it closes.
    std::unique_ptr<Statements> sql;
    PlanCache cache;

    // Adds one to the row of `date`, or inserts it with "1". Inside a transaction.
    void add_one_to_total(const std::string& date) {
        bool found = false;
        std::string num;
        sql->read_total.run({date}, [&](const Statement& s) {
            found = true;
            num = s.text(0);
        });
        if (found)
            sql->update_total.run({date, std::to_string(plus_one(num))});
        else
            sql->insert_total.run({date, "1"});
    }

    // The plan's count for `date` with this success, written back. Inside a transaction.
    long long next_plan_count(const std::string& nick, const std::string& date) {
        std::string today, date1;
        sql->read_today.run({nick}, [&](const Statement& s) {
            today = s.text(0);
            date1 = s.text(1);
        });
        const long long count = date1 == date ? plus_one(today) : 1;
        sql->write_today.run({std::to_string(count), date, nick});
        return count;
    }

    void close() {
        cache.clear();
        sql.reset();
        db.close();
    }
};

PlanStore::PlanStore() : impl_(std::make_unique<Impl>()) {}
PlanStore::~PlanStore() = default;

bool PlanStore::open(const std::filesystem::path& file) {
    impl_->close();
    std::error_code ec;
    if (file.has_parent_path())
        std::filesystem::create_directories(file.parent_path(), ec);
    if (ec || !impl_->db.open(file))
        return false;
    for (const char* sql : kSchema) {
        if (!impl_->db.exec(sql)) {
            impl_->close();
            return false;
        }
    }
    impl_->sql = std::make_unique<Statements>(impl_->db);
    if (!impl_->sql->ok()) {
        impl_->close();
        return false;
    }
    return true;
}

bool PlanStore::is_open() const { return impl_->sql != nullptr; }

void PlanStore::list_plans(const std::function<void(const PlanRow&)>& row) {
    if (!is_open())
        return;
    // The caller lets window messages run between rows, and a handler may then use the store
    // (even list again); so the rows are read to the end first and the read is closed.
    std::vector<PlanRow> rows;
    impl_->sql->list.run({}, [&](const Statement& s) { rows.push_back({s.text(0), s.text(1), s.text(2)}); });
    for (const PlanRow& r : rows)
        row(r);
}

void PlanStore::begin_read_batch() { impl_->cache.open_batch(true); }

void PlanStore::end_read_batch() { impl_->cache.open_batch(false); }

std::uint64_t PlanStore::plans_version() {
    if (is_open())
        impl_->cache.check(impl_->db, impl_->sql->data_version);
    return impl_->cache.generation();
}

common::Plan PlanStore::load_plan_by_name(const std::string& nick) {
    common::Plan plan;
    if (!is_open())
        return plan;
    const bool cached = impl_->cache.check(impl_->db, impl_->sql->data_version);
    if (const common::Plan* kept = cached ? impl_->cache.find(nick) : nullptr)
        return *kept;
    const bool read = impl_->sql->load.run({nick}, [&](const Statement& s) {
        plan = {s.text(0), s.text(1), s.text(2), s.text(3), s.text(4),  s.text(5),
                s.text(6), s.text(7), s.text(8), s.text(9), s.text(10)};
    });
    // A row whose name reads empty counts as no plan.
    if (plan.nick.empty())
        plan = {};
    // A failed read (the file locked by another program past the busy time) is asked again
    // next time rather than remembered as no plan.
    if (read && cached)
        impl_->cache.keep(nick, plan);
    return plan;
}

bool PlanStore::save_plan(const common::Plan& plan) {
    if (!is_open())
        return false;
    Transaction tx(impl_->db);
    // Without the delete the old row would stay first and the new one would never be read.
    if (!tx.ok() || !impl_->sql->remove.run({plan.nick}))
        return false;
    if (!impl_->sql->insert.run({plan.nick, plan.id, plan.times, plan.sort, plan.num, plan.interval, plan.sort1,
                                 plan.numall}))
        return false;
    return tx.commit();
}

void PlanStore::delete_plan(const std::string& nick) {
    if (is_open())
        impl_->sql->remove.run({nick});
}

bool PlanStore::set_progress(const std::string& nick, const std::string& progress) {
    return is_open() && impl_->sql->progress.run({nick, progress});
}

long long PlanStore::set_today_plan_count(const std::string& nick, const std::string& date) {
    if (!is_open())
        return 1;
    Transaction tx(impl_->db);
    const long long count = impl_->next_plan_count(nick, date);
    tx.commit();
    return count;
}

long long PlanStore::read_today_total(const std::string& date) {
    if (!is_open())
        return 0;
    long long total = 0;
    impl_->sql->read_total.run({date}, [&](const Statement& s) { total = common::text_to_int(s.text(0)); });
    return total;
}

void PlanStore::count_one_success_today(const std::string& date) {
    if (!is_open())
        return;
    Transaction tx(impl_->db);
    impl_->add_one_to_total(date);
    tx.commit();
}

void PlanStore::list_plan_counts_on(const std::string& date,
                                    const std::function<void(const std::string&, const std::string&)>& row) {
    if (!is_open())
        return;
    // Read to the end before the caller sees a row, as in list_plans().
    std::vector<std::pair<std::string, std::string>> rows;
    impl_->sql->counts_on.run({date}, [&](const Statement& s) { rows.emplace_back(s.text(0), s.text(1)); });
    for (const auto& [nick, today] : rows)
        row(nick, today);
}

PlanStore::SuccessCounts PlanStore::count_success(const std::string& nick, const std::string& date) {
    if (!is_open())
        return {0, 1};
    // One commit for both counts: a run against a fast site counts hundreds a second.
    Transaction tx(impl_->db);
    impl_->add_one_to_total(date);
    SuccessCounts counts;
    counts.total = read_today_total(date);
    counts.plan_today = impl_->next_plan_count(nick, date);
    tx.commit();
    return counts;
}

} // namespace store

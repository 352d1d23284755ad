#include "settings/SqliteStore.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <system_error>
#include <vector>

#include "common/WideText.h"
#include "settings/DocumentsFolder.h"

namespace settings {

namespace {

// How long a writer waits for another process that holds the store, in milliseconds.
constexpr int kWriteBusyTimeoutMs = 10000;
// How long a reader waits for a writer that locked a store in the older rollback form. A store in
// write-ahead-log form never makes a reader wait.
constexpr int kReadBusyTimeoutMs = 250;

// The journals SQLite opens beside the database file.
constexpr const char* kSidecars[] = {"-journal", "-wal", "-shm"};

constexpr const char* kSchema =
    "CREATE TABLE IF NOT EXISTS registry_keys("
    "  id INTEGER PRIMARY KEY,"
    "  path TEXT NOT NULL UNIQUE);"
    "CREATE TABLE IF NOT EXISTS registry_values("
    "  key_id INTEGER NOT NULL REFERENCES registry_keys(id),"
    "  name TEXT NOT NULL,"
    "  type INTEGER NOT NULL,"
    "  data BLOB NOT NULL,"
    "  PRIMARY KEY(key_id, name)) WITHOUT ROWID;";

struct ConnectionCloser {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};
using Connection = std::unique_ptr<sqlite3, ConnectionCloser>;

class SqliteKey : public StoreKey {
public:
    SqliteKey(Connection db, sqlite3_int64 id, bool writable)
        : db_(std::move(db)), id_(id), writable_(writable) {}

    sqlite3* Db() const { return db_.get(); }
    sqlite3_int64 Id() const { return id_; }
    bool Writable() const { return writable_; }

private:
    Connection db_;
    sqlite3_int64 id_;
    bool writable_;
};

// One prepared statement, finalised on every way out so that no lock outlives its use.
class Statement {
public:
    Statement(sqlite3* db, const char* sql) { prepared_ = sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr); }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    int Prepared() const { return prepared_; }
    sqlite3_stmt* Get() const { return stmt_; }
    int Step() { return sqlite3_step(stmt_); }
    void BindText(int index, const std::string& text) {
        sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()), SQLITE_TRANSIENT);
    }

private:
    sqlite3_stmt* stmt_ = nullptr;
    int prepared_ = SQLITE_ERROR;
};

bool IsDamage(int rc) {
    int primary = rc & 0xff;
    return primary == SQLITE_CORRUPT || primary == SQLITE_NOTADB;
}

int Exec(sqlite3* db, const char* sql) {
    return sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
}

// Runs work between BEGIN IMMEDIATE and COMMIT, and rolls back when anything fails. Taking the write
// lock up front lets a waiting writer use the busy timeout instead of failing on a lock upgrade.
template <class Work>
int InWriteTransaction(sqlite3* db, Work work) {
    int rc = Exec(db, "BEGIN IMMEDIATE");
    if (rc != SQLITE_OK) {
        return rc;
    }
    rc = work();
    if (rc == SQLITE_OK) {
        rc = Exec(db, "COMMIT");
        if (rc == SQLITE_OK) {
            return rc;
        }
    }
    Exec(db, "ROLLBACK");
    return rc;
}

// SQLITE_OK when the whole file reads as a sound database; SQLITE_CORRUPT when it reads but is not.
int QuickCheck(sqlite3* db) {
    Statement check(db, "PRAGMA quick_check(1)");
    if (check.Prepared() != SQLITE_OK) {
        return check.Prepared();
    }
    int rc = check.Step();
    if (rc != SQLITE_ROW) {
        return rc;
    }
    const unsigned char* verdict = sqlite3_column_text(check.Get(), 0);
    return verdict != nullptr && std::strcmp(reinterpret_cast<const char*>(verdict), "ok") == 0
               ? SQLITE_OK
               : SQLITE_CORRUPT;
}

bool HasTable(sqlite3* db, const char* name) {
    Statement query(db, "SELECT 1 FROM sqlite_master WHERE type = 'table' AND name = ?1");
    if (query.Prepared() != SQLITE_OK) {
        return false;
    }
    query.BindText(1, name);
    return query.Step() == SQLITE_ROW;
}

StoreStatus StatusOf(int rc) {
    switch (rc & 0xff) {
        case SQLITE_OK:
        case SQLITE_DONE:
            return StoreStatus::Ok;
        case SQLITE_READONLY:
        case SQLITE_PERM:
        case SQLITE_AUTH:
            return StoreStatus::AccessDenied;
        default:
            return StoreStatus::Failed;
    }
}

bool SameFile(const struct stat& a, const struct stat& b) {
    return a.st_dev == b.st_dev && a.st_ino == b.st_ino;
}

// Renames from to to unless to exists. Returns 0, or the errno of the failure (EEXIST when taken).
int RenameNoReplace(const std::filesystem::path& from, const std::filesystem::path& to) {
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) {
        return 0;
    }
    if (errno != EINVAL && errno != ENOSYS) {
        return errno;
    }
    // A file system without no-replace renames: check first, accepting the small race.
    struct stat existing {};
    if (lstat(to.c_str(), &existing) == 0) {
        return EEXIST;
    }
    return std::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

std::string Quoted(const std::filesystem::path& path) {
    return "\"" + path.string() + "\"";
}

// The first of the file (described by `file`, when it exists) and its journals that exists and is
// not a regular file after links; empty when there is none. Only stat: nothing is opened.
std::filesystem::path SpecialFileAmong(const std::filesystem::path& path, const struct stat* file) {
    if (file != nullptr && !S_ISREG(file->st_mode)) {
        return path;
    }
    for (const char* suffix : kSidecars) {
        std::filesystem::path sidecar = path;
        sidecar += suffix;
        struct stat info {};
        if (stat(sidecar.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
            return sidecar;
        }
    }
    return {};
}

}  // namespace

SqliteStore::SqliteStore(std::filesystem::path file, Reporter report)
    : file_(std::move(file)), report_(std::move(report)) {}

void SqliteStore::ReportOnce(const std::string& message) {
    if (reported_.exchange(true)) {
        return;
    }
    if (report_) {
        report_(message);
    } else {
        std::fprintf(stderr, "%s\n", message.c_str());
    }
}

bool SqliteStore::SetAside(std::filesystem::path* movedTo) {
    for (int n = 1; n < 1000; ++n) {
        std::filesystem::path target = file_;
        target += n == 1 ? std::string(".damaged") : ".damaged-" + std::to_string(n);
        int error = RenameNoReplace(file_, target);
        if (error == EEXIST) {
            continue;
        }
        if (error != 0) {
            errno = error;
            return false;
        }
        // A journal left beside the damaged file belongs to it, not to the store that replaces it.
        for (const char* suffix : kSidecars) {
            std::filesystem::path from = file_;
            from += suffix;
            std::filesystem::path to = target;
            to += suffix;
            struct stat sidecar {};
            if (lstat(from.c_str(), &sidecar) == 0 && RenameNoReplace(from, to) != 0) {
                unlink(from.c_str());
            }
        }
        *movedTo = target;
        return true;
    }
    errno = EEXIST;
    return false;
}

StoreStatus SqliteStore::Fail(const std::string& problem) {
    std::lock_guard lock(problemMutex_);
    lastProblem_ = problem;
    return StoreStatus::Failed;
}

StoreStatus SqliteStore::Fail(sqlite3* db) {
    if ((sqlite3_errcode(db) & 0xff) == SQLITE_BUSY) {
        return Fail("the settings file " + Quoted(file_) + " is in use by another program");
    }
    return Fail("the settings file " + Quoted(file_) + " cannot be used (" + sqlite3_errmsg(db) + ")");
}

std::string SqliteStore::LastProblem() const {
    std::lock_guard lock(problemMutex_);
    return lastProblem_;
}

StoreStatus SqliteStore::Connect(bool forWriting, sqlite3** db) {
    *db = nullptr;
    if (file_.empty()) {
        ReportOnce("Vellumet: no home folder was found, so the settings are not kept.");
        return Fail("no home folder was found for the settings file");
    }
    // Two rounds: a second look is needed only when the file was replaced while it was checked.
    for (int round = 0; round < 2; ++round) {
        struct stat before {};
        const bool exists = stat(file_.c_str(), &before) == 0;
        if (!exists && errno != ENOENT) {
            const std::string problem =
                "the settings file " + Quoted(file_) + " cannot be read (" + std::strerror(errno) + ")";
            ReportOnce("Vellumet: " + problem + "; the default settings are used.");
            return Fail(problem);
        }
        // SQLite would open (and then wait for ever on) a FIFO or a device like a file.
        const std::filesystem::path special = SpecialFileAmong(file_, exists ? &before : nullptr);
        if (!special.empty()) {
            const std::string problem = "the settings file " + Quoted(special) + " is not a regular file";
            ReportOnce("Vellumet: " + problem + "; the default settings are used and changes are not kept.");
            return Fail(problem);
        }
        if (!exists) {
            if (!forWriting) {
                return StoreStatus::NotFound;
            }
            std::error_code error;
            std::filesystem::create_directories(file_.parent_path(), error);
            if (error) {
                const std::string problem = "the settings folder " + Quoted(file_.parent_path()) +
                                            " cannot be made (" + error.message() + ")";
                ReportOnce("Vellumet: " + problem + "; the settings are not kept.");
                return Fail(problem);
            }
        }

        sqlite3* raw = nullptr;
        int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_NOMUTEX | (forWriting ? SQLITE_OPEN_CREATE : 0);
        int rc = sqlite3_open_v2(file_.c_str(), &raw, flags, nullptr);
        Connection connection(raw);
        if (rc != SQLITE_OK && !forWriting) {
            raw = nullptr;
            rc = sqlite3_open_v2(file_.c_str(), &raw, SQLITE_OPEN_READONLY | SQLITE_OPEN_NOMUTEX, nullptr);
            connection.reset(raw);
        }
        if (rc == SQLITE_OK) {
            sqlite3_extended_result_codes(connection.get(), 1);
            sqlite3_busy_timeout(connection.get(), forWriting ? kWriteBusyTimeoutMs : kReadBusyTimeoutMs);
            rc = QuickCheck(connection.get());
        }
        if (rc == SQLITE_OK) {
            if (forWriting) {
                // Lasting in the file. When another process holds it now, a later write converts it.
                Exec(connection.get(), "PRAGMA journal_mode=WAL");
            }
            *db = connection.release();
            return StoreStatus::Ok;
        }
        std::string why = connection ? sqlite3_errmsg(connection.get()) : sqlite3_errstr(rc);
        connection.reset();

        if ((rc & 0xff) == SQLITE_BUSY) {
            // Held by another process for too long: not a fault of the file, so not reported here.
            return Fail("the settings file " + Quoted(file_) + " is in use by another program");
        }
        if (!IsDamage(rc)) {
            const std::string problem =
                "the settings file " + Quoted(file_) + " cannot be opened (" + why + ")";
            ReportOnce("Vellumet: " + problem + "; the default settings are used and changes are not kept.");
            return Fail(problem);
        }
        struct stat now {};
        if (stat(file_.c_str(), &now) != 0 || !SameFile(before, now)) {
            continue;
        }
        std::filesystem::path movedTo;
        if (!SetAside(&movedTo)) {
            const std::string problem = "the settings file " + Quoted(file_) +
                                        " is damaged and cannot be moved aside (" + std::strerror(errno) +
                                        ")";
            ReportOnce("Vellumet: " + problem + "; the default settings are used.");
            return Fail(problem);
        }
        ReportOnce("Vellumet: the settings file " + Quoted(file_) + " is damaged; it was kept as " +
                   Quoted(movedTo) + " and the settings start afresh.");
        if (!forWriting) {
            return StoreStatus::NotFound;
        }
    }
    return Fail("the settings file " + Quoted(file_) + " keeps being replaced");
}

StoreStatus SqliteStore::OpenKey(std::wstring_view subKey, StoreKey** key) {
    *key = nullptr;
    try {
        sqlite3* raw = nullptr;
        StoreStatus status = Connect(false, &raw);
        if (status != StoreStatus::Ok) {
            return status;
        }
        Connection db(raw);
        sqlite3_int64 id = 0;
        {
            Statement select(db.get(), "SELECT id FROM registry_keys WHERE path = ?1");
            if (select.Prepared() != SQLITE_OK) {
                if (!HasTable(db.get(), "registry_keys")) {
                    return StoreStatus::NotFound;  // an empty store: no key was ever created
                }
                const std::string problem = "the settings file " + Quoted(file_) +
                                            " is not laid out as expected (" + sqlite3_errmsg(db.get()) + ")";
                ReportOnce("Vellumet: " + problem + "; the default settings are used.");
                return Fail(problem);
            }
            select.BindText(1, vellumet::ToNative(CanonicalKeyPath(subKey)));
            int rc = select.Step();
            if (rc == SQLITE_DONE) {
                return StoreStatus::NotFound;
            }
            if (rc != SQLITE_ROW) {
                return Fail(db.get());
            }
            id = sqlite3_column_int64(select.Get(), 0);
        }
        *key = new SqliteKey(std::move(db), id, false);
        return StoreStatus::Ok;
    } catch (...) {
        return StoreStatus::Failed;
    }
}

StoreStatus SqliteStore::CreateKey(std::wstring_view subKey, StoreKey** key) {
    *key = nullptr;
    try {
        sqlite3* raw = nullptr;
        StoreStatus status = Connect(true, &raw);
        if (status != StoreStatus::Ok) {
            return status;
        }
        Connection db(raw);

        // The root and every ancestor are keys of their own, as in the registry.
        std::vector<std::string> paths{std::string()};
        std::wstring path;
        for (const std::wstring& part : SplitKeyPath(subKey)) {
            path += path.empty() ? part : L"\\" + part;
            paths.push_back(vellumet::ToNative(path));
        }
        sqlite3_int64 id = 0;
        int rc = InWriteTransaction(db.get(), [&]() {
            int step = Exec(db.get(), kSchema);
            if (step != SQLITE_OK) {
                return step;
            }
            Statement insert(db.get(), "INSERT OR IGNORE INTO registry_keys(path) VALUES(?1)");
            if (insert.Prepared() != SQLITE_OK) {
                return insert.Prepared();
            }
            for (const std::string& each : paths) {
                insert.BindText(1, each);
                step = insert.Step();
                if (step != SQLITE_DONE) {
                    return step;
                }
                sqlite3_reset(insert.Get());
            }
            Statement select(db.get(), "SELECT id FROM registry_keys WHERE path = ?1");
            if (select.Prepared() != SQLITE_OK) {
                return select.Prepared();
            }
            select.BindText(1, paths.back());
            step = select.Step();
            if (step != SQLITE_ROW) {
                return step == SQLITE_DONE ? SQLITE_ERROR : step;
            }
            id = sqlite3_column_int64(select.Get(), 0);
            return SQLITE_OK;
        });
        if (rc != SQLITE_OK) {
            status = StatusOf(rc);
            return status == StoreStatus::Ok || status == StoreStatus::Failed ? Fail(db.get()) : status;
        }
        *key = new SqliteKey(std::move(db), id, true);
        return StoreStatus::Ok;
    } catch (...) {
        return StoreStatus::Failed;
    }
}

StoreStatus SqliteStore::QueryValue(StoreKey* key, std::wstring_view name, uint32_t* type, uint8_t* data,
                                    uint32_t* size) {
    auto* sqliteKey = dynamic_cast<SqliteKey*>(key);
    if (sqliteKey == nullptr || size == nullptr) {
        return StoreStatus::Failed;
    }
    try {
        Statement select(sqliteKey->Db(),
                         "SELECT type, data FROM registry_values WHERE key_id = ?1 AND name = ?2");
        if (select.Prepared() != SQLITE_OK) {
            return Fail(sqliteKey->Db());
        }
        sqlite3_bind_int64(select.Get(), 1, sqliteKey->Id());
        select.BindText(2, vellumet::ToNative(name));
        int rc = select.Step();
        if (rc == SQLITE_DONE) {
            return StoreStatus::NotFound;
        }
        if (rc != SQLITE_ROW) {
            return Fail(sqliteKey->Db());
        }
        if (type != nullptr) {
            *type = static_cast<uint32_t>(sqlite3_column_int64(select.Get(), 0));
        }
        const void* bytes = sqlite3_column_blob(select.Get(), 1);
        auto needed = static_cast<uint32_t>(sqlite3_column_bytes(select.Get(), 1));
        if (data != nullptr) {
            if (*size < needed) {
                *size = needed;
                return StoreStatus::MoreData;
            }
            if (needed != 0) {
                std::memcpy(data, bytes, needed);
            }
        }
        *size = needed;
        return StoreStatus::Ok;
    } catch (...) {
        return StoreStatus::Failed;
    }
}

StoreStatus SqliteStore::SetValue(StoreKey* key, std::wstring_view name, uint32_t type, const uint8_t* data,
                                  uint32_t size) {
    auto* sqliteKey = dynamic_cast<SqliteKey*>(key);
    if (sqliteKey == nullptr || (data == nullptr && size != 0) || size > INT32_MAX) {
        return StoreStatus::Failed;
    }
    if (!sqliteKey->Writable()) {
        return StoreStatus::AccessDenied;
    }
    try {
        std::string nativeName = vellumet::ToNative(name);
        int rc = InWriteTransaction(sqliteKey->Db(), [&]() {
            Statement upsert(
                sqliteKey->Db(),
                "INSERT INTO registry_values(key_id, name, type, data) VALUES(?1, ?2, ?3, ?4) "
                "ON CONFLICT(key_id, name) DO UPDATE SET type = excluded.type, data = excluded.data");
            if (upsert.Prepared() != SQLITE_OK) {
                return upsert.Prepared();
            }
            sqlite3_bind_int64(upsert.Get(), 1, sqliteKey->Id());
            upsert.BindText(2, nativeName);
            sqlite3_bind_int64(upsert.Get(), 3, type);
            if (size == 0) {
                sqlite3_bind_zeroblob(upsert.Get(), 4, 0);  // a null pointer would bind NULL
            } else {
                sqlite3_bind_blob(upsert.Get(), 4, data, static_cast<int>(size), SQLITE_TRANSIENT);
            }
            int step = upsert.Step();
            return step == SQLITE_DONE ? SQLITE_OK : step;
        });
        StoreStatus status = StatusOf(rc);
        return status == StoreStatus::Failed ? Fail(sqliteKey->Db()) : status;
    } catch (...) {
        return StoreStatus::Failed;
    }
}

void SqliteStore::CloseKey(StoreKey* key) {
    delete key;
}

std::filesystem::path DefaultStorePath() {
    std::filesystem::path base;
    const char* configHome = std::getenv("XDG_CONFIG_HOME");
    if (configHome != nullptr && configHome[0] == '/') {
        base = configHome;
    } else {
        const std::string home = HomeFolder(std::getenv("HOME"), getuid());
        if (home.empty()) {
            return {};
        }
        base = std::filesystem::path(home) / ".config";
    }
    return base / "vellumet" / "settings.db";
}

SettingsStore& CurrentUserStore() {
    static SqliteStore store(DefaultStorePath());
    return store;
}

}  // namespace settings

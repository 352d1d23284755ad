#pragma once
// The per-user settings store: a SQLite database file holding key paths and typed values.
//
// Every open key is a connection of its own, opened by OpenKey or CreateKey and closed by CloseKey,
// so nothing stays open between two reads or writes and a file replaced in between is seen afresh.
// Every write is one transaction: a crash or a full disk leaves the previous contents. The file is
// kept in write-ahead-log form, so readers never wait for a writer; writers wait for each other (up
// to a few seconds) instead of failing. A read of a file still in the older rollback form, which a
// writer can lock, gives up after a fraction of a second; the first write converts the file.
//
// Only a regular file (or a link to one) is ever opened: a FIFO, a device or a folder in the place
// of the file or of its journals is refused before anything opens it, so nothing can block there.
//
// A file that is not a sound database is never overwritten: it is renamed aside ("<file>.damaged",
// or "<file>.damaged-2" and so on when that name is taken) and a new, empty store takes its place.
// A file that cannot be read is left as it is and every operation fails. Either problem is reported
// once per store object through the reporter given to the constructor.

#include <atomic>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>

#include "settings/SettingsStore.h"

struct sqlite3;

namespace settings {

class SqliteStore : public SettingsStore {
public:
    // Receives one line of UTF-8 text describing a problem with the store file.
    using Reporter = std::function<void(const std::string& message)>;

    // file: the database file; its folder is created when the first key is. report: where problems
    // go; when empty they are written to stderr.
    explicit SqliteStore(std::filesystem::path file, Reporter report = {});

    const std::filesystem::path& File() const { return file_; }

    StoreStatus OpenKey(std::wstring_view subKey, StoreKey** key) override;
    StoreStatus CreateKey(std::wstring_view subKey, StoreKey** key) override;
    StoreStatus QueryValue(StoreKey* key, std::wstring_view name, uint32_t* type, uint8_t* data,
                           uint32_t* size) override;
    StoreStatus SetValue(StoreKey* key, std::wstring_view name, uint32_t type, const uint8_t* data,
                         uint32_t size) override;
    void CloseKey(StoreKey* key) override;
    std::string LastProblem() const override;

private:
    // Opens a connection to the file, setting a damaged file aside first. With forWriting the
    // folder and the file are created when missing. On Ok *db is the connection, owned by the caller.
    StoreStatus Connect(bool forWriting, sqlite3** db);
    // Renames the damaged file (and its journal) to the first free "<file>.damaged" name.
    bool SetAside(std::filesystem::path* movedTo);
    void ReportOnce(const std::string& message);
    // Keeps why an operation failed, for LastProblem, and returns Failed.
    StoreStatus Fail(const std::string& problem);
    // Fail with the connection's own message.
    StoreStatus Fail(sqlite3* db);

    std::filesystem::path file_;
    Reporter report_;
    std::atomic<bool> reported_{false};
    mutable std::mutex problemMutex_;
    std::string lastProblem_;
};

// The user's store file: $XDG_CONFIG_HOME/vellumet/settings.db, where XDG_CONFIG_HOME defaults to
// <home>/.config when unset, empty or not absolute (home as HomeFolder finds it). Empty when no home
// folder can be found.
std::filesystem::path DefaultStorePath();

// The store of the current user at DefaultStorePath(), made on first use (the path is read then) and
// kept for the life of the process. The settings family uses it when given no other store.
SettingsStore& CurrentUserStore();

}  // namespace settings

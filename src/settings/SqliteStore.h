#pragma once
// The per-user settings store: a SQLite database file holding key paths and typed values.
//
// Every open key is a connection of its own, opened by OpenKey or CreateKey and closed by CloseKey,
// so nothing stays open between two reads or writes and a file replaced in between is seen afresh.
// Every write is one transaction: a crash or a full disk leaves the previous contents. Processes
// that share the file wait for each other (up to a few seconds) instead of failing.
//
// A file that is not a sound database is never overwritten: it is renamed aside ("<file>.damaged",
// or "<file>.damaged-2" and so on when that name is taken) and a new, empty store takes its place.
// A file that cannot be read is left as it is and every operation fails. Either problem is reported
// once per store object through the reporter given to the constructor.

#include <atomic>
#include <filesystem>
#include <functional>
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

private:
    // Opens a connection to the file, setting a damaged file aside first. With forWriting the
    // folder and the file are created when missing. On Ok *db is the connection, owned by the caller.
    StoreStatus Connect(bool forWriting, sqlite3** db);
    // Renames the damaged file (and its journal) to the first free "<file>.damaged" name.
    bool SetAside(std::filesystem::path* movedTo);
    void ReportOnce(const std::string& message);

    std::filesystem::path file_;
    Reporter report_;
    std::atomic<bool> reported_{false};
};

// The user's store file: $XDG_CONFIG_HOME/vellumet/settings.db, where XDG_CONFIG_HOME defaults to
// ~/.config when unset, empty or not absolute. Empty when no home folder can be found.
std::filesystem::path DefaultStorePath();

// The store of the current user at DefaultStorePath(), made on first use (the path is read then) and
// kept for the life of the process. The settings family uses it when given no other store.
SettingsStore& CurrentUserStore();

}  // namespace settings

#pragma once
// Private folders that outlive their process. A run marks each private folder it makes with its
// owner; a later run reclaims the folders whose owner is provably gone (the owner was killed before
// it could clean up). One mechanism for every kind of private folder and every front end.
//
// A folder is reclaimed only when all of these hold: its name starts with the given prefix; it is a
// real folder (not a link) owned by this process's user; it holds a mark written by MarkFolderOwner;
// and the process named in the mark is gone: no process with that id and start time exists in the
// same process-id namespace, or the machine has been restarted since. Anything else is left alone.

#include <filesystem>
#include <functional>
#include <string_view>

namespace vellumet {

// The name of the mark file inside a marked folder.
inline constexpr const char* kOwnerMarkName = ".vellumet-owner";

// Records this process as the owner of `folder` (a file readable by the user only). False when the
// mark cannot be written; the folder is then never reclaimed by anyone.
bool MarkFolderOwner(const std::filesystem::path& folder);

// The process id recorded in folder's mark; -1 when there is no readable mark.
long FolderOwnerPid(const std::filesystem::path& folder);

// Removes every stale folder directly inside `root` whose name starts with `prefix` (see above),
// calling beforeRemoval(folder, ownerPid) first for each, so that the caller can remove what else
// belongs to it (sockets named after it). Failures are ignored. Returns how many were removed.
int ReclaimStaleFolders(const std::filesystem::path& root, std::string_view prefix,
                        const std::function<void(const std::filesystem::path&, long)>& beforeRemoval = {});

}  // namespace vellumet

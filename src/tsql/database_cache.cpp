// The process cache of open databases. Opening a database file costs SQLite a parse of the whole
// schema per connection, and closing the last connection folds the write-ahead log into the file
// with its disk syncs; a host that calls one operation at a time would pay both on every call. So
// the process keeps up to kMaxOpenDatabases databases open (their handles pooled, their schemas
// parsed), and a maintenance thread folds large logs into their files and closes a database that
// nobody used for kIdleClose, or the least recently used one beyond the bound. A cached database
// is found again by the path as the caller gave it, after one stat() that proves the file is still
// the one that was opened (same device and inode: a file removed or replaced by another is opened
// afresh). Everything still open is closed when the process exits.
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <thread>
#include <unordered_map>

#include "corva/error.h"
#include "tsql/database_impl.h"

namespace corva::tsql {
namespace {

// SQL Server's number for a database that cannot be opened.
constexpr int32_t kErrCannotOpenDatabaseFile = 4060;
constexpr size_t kMaxOpenDatabases = 16;
constexpr auto kIdleClose = std::chrono::seconds(60);
constexpr auto kMaintenanceTick = std::chrono::seconds(1);
constexpr size_t kMaxRememberedPaths = 4096;

// "file:PATH" with the characters a URI gives meaning to escaped.
std::string FileUri(const std::string& path) {
  std::string uri = "file:";
  for (char c : path) {
    if (c == '?' || c == '#' || c == '%') {
      char buf[4];
      std::snprintf(buf, sizeof buf, "%%%02X", static_cast<unsigned char>(c));
      uri += buf;
    } else {
      uri += c;
    }
  }
  return uri;
}

// The in-memory database of the process: one, alive as long as the process.
std::shared_ptr<DatabaseImpl> MemoryDatabase() {
  static std::mutex mu;
  static std::shared_ptr<DatabaseImpl>* memory = new std::shared_ptr<DatabaseImpl>();
  std::lock_guard<std::mutex> lock(mu);
  if (!*memory) {
    *memory = std::make_shared<DatabaseImpl>(
        ":memory:", "file:/corva-mem-" + std::to_string(getpid()) + "?vfs=memdb");
  }
  return *memory;
}

// Absolute, normalized paths by the path as given. Only absolute paths are remembered: a relative
// one depends on the working folder, which may change.
class CanonicalPaths {
 public:
  std::string Get(const std::string& path) {
    if (path.empty() || path[0] != '/') return Compute(path);
    std::lock_guard<std::mutex> lock(mu_);
    auto it = known_.find(path);
    if (it != known_.end()) return it->second;
    if (known_.size() >= kMaxRememberedPaths) known_.clear();
    return known_[path] = Compute(path);
  }

 private:
  static std::string Compute(const std::string& path) {
    std::error_code error;
    std::filesystem::path absolute = std::filesystem::absolute(path, error);
    if (error) return path;
    std::filesystem::path canonical = std::filesystem::weakly_canonical(absolute, error);
    return error ? absolute.lexically_normal().string() : canonical.string();
  }

  std::mutex mu_;
  std::unordered_map<std::string, std::string> known_;
};

CanonicalPaths& Paths() {
  static auto* paths = new CanonicalPaths();
  return *paths;
}

class Cache {
 public:
  static Cache& Instance() {
    static Cache cache;  // destroyed at exit, closing what is still open
    return cache;
  }

  ~Cache() {
    {
      std::lock_guard<std::mutex> lock(mu_);
      stop_ = true;
    }
    cv_.notify_all();
    if (thread_.joinable()) thread_.join();
    std::vector<std::shared_ptr<DatabaseImpl>> closing;
    std::lock_guard<std::mutex> lock(mu_);
    for (auto& [path, entry] : entries_) closing.push_back(std::move(entry.kept));
  }

  std::shared_ptr<DatabaseImpl> Open(const std::string& path, bool must_exist) {
    struct stat file;
    bool exists = ::stat(path.c_str(), &file) == 0;
    if (!exists && must_exist) {
      throw corva::Error(kErrCannotOpenDatabaseFile, "corva.tsql",
                         "Cannot open database \"" + path + "\": the file does not exist.");
    }
    std::vector<std::shared_ptr<DatabaseImpl>> stale;  // released outside the lock
    std::unique_lock<std::mutex> lock(mu_);
    auto alias = aliases_.find(path);
    if (alias != aliases_.end()) {
      if (auto db = Alive(alias->second, exists, file)) return db;
    }
    lock.unlock();
    std::string canonical = Paths().Get(path);
    lock.lock();
    if (auto db = Alive(canonical, exists, file)) {
      Remember(path, canonical);
      return db;
    }
    Entry& entry = entries_[canonical];
    stale.push_back(std::move(entry.kept));  // a file removed or replaced: open the new one
    auto db = std::make_shared<DatabaseImpl>(canonical, FileUri(canonical));
    struct stat opened;
    if (::stat(canonical.c_str(), &opened) == 0) {
      db->device = static_cast<uint64_t>(opened.st_dev);
      db->inode = static_cast<uint64_t>(opened.st_ino);
    }
    entry.weak = db;
    entry.kept = db;
    Remember(path, canonical);
    if (!thread_.joinable()) thread_ = std::thread([this] { Maintain(); });
    if (entries_.size() > kMaxOpenDatabases) Wake(lock);
    return db;
  }

  void CloseIdle() {
    std::vector<std::shared_ptr<DatabaseImpl>> closing;
    std::unique_lock<std::mutex> lock(mu_);
    // The maintenance thread may be holding databases between its visits; they must be closed
    // when this returns.
    cv_.wait(lock, [this] { return !visiting_; });
    for (auto& [path, entry] : entries_) {
      if (entry.kept && !entry.kept->InUse()) closing.push_back(std::move(entry.kept));
    }
    // Released here, under the lock, so that an Open that follows finds them closed.
    closing.clear();
    Prune();
  }

  void Wake() {
    std::unique_lock<std::mutex> lock(mu_);
    Wake(lock);
  }

 private:
  struct Entry {
    std::weak_ptr<DatabaseImpl> weak;    // while anybody uses it
    std::shared_ptr<DatabaseImpl> kept;  // the cache's own reference; empty once closed
  };

  void Wake(std::unique_lock<std::mutex>&) {
    wake_ = true;
    cv_.notify_all();
  }

  // The database open at `canonical` when it is still the file at the caller's path.
  std::shared_ptr<DatabaseImpl> Alive(const std::string& canonical, bool exists,
                                      const struct stat& file) {
    auto it = entries_.find(canonical);
    if (it == entries_.end()) return nullptr;
    std::shared_ptr<DatabaseImpl> db = it->second.weak.lock();
    if (!db || !exists || db->device != static_cast<uint64_t>(file.st_dev) ||
        db->inode != static_cast<uint64_t>(file.st_ino))
      return nullptr;
    if (!it->second.kept) it->second.kept = db;  // closed by the cache, still used: keep again
    return db;
  }

  void Remember(const std::string& path, const std::string& canonical) {
    if (aliases_.size() >= kMaxRememberedPaths) aliases_.clear();
    aliases_[path] = canonical;
  }

  // Forgets entries nobody holds any more.
  void Prune() {
    for (auto it = entries_.begin(); it != entries_.end();) {
      if (!it->second.kept && it->second.weak.expired())
        it = entries_.erase(it);
      else
        ++it;
    }
  }

  // The maintenance thread: checkpoints asked for by commits, then closes what is idle or beyond
  // the bound. Databases are closed outside the lock: closing folds the log into the file.
  void Maintain() {
    std::unique_lock<std::mutex> lock(mu_);
    while (!stop_) {
      cv_.wait_for(lock, kMaintenanceTick, [this] { return stop_ || wake_; });
      wake_ = false;
      if (stop_) break;
      std::vector<std::shared_ptr<DatabaseImpl>> open;
      for (auto& [path, entry] : entries_)
        if (entry.kept) open.push_back(entry.kept);
      visiting_ = true;
      lock.unlock();
      auto now = DatabaseImpl::Clock::now();
      for (const auto& db : open) db->Maintain(now);
      open.clear();
      lock.lock();
      std::vector<std::shared_ptr<DatabaseImpl>> closing;
      size_t kept = 0;
      for (auto& [path, entry] : entries_) {
        if (!entry.kept) continue;
        if (!entry.kept->InUse() && now - entry.kept->LastUsed() >= kIdleClose)
          closing.push_back(std::move(entry.kept));
        else
          ++kept;
      }
      while (kept > kMaxOpenDatabases) {
        Entry* oldest = nullptr;
        for (auto& [path, entry] : entries_) {
          if (entry.kept && (!oldest || entry.kept->LastUsed() < oldest->kept->LastUsed()))
            oldest = &entry;
        }
        closing.push_back(std::move(oldest->kept));
        --kept;
      }
      lock.unlock();
      closing.clear();
      lock.lock();
      visiting_ = false;
      cv_.notify_all();
      Prune();
    }
  }

  std::mutex mu_;
  std::condition_variable cv_;
  std::unordered_map<std::string, Entry> entries_;        // by canonical path
  std::unordered_map<std::string, std::string> aliases_;  // canonical path by the path given
  std::thread thread_;
  bool stop_ = false;
  bool wake_ = false;
  bool visiting_ = false;  // the maintenance thread holds databases outside the lock
};

}  // namespace

std::shared_ptr<Database> Database::Open(const std::string& path, bool must_exist) {
  // SQLite counts every allocation under one process-wide lock unless told not to, which makes
  // threads that read in parallel queue for it. The counts serve nobody here. (Once SQLite is
  // running, as when the host opened a database of its own first, the setting is refused.)
  static const bool kQuietMemory = sqlite3_config(SQLITE_CONFIG_MEMSTATUS, 0) == SQLITE_OK;
  (void)kQuietMemory;
  if (path == ":memory:") return MemoryDatabase();
  return Cache::Instance().Open(path, must_exist);
}

std::string CanonicalPath(const std::string& path) {
  return path == ":memory:" ? path : Paths().Get(path);
}

void CloseIdleDatabases() { Cache::Instance().CloseIdle(); }

void WakeDatabaseMaintenance() { Cache::Instance().Wake(); }

}  // namespace corva::tsql

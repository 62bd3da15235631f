// The file layer under every database file: SQLite's own layer for the operating system, with the
// database file's pages taken from one memory map of all of it.
//
// SQLite reads a page of a mapped file by pointing at it, and any other page with a read() into its
// own page cache. As built here it maps at most the first 2 GiB of a file, one map per connection,
// drops the map whenever another connection has changed the database, and reads every page a
// statement is about to change with a read(), mapped or not. In a factory of a million production
// tasks (4 GiB) that put every second page of the large tables, and every page a rule changes,
// behind a system call whose search of the kernel's cache grows with the file, and had each
// connection fault the pages of its map in again after every write elsewhere.
//
// This layer keeps SQLite's for everything (opening, locking, the log and its shared memory,
// writing) and serves the database file's pages from a map of its whole length that the process's
// connections share and keep: pointed at for reading, copied for changing. On Linux a shared map
// stays coherent with the file whoever writes it, so after a change only the file's length is
// learnt afresh, and nothing past the end is ever handed out.
//
// The map is made from the very descriptor SQLite's layer opened (it tells which through the "open"
// system call SQLite lets a program supply): a second descriptor of our own would, when closed,
// drop the locks the process holds on the file. A file whose descriptor cannot be told (SQLite
// reused one it kept) is read as SQLite reads it.
#include <fcntl.h>
#include <sqlite3.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <memory>
#include <mutex>
#include <new>

#include "tsql/database_impl.h"

namespace corva::tsql {
namespace {

constexpr const char* kVfsName = "corva-mapped";

// One map of a database file for the whole process, shared by every handle on it: the process's
// page tables get a page's entry once, on its first read, not once per handle and again after
// every change another connection makes. It reaches past the file's end, so that the file grows
// into it (nothing past the end is ever handed out), and a longer one replaces it when the file
// outgrows it; it goes when its last handle lets it go.
struct FileMap {
  char* base = nullptr;
  int64_t length = 0;
  ~FileMap() {
    if (base != nullptr) munmap(base, static_cast<size_t>(length));
  }
};

struct MappedFile {
  sqlite3_file base;   // first: SQLite sees this
  sqlite3_file* real;  // SQLite's own file, allocated just after this one
  int fd = -1;         // the real file's descriptor, or -1: no map of ours
  std::shared_ptr<FileMap> map;
  int64_t usable = 0;  // bytes of the map within the file, as last seen; 0 after a change
  int64_t limit = 0;   // the most to map, as "PRAGMA mmap_size" sets it; 0: read, never map
  int fetched = 0;     // pages handed out and not yet given back
};

constexpr size_t kHeaderSize = (sizeof(MappedFile) + 15) / 16 * 16;
constexpr int64_t kGrowthRoom = int64_t{64} << 20;

sqlite3_vfs* g_real = nullptr;
sqlite3_syscall_ptr g_real_open = nullptr;

// What the real layer's last open() on this thread answered, for the open in progress.
thread_local const char* t_opening = nullptr;
thread_local int t_opened = -1;

int RecordingOpen(const char* path, int flags, int mode) {
  int fd = reinterpret_cast<int (*)(const char*, int, int)>(g_real_open)(path, flags, mode);
  if (t_opening != nullptr && std::strcmp(path, t_opening) == 0) t_opened = fd;
  return fd;
}

MappedFile* Of(sqlite3_file* f) { return reinterpret_cast<MappedFile*>(f); }
sqlite3_file* Real(sqlite3_file* f) { return Of(f)->real; }

// The process's map of the file `st` describes, at least `need` bytes long (and at most `limit`,
// unless an existing one is longer). A file's inode number is not reused while a map holds it.
std::shared_ptr<FileMap> MapOf(int fd, const struct stat& st, int64_t need, int64_t limit) {
  static std::mutex mu;
  static auto* maps = new std::map<std::pair<dev_t, ino_t>, std::weak_ptr<FileMap>>();
  std::lock_guard<std::mutex> lock(mu);
  std::weak_ptr<FileMap>& slot = (*maps)[{st.st_dev, st.st_ino}];
  if (std::shared_ptr<FileMap> map = slot.lock(); map && map->length >= need) return map;
  auto map = std::make_shared<FileMap>();
  map->length = std::min(limit, std::max(need + need / 2, need + kGrowthRoom));
  void* p =
      mmap(nullptr, static_cast<size_t>(map->length), PROT_READ, MAP_SHARED | MAP_NORESERVE, fd, 0);
  if (p == MAP_FAILED) return nullptr;
  map->base = static_cast<char*>(p);
  slot = map;
  if (maps->size() > 64) std::erase_if(*maps, [](const auto& m) { return m.second.expired(); });
  return map;
}

// Learns the file's length (up to the limit), taking a longer map when it has outgrown this one;
// false when it cannot be mapped.
bool Remap(MappedFile* f) {
  struct stat st;
  if (fstat(f->fd, &st) != 0) return false;
  int64_t size = std::min<int64_t>(st.st_size, f->limit);
  if (f->map == nullptr || f->map->length < size) {
    std::shared_ptr<FileMap> map = MapOf(f->fd, st, size, f->limit);
    if (map == nullptr) return false;
    f->map = std::move(map);
  }
  f->usable = size;
  return true;
}

int Close(sqlite3_file* file) {
  MappedFile* f = Of(file);
  sqlite3_file* real = f->real;
  f->~MappedFile();
  return real->pMethods->xClose(real);
}
// Whether [offset, offset + amount) can be had from the map, mapping the file afresh when it has
// grown and no page of the old map is out.
bool InMap(MappedFile* f, int64_t offset, int amount) {
  if (f->fd < 0 || f->limit <= 0) return false;
  if (offset + amount <= f->usable) return true;
  return f->fetched == 0 && Remap(f) && offset + amount <= f->usable;
}

int Read(sqlite3_file* file, void* buf, int amount, sqlite3_int64 offset) {
  MappedFile* f = Of(file);
  // A page SQLite is about to change is copied into its cache, not pointed at: copied from the
  // map it costs no system call and no search of the kernel's cache of a large file.
  if (InMap(f, offset, amount)) {
    std::memcpy(buf, f->map->base + offset, static_cast<size_t>(amount));
    return SQLITE_OK;
  }
  return f->real->pMethods->xRead(f->real, buf, amount, offset);
}
int Write(sqlite3_file* f, const void* buf, int amount, sqlite3_int64 offset) {
  return Real(f)->pMethods->xWrite(Real(f), buf, amount, offset);
}
int Truncate(sqlite3_file* file, sqlite3_int64 size) {
  MappedFile* f = Of(file);
  // Past the new end the map would fault: nothing there is handed out any more.
  if (size < f->usable) f->usable = size;
  return f->real->pMethods->xTruncate(f->real, size);
}
int Sync(sqlite3_file* f, int flags) { return Real(f)->pMethods->xSync(Real(f), flags); }
int FileSize(sqlite3_file* f, sqlite3_int64* size) {
  return Real(f)->pMethods->xFileSize(Real(f), size);
}
int Lock(sqlite3_file* f, int level) { return Real(f)->pMethods->xLock(Real(f), level); }
int Unlock(sqlite3_file* f, int level) { return Real(f)->pMethods->xUnlock(Real(f), level); }
int CheckReservedLock(sqlite3_file* f, int* out) {
  return Real(f)->pMethods->xCheckReservedLock(Real(f), out);
}
int FileControl(sqlite3_file* file, int op, void* arg) {
  MappedFile* f = Of(file);
  if (op == SQLITE_FCNTL_MMAP_SIZE && f->fd >= 0) {
    // The limit is ours to keep: SQLite's layer would cap it at its build's ceiling.
    auto* value = static_cast<sqlite3_int64*>(arg);
    sqlite3_int64 asked = *value;
    *value = f->limit;
    if (asked >= 0 && asked != f->limit && f->fetched == 0) {
      f->limit = asked;
      f->usable = 0;
      if (asked == 0) f->map.reset();
    }
    return SQLITE_OK;
  }
  return f->real->pMethods->xFileControl(f->real, op, arg);
}
int SectorSize(sqlite3_file* f) { return Real(f)->pMethods->xSectorSize(Real(f)); }
int DeviceCharacteristics(sqlite3_file* f) {
  return Real(f)->pMethods->xDeviceCharacteristics(Real(f));
}
int ShmMap(sqlite3_file* f, int region, int size, int extend, void volatile** out) {
  return Real(f)->pMethods->xShmMap(Real(f), region, size, extend, out);
}
int ShmLock(sqlite3_file* f, int offset, int n, int flags) {
  return Real(f)->pMethods->xShmLock(Real(f), offset, n, flags);
}
void ShmBarrier(sqlite3_file* f) { Real(f)->pMethods->xShmBarrier(Real(f)); }
int ShmUnmap(sqlite3_file* f, int remove) { return Real(f)->pMethods->xShmUnmap(Real(f), remove); }
int Fetch(sqlite3_file* file, sqlite3_int64 offset, int amount, void** out) {
  MappedFile* f = Of(file);
  if (f->fd < 0) return f->real->pMethods->xFetch(f->real, offset, amount, out);
  *out = nullptr;
  // The map grows with the file only while no page of it is out; until then SQLite reads.
  if (!InMap(f, offset, amount)) return SQLITE_OK;
  *out = f->map->base + offset;
  ++f->fetched;
  return SQLITE_OK;
}
int Unfetch(sqlite3_file* file, sqlite3_int64 offset, void* page) {
  MappedFile* f = Of(file);
  if (f->fd < 0) return f->real->pMethods->xUnfetch(f->real, offset, page);
  if (page != nullptr) {
    --f->fetched;
  } else {
    // SQLite saw the file change under it (another connection may have cut it short and grown
    // it again): the map stays, coherent with the file, and its length is learnt afresh.
    f->usable = 0;
  }
  return SQLITE_OK;
}

constexpr sqlite3_io_methods kMethods = {
    .iVersion = 3,
    .xClose = Close,
    .xRead = Read,
    .xWrite = Write,
    .xTruncate = Truncate,
    .xSync = Sync,
    .xFileSize = FileSize,
    .xLock = Lock,
    .xUnlock = Unlock,
    .xCheckReservedLock = CheckReservedLock,
    .xFileControl = FileControl,
    .xSectorSize = SectorSize,
    .xDeviceCharacteristics = DeviceCharacteristics,
    .xShmMap = ShmMap,
    .xShmLock = ShmLock,
    .xShmBarrier = ShmBarrier,
    .xShmUnmap = ShmUnmap,
    .xFetch = Fetch,
    .xUnfetch = Unfetch,
};

int Open(sqlite3_vfs*, sqlite3_filename name, sqlite3_file* file, int flags, int* out_flags) {
  MappedFile* f = new (file) MappedFile();
  f->real = reinterpret_cast<sqlite3_file*>(reinterpret_cast<char*>(file) + kHeaderSize);
  bool main_db = (flags & SQLITE_OPEN_MAIN_DB) != 0 && name != nullptr;
  t_opening = main_db ? name : nullptr;
  t_opened = -1;
  int rc = g_real->xOpen(g_real, name, f->real, flags, out_flags);
  t_opening = nullptr;
  if (rc != SQLITE_OK) {
    f->~MappedFile();
    file->pMethods = nullptr;
    return rc;
  }
  // The descriptor counts only if it is the file's: an open() retried after a signal answers
  // the same path, a descriptor SQLite kept from an earlier connection answers nothing here.
  if (main_db && t_opened >= 0) {
    struct stat by_fd, by_name;
    if (fstat(t_opened, &by_fd) == 0 && stat(name, &by_name) == 0 &&
        by_fd.st_dev == by_name.st_dev && by_fd.st_ino == by_name.st_ino)
      f->fd = t_opened;
  }
  file->pMethods = &kMethods;
  return SQLITE_OK;
}

// The rest of the layer is SQLite's own.
int Delete(sqlite3_vfs*, const char* name, int sync_dir) {
  return g_real->xDelete(g_real, name, sync_dir);
}
int Access(sqlite3_vfs*, const char* name, int flags, int* out) {
  return g_real->xAccess(g_real, name, flags, out);
}
int FullPathname(sqlite3_vfs*, const char* name, int size, char* out) {
  return g_real->xFullPathname(g_real, name, size, out);
}
void* DlOpen(sqlite3_vfs*, const char* name) { return g_real->xDlOpen(g_real, name); }
void DlError(sqlite3_vfs*, int size, char* out) { g_real->xDlError(g_real, size, out); }
void (*DlSym(sqlite3_vfs*, void* lib, const char* symbol))(void) {
  return g_real->xDlSym(g_real, lib, symbol);
}
void DlClose(sqlite3_vfs*, void* lib) { g_real->xDlClose(g_real, lib); }
int Randomness(sqlite3_vfs*, int size, char* out) { return g_real->xRandomness(g_real, size, out); }
int Sleep(sqlite3_vfs*, int micros) { return g_real->xSleep(g_real, micros); }
int CurrentTime(sqlite3_vfs*, double* out) { return g_real->xCurrentTime(g_real, out); }
int GetLastError(sqlite3_vfs*, int size, char* out) {
  return g_real->xGetLastError(g_real, size, out);
}
int CurrentTimeInt64(sqlite3_vfs*, sqlite3_int64* out) {
  return g_real->xCurrentTimeInt64(g_real, out);
}

sqlite3_vfs g_vfs;

}  // namespace

const char* MappedVfs() {
  static std::once_flag once;
  static const char* name = nullptr;
  std::call_once(once, [] {
    g_real = sqlite3_vfs_find(nullptr);
    if (g_real == nullptr || g_real->iVersion < 2 || g_real->xSetSystemCall == nullptr) return;
    g_real_open = g_real->xGetSystemCall(g_real, "open");
    if (g_real_open == nullptr ||
        g_real->xSetSystemCall(g_real, "open",
                               reinterpret_cast<sqlite3_syscall_ptr>(&RecordingOpen)) != SQLITE_OK)
      return;
    g_vfs.iVersion = 2;
    g_vfs.szOsFile = static_cast<int>(kHeaderSize) + g_real->szOsFile;
    g_vfs.mxPathname = g_real->mxPathname;
    g_vfs.zName = kVfsName;
    g_vfs.xOpen = Open;
    g_vfs.xDelete = Delete;
    g_vfs.xAccess = Access;
    g_vfs.xFullPathname = FullPathname;
    g_vfs.xDlOpen = DlOpen;
    g_vfs.xDlError = DlError;
    g_vfs.xDlSym = DlSym;
    g_vfs.xDlClose = DlClose;
    g_vfs.xRandomness = Randomness;
    g_vfs.xSleep = Sleep;
    g_vfs.xCurrentTime = CurrentTime;
    g_vfs.xGetLastError = GetLastError;
    g_vfs.xCurrentTimeInt64 = CurrentTimeInt64;
    if (sqlite3_vfs_register(&g_vfs, 0) == SQLITE_OK) name = kVfsName;
  });
  return name;
}

}  // namespace corva::tsql

#include "platform/registry.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <map>
#include <mutex>
#include <optional>

#include "platform/files.h"
#include "platform/registry_file.h"
#include "platform/text_1252.h"

namespace platform {
namespace {

constexpr std::string_view kRoot = "HKEY_CURRENT_USER";

[[noreturn]] void Fail(const char* what, const std::string& name) {
  throw ERegistryException(std::string(what) + " '" + name + "'");
}

// Why: what kept the store from being changed, when known.
[[noreturn]] void FailToSet(const std::string& name, const std::string& why) {
  throw ERegistryException("Failed to set data for '" + name + "'" +
                           (why.empty() ? std::string() : ": " + why));
}

// What identifies one version of the store file; a replaced file has another inode.
struct FileStamp {
  dev_t device = 0;
  ino_t inode = 0;
  int64_t size = -1;
  int64_t mtime_ns = 0;
  friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

struct CachedStore {
  FileStamp stamp;
  RegDocument document;
  std::string not_rewritable;  // NotRewritable of the file's text
};

// The documents last read, per store file, so that a program reading a handful of
// values parses the file once, yet sees every change another program saves.
struct Cache {
  std::mutex mutex;
  std::map<std::string, CachedStore> documents;
};

Cache& TheCache() {
  static Cache cache;
  return cache;
}

enum class LoadResult { kLoaded, kMissing, kUnreadable };

// Reads the store; NotRewritable (when given) says why a loaded one must not be
// rewritten, "" when it may be.
LoadResult Load(const std::string& path, RegDocument& document,
                std::string* not_rewritable = nullptr) {
  if (not_rewritable) not_rewritable->clear();
  struct stat st;
  const std::string os_path = ToOsPath(path);
  if (::stat(os_path.c_str(), &st) != 0) {
    document = RegDocument{};
    return errno == ENOENT ? LoadResult::kMissing : LoadResult::kUnreadable;
  }
  const FileStamp stamp{st.st_dev, st.st_ino, st.st_size,
                        static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec};
  Cache& cache = TheCache();
  {
    std::lock_guard lock(cache.mutex);
    auto it = cache.documents.find(path);
    if (it != cache.documents.end() && it->second.stamp == stamp) {
      document = it->second.document;
      if (not_rewritable) *not_rewritable = it->second.not_rewritable;
      return LoadResult::kLoaded;
    }
  }
  std::string text;
  try {
    text = ReadFileToString(path);
  } catch (const Exception&) {
    document = RegDocument{};
    return LoadResult::kUnreadable;
  }
  document = ParseRegExport(text);
  const std::string problem = NotRewritable(text);
  if (not_rewritable) *not_rewritable = problem;
  std::lock_guard lock(cache.mutex);
  cache.documents[path] = {stamp, document, problem};
  return LoadResult::kLoaded;
}

// Why a store in that state is not changed; "" when it may be.
std::string Refusal(const std::string& path, LoadResult result, const std::string& not_rewritable) {
  if (result == LoadResult::kUnreadable)
    return "the settings store " + path + " cannot be read, so it is left as it is";
  if (!not_rewritable.empty()) {
    return "the settings store " + path + " is not UTF-8 text (" + not_rewritable +
           "), so it is left as it is";
  }
  return "";
}

// Why the store is not changed as it is now; "" when it may be.
std::string StoreRefusal(const std::string& path) {
  RegDocument document;
  std::string not_rewritable;
  const LoadResult result = Load(path, document, &not_rewritable);
  return Refusal(path, result, not_rewritable);
}

bool MakeParentFolders(const std::string& os_path) {
  for (size_t slash = os_path.find('/', 1); slash != std::string::npos;
       slash = os_path.find('/', slash + 1)) {
    const std::string folder = os_path.substr(0, slash);
    if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  return true;
}

// Runs Change on the store's current document under the store's lock and saves the
// document when Change reports a change. False when the store cannot be read, must
// not be rewritten or cannot be written; nothing is saved then, and Why tells why
// when that is known.
bool Modify(const std::string& path, const std::function<bool(RegDocument&)>& change,
            std::string& why) {
  why.clear();
  const std::string os_path = ToOsPath(path);
  if (!MakeParentFolders(os_path)) return false;
  const int lock_fd = ::open((os_path + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
  if (lock_fd < 0) return false;
  int locked;
  do {
    locked = ::flock(lock_fd, LOCK_EX);
  } while (locked != 0 && errno == EINTR);
  bool ok = false;
  if (locked == 0) {
    RegDocument document;
    std::string not_rewritable;
    // A store that exists but cannot be read is never overwritten: that would lose
    // every other setting in it. Nor is one in another form than the store's own.
    const LoadResult loaded = Load(path, document, &not_rewritable);
    why = Refusal(path, loaded, not_rewritable);
    if (why.empty()) {
      try {
        ok = true;
        if (change(document)) {
          const std::string text = WriteRegExport(document);
          WriteFileAtomically(path, text.data(), text.size());
        }
      } catch (const Exception& error) {
        ok = false;
        why = error.what();
      }
    }
  }
  ::close(lock_fd);  // releases the lock
  return ok;
}

bool HasControlCharacters(std::string_view text) {
  for (unsigned char c : text) {
    if (c < 0x20) return true;
  }
  return false;
}

}  // namespace

std::string RegistryStorePath() {
  if (const char* store = std::getenv("QOR_REGISTRY"); store && *store) return store;
  std::string config;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg && *xdg) {
    config = xdg;
  } else {
    const char* home = std::getenv("HOME");
    config = std::string(home && *home ? home : ".") + "/.config";
  }
  return Utf8ToWin1252(config) + "/qor/registry.reg";
}

std::string ResolvedRegistryStorePath() {
  const std::string store = RegistryStorePath();
  std::error_code error;
  // weakly_canonical leaves a relative path relative when no part of it exists yet.
  const std::filesystem::path absolute = std::filesystem::absolute(ToOsPath(store), error);
  if (error) return store;
  const std::filesystem::path resolved = std::filesystem::weakly_canonical(absolute, error);
  return error ? absolute.string() : resolved.string();
}

TRegistry::TRegistry() : TRegistry(RegistryStorePath()) {}

TRegistry::TRegistry(std::string store_path) : store_path_(std::move(store_path)) {}

std::string TRegistry::FullPath(const std::string& key) const {
  const std::string relative = NormalizeKeyPath(key);
  return relative.empty() ? std::string(kRoot) : std::string(kRoot) + "\\" + relative;
}

bool TRegistry::OpenKey(const std::string& key, bool can_create) {
  CloseKey();
  const std::string full = FullPath(key);
  RegDocument document;
  Load(store_path_, document);
  if (!document.FindKey(full) && full != kRoot) {
    if (!can_create) return false;
    std::string why;
    const bool created = Modify(
        store_path_,
        [&full](RegDocument& doc) {
          if (doc.FindKey(full)) return false;
          doc.AddKey(full);
          return true;
        },
        why);
    if (!created) return false;
  }
  current_ = full;
  read_only_ = false;
  return true;
}

bool TRegistry::OpenKeyReadOnly(const std::string& key) {
  CloseKey();
  const std::string full = FullPath(key);
  if (full != kRoot && !KeyExists(key)) return false;
  current_ = full;
  read_only_ = true;
  return true;
}

bool TRegistry::KeyExists(const std::string& key) const {
  const std::string full = FullPath(key);
  RegDocument document;
  Load(store_path_, document);
  return full == kRoot || document.FindKey(full) != nullptr;
}

void TRegistry::CloseKey() {
  current_.clear();
  read_only_ = false;
}

namespace {

// The value as the store holds it now; nothing when the key or value is missing.
std::optional<RegValue> FindValue(const std::string& store, const std::string& key,
                                  const std::string& name) {
  if (key.empty()) return std::nullopt;
  RegDocument document;
  Load(store, document);
  const RegKey* found = document.FindKey(key);
  if (!found) return std::nullopt;
  const RegValue* value = found->FindValue(name);
  if (!value) return std::nullopt;
  return *value;
}

}  // namespace

bool TRegistry::ValueExists(const std::string& name) const {
  return FindValue(store_path_, current_, name).has_value();
}

RegDataType TRegistry::GetDataType(const std::string& name) const {
  const std::optional<RegValue> value = FindValue(store_path_, current_, name);
  if (!value) return RegDataType::kUnknown;
  switch (value->kind) {
    case RegValueKind::kString:
      return RegDataType::kString;
    case RegValueKind::kDword:
      return RegDataType::kInteger;
    case RegValueKind::kOther:
      break;
    case RegValueKind::kLine:  // never found
      return RegDataType::kUnknown;
  }
  return RegDataType::kBinary;
}

std::string TRegistry::ReadString(const std::string& name) const {
  const std::optional<RegValue> value = FindValue(store_path_, current_, name);
  if (!value) return "";
  if (value->kind != RegValueKind::kString) Fail("Invalid data type for", name);
  return value->text;
}

int32_t TRegistry::ReadInteger(const std::string& name) const {
  const std::optional<RegValue> value = FindValue(store_path_, current_, name);
  if (!value) Fail("Failed to get data for", name);
  if (value->kind != RegValueKind::kDword) Fail("Invalid data type for", name);
  return static_cast<int32_t>(value->dword);
}

void TRegistry::WriteString(const std::string& name, const std::string& value) {
  WriteValue(RegValue{name, RegValueKind::kString, value, 0, ""});
}

void TRegistry::WriteInteger(const std::string& name, int32_t value) {
  WriteValue(RegValue{name, RegValueKind::kDword, "", static_cast<uint32_t>(value), ""});
}

void TRegistry::WriteValue(const RegValue& entry) {
  // A name is written as a quoted text only, where a line break would end it.
  if (current_.empty() || read_only_ || HasControlCharacters(entry.name)) {
    FailToSet(entry.name, current_.empty() ? StoreRefusal(store_path_) : "");
  }
  const std::string& key = current_;
  std::string why;
  if (!Modify(
          store_path_,
          [&](RegDocument& doc) {
            doc.AddKey(key).SetValue(entry);
            return true;
          },
          why)) {
    FailToSet(entry.name, why);
  }
}

bool TRegistry::DeleteValue(const std::string& name) {
  if (current_.empty() || read_only_) return false;
  bool deleted = false;
  const std::string& key = current_;
  std::string why;
  const bool saved = Modify(
      store_path_,
      [&](RegDocument& doc) {
        RegKey* found = doc.FindKey(key);
        deleted = found && found->DeleteValue(name);
        return deleted;
      },
      why);
  return saved && deleted;
}

}  // namespace platform

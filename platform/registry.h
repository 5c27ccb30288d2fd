// The settings store in place of the Windows registry of the current user.
//
// All keys live in one file in the registry-export format (registry_file.h): the
// file named by the environment variable QOR_REGISTRY, else
// $XDG_CONFIG_HOME/qor/registry.reg (XDG_CONFIG_HOME defaulting to ~/.config).
// Several programs share it, so every change is made under an advisory lock on
// "<file>.lock": the file is read again, changed, written to a temporary file and
// renamed over the old one. Readers take no lock: they see the old file or the new
// one, never a half-written one. A rewrite keeps every line of the old file it does
// not change (comments and lines it cannot read among them, registry_file.h). A store
// that cannot be read, or is not UTF-8 text (a UTF-16 export of the registry editor,
// which is still read), is never rewritten: every change fails with an error that
// names the file and, for the latter, the line.
//
// TRegistry keeps the results of the Windows calls it stands for: key paths are
// below HKEY_CURRENT_USER, compared without case, with a leading "\" ignored; a
// missing key makes OpenKey false (a result, not an error); ReadString of a missing
// value is ""; reading a value of another type, or an integer that is not there,
// raises ERegistryException; writing through a key opened read-only raises too.
// The default (unnamed) value is the name "".
#pragma once

#include <cstdint>
#include <string>

#include "platform/exception.h"

class ERegistryException : public Exception {
 public:
  using Exception::Exception;
};

namespace platform {

enum class RegDataType : uint8_t { kUnknown, kString, kInteger, kBinary };

struct RegValue;  // platform/registry_file.h

// The store file in use: $QOR_REGISTRY, else the per-user default.
std::string RegistryStorePath();

// The same file as one text for every spelling of its path, to tell stores apart:
// absolute, with ".", ".." and symbolic links resolved as far as the path exists
// (so a store that a first start has yet to create has one too). In the operating
// system's form (UTF-8); RegistryStorePath itself when the path cannot be resolved.
std::string ResolvedRegistryStorePath();

class TRegistry {
 public:
  // A registry over the store in use (RegistryStorePath at construction).
  TRegistry();
  explicit TRegistry(std::string store_path);
  ~TRegistry() = default;
  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;

  // Opens the key for reading and writing; a missing key is created when CanCreate,
  // else the result is false and no key is open.
  bool OpenKey(const std::string& key, bool can_create);
  // Opens an existing key for reading only.
  bool OpenKeyReadOnly(const std::string& key);
  bool KeyExists(const std::string& key) const;
  void CloseKey();
  bool HasCurrentKey() const { return !current_.empty(); }
  // The open key's full path, "HKEY_CURRENT_USER\..."; "" when none is open.
  const std::string& CurrentPath() const { return current_; }

  bool ValueExists(const std::string& name) const;
  RegDataType GetDataType(const std::string& name) const;

  // "" when the value is missing; "Invalid data type for '<name>'" when it is not
  // a text.
  std::string ReadString(const std::string& name) const;
  // "Failed to get data for '<name>'" when missing, "Invalid data type for
  // '<name>'" when not an integer.
  int32_t ReadInteger(const std::string& name) const;
  bool ReadBool(const std::string& name) const { return ReadInteger(name) != 0; }

  // "Failed to set data for '<name>'" when no key is open for writing or the store
  // cannot be written, followed by ": " and the reason where the store refused the
  // change.
  void WriteString(const std::string& name, const std::string& value);
  void WriteInteger(const std::string& name, int32_t value);
  void WriteBool(const std::string& name, bool value) { WriteInteger(name, value ? 1 : 0); }
  // False when there is no such value (or no key open for writing).
  bool DeleteValue(const std::string& name);

  const std::string& StorePath() const { return store_path_; }

 private:
  std::string FullPath(const std::string& key) const;
  // Sets Entry under the open key and saves the store; raises as the writers do.
  void WriteValue(const RegValue& entry);

  std::string store_path_;
  std::string current_;  // normalised full path; "" when no key is open
  bool read_only_ = false;
};

}  // namespace platform

// A stand-in for the main application's automation server, so that Gasbridge can
// run without the main application: it serves the class {6EB172E1-...} and appends
// every call it receives to a text file, one line a call, the operation and its
// arguments:
//
//   AddValue("123456-7890", "Arterial pO2", "kPa", 45272.661111111112, 12.02)
//   TransferDone()
//
// Texts are written as UTF-8 in double quotes (a quote or backslash in them after a
// backslash, control characters as \xNN); numbers with all their digits. The file is
// $QOR_AUTOMATION_LOG, else $XDG_DATA_HOME/qor/wardvorta-automation.log
// (XDG_DATA_HOME defaulting to ~/.local/share). A call that cannot be written fails
// with E_FAIL, as a broken server would.
//
// Register it in the settings store (default value of the key
// Software\Classes\CLSID\{6EB172E1-23B9-11D1-AF5F-444553540000}\InprocServer32) with
// the library's path.
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <system_error>
#include <vector>

#include "collector/Unit1Automation.h"

namespace {

using platform::HRESULT;

// Makes Folder with every folder above it that is missing (a new user's home has
// no ~/.local), each private to the user, as per-user data folders are. A folder
// that cannot be made shows when the log cannot be opened.
void CreateFolders(const std::filesystem::path& folder) {
  namespace fs = std::filesystem;
  std::error_code error;
  std::vector<fs::path> missing;
  for (fs::path at = folder; !at.empty() && !fs::exists(at, error); at = at.parent_path()) {
    missing.push_back(at);
    if (at == at.parent_path()) break;
  }
  fs::create_directories(folder, error);
  for (const fs::path& made : missing)
    fs::permissions(made, fs::perms::owner_all, fs::perm_options::replace, error);
}

std::string LogPath() {
  if (const char* path = std::getenv("QOR_AUTOMATION_LOG"); path && *path) return path;
  std::string base;
  if (const char* data = std::getenv("XDG_DATA_HOME"); data && *data) {
    base = data;
  } else if (const char* home = std::getenv("HOME"); home && *home) {
    base = std::string(home) + "/.local/share";
  } else {
    base = ".";
  }
  CreateFolders(base + "/qor");
  return base + "/qor/wardvorta-automation.log";
}

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

std::string Quoted(BSTR text) {
  std::string out = "\"";
  for (const char16_t* p = text ? text : u""; *p; ++p) {
    char32_t c = *p;
    if (c >= 0xD800 && c <= 0xDBFF && p[1] >= 0xDC00 && p[1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (p[1] - 0xDC00);
      ++p;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = 0xFFFD;
    }
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20 || c == 0x7F) {
      char hex[16];
      std::snprintf(hex, sizeof hex, "\\x%02X", static_cast<unsigned>(c));
      out += hex;
    } else {
      AppendUtf8(out, c);
    }
  }
  return out + "\"";
}

std::string Number(double value) {
  char text[40];
  std::snprintf(text, sizeof text, "%.17g", value);
  return text;
}

HRESULT Write(const std::string& line) {
  FILE* file = std::fopen(LogPath().c_str(), "a");
  if (!file) return platform::E_FAIL;
  const std::string text = line + "\n";
  const bool written = std::fwrite(text.data(), 1, text.size(), file) == text.size();
  const bool closed = std::fclose(file) == 0;
  return written && closed ? platform::S_OK : platform::E_FAIL;
}

class TStandInAutoObject final : public IVistameterAutoObject {
 public:
  HRESULT QueryInterface(const char* iid, void** out) override {
    if (!out) return platform::E_POINTER;
    *out = nullptr;
    if (!iid || std::strcmp(iid, kIidVistameterAutoObject) != 0) return platform::E_NOINTERFACE;
    AddRef();
    *out = static_cast<IVistameterAutoObject*>(this);
    return platform::S_OK;
  }
  uint32_t AddRef() override { return ++references_; }
  uint32_t Release() override {
    const uint32_t left = --references_;
    if (left == 0) delete this;
    return left;
  }

  HRESULT GetTypeInfoCount(uint32_t* count) override {
    if (count) *count = 0;
    return platform::S_OK;
  }
  HRESULT GetTypeInfo(uint32_t, uint32_t, void**) override { return E_NOTIMPL; }
  HRESULT GetIDsOfNames(const char*, const BSTR*, uint32_t, uint32_t, int32_t*) override {
    return E_NOTIMPL;
  }
  HRESULT Invoke(int32_t, const char*, uint32_t, uint16_t, void*, void*, void*,
                 uint32_t*) override {
    return E_NOTIMPL;
  }

  HRESULT TransferDone() override { return Write("TransferDone()"); }
  HRESULT Reserved2() override { return Write("Reserved2()"); }
  HRESULT Reserved3() override { return Write("Reserved3()"); }
  HRESULT Reserved4() override { return Write("Reserved4()"); }
  HRESULT Reserved5() override { return Write("Reserved5()"); }
  HRESULT Reserved6() override { return Write("Reserved6()"); }
  HRESULT AddValue(BSTR patient_id, BSTR parameter, BSTR unit, double sample_time,
                   double value) override {
    return Write("AddValue(" + Quoted(patient_id) + ", " + Quoted(parameter) + ", " + Quoted(unit) +
                 ", " + Number(sample_time) + ", " + Number(value) + ")");
  }
  HRESULT Reserved8() override { return Write("Reserved8()"); }
  HRESULT AddValueWithSource(BSTR patient_id, BSTR parameter, BSTR specimen_source, BSTR unit,
                             double sample_time, double value) override {
    return Write("AddValueWithSource(" + Quoted(patient_id) + ", " + Quoted(parameter) + ", " +
                 Quoted(specimen_source) + ", " + Quoted(unit) + ", " + Number(sample_time) + ", " +
                 Number(value) + ")");
  }

 private:
  ~TStandInAutoObject() = default;
  std::atomic<uint32_t> references_{1};
};

}  // namespace

extern "C" __attribute__((visibility("default"))) platform::HRESULT QorCreateInstance(
    const char* clsid, const char* iid, void** out) {
  if (!out) return platform::E_POINTER;
  *out = nullptr;
  if (!clsid || std::strcmp(clsid, kClsidVistameterAutoObject) != 0) {
    return platform::REGDB_E_CLASSNOTREG;
  }
  if (!iid || std::strcmp(iid, kIidVistameterAutoObject) != 0) return platform::E_NOINTERFACE;
  *out = static_cast<IVistameterAutoObject*>(new TStandInAutoObject);
  return platform::S_OK;
}

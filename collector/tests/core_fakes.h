// Stand-ins for what the collector's core talks to: the window (it records what it
// is asked to show and send) and the automation object (it records the calls and
// can be told to fail).
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "collector/Unit1Automation.h"
#include "collector/Unit1Core.h"
#include "platform/text_1252.h"

class TRecordingView : public TCollectorView {
 public:
  std::string sent;                       // to the analyzer
  int posts = 0;                          // processing messages asked for
  std::vector<std::string> relayed;       // framed lines as "F:<line>", bare texts as "B:<text>"
  std::vector<std::string> senders;       // lblABLIdentification
  std::vector<std::string> transfers;     // status banner
  std::vector<std::string> new_patients;  // new-patient notice
  std::vector<std::string> errors;        // error line
  int log_changes = 0;

  void SendToAnalyzer(std::string_view bytes) override { sent += bytes; }
  void PostProcessMessage() override { ++posts; }
  void RelayToDataClients(const std::string& text, bool framed) override {
    relayed.push_back((framed ? "F:" : "B:") + text);
  }
  void ShowSender(const std::string& identification) override { senders.push_back(identification); }
  void ShowTransfer(const std::string& entry) override { transfers.push_back(entry); }
  void ShowNewPatient(const std::string& caption) override { new_patients.push_back(caption); }
  void ShowError(const std::string& text) override { errors.push_back(text); }
  void TransferLogChanged() override { ++log_changes; }
};

class TRecordingAutoObject final : public IVistameterAutoObject {
 public:
  std::vector<std::string> calls;
  // The call (counted from 1) that fails; 0: none.
  int fail_at = 0;
  bool throw_instead = false;
  int references = 1;

  platform::HRESULT QueryInterface(const char*, void** out) override {
    *out = this;
    ++references;
    return platform::S_OK;
  }
  uint32_t AddRef() override { return ++references; }
  uint32_t Release() override { return --references; }
  platform::HRESULT GetTypeInfoCount(uint32_t*) override { return E_NOTIMPL; }
  platform::HRESULT GetTypeInfo(uint32_t, uint32_t, void**) override { return E_NOTIMPL; }
  platform::HRESULT GetIDsOfNames(const char*, const BSTR*, uint32_t, uint32_t, int32_t*) override {
    return E_NOTIMPL;
  }
  platform::HRESULT Invoke(int32_t, const char*, uint32_t, uint16_t, void*, void*, void*,
                           uint32_t*) override {
    return E_NOTIMPL;
  }
  platform::HRESULT TransferDone() override { return Record("TransferDone()"); }
  platform::HRESULT Reserved2() override { return Record("Reserved2()"); }
  platform::HRESULT Reserved3() override { return Record("Reserved3()"); }
  platform::HRESULT Reserved4() override { return Record("Reserved4()"); }
  platform::HRESULT Reserved5() override { return Record("Reserved5()"); }
  platform::HRESULT Reserved6() override { return Record("Reserved6()"); }
  platform::HRESULT AddValue(BSTR id, BSTR parameter, BSTR unit, double time,
                             double value) override {
    return Record("AddValue(" + Text(id) + "," + Text(parameter) + "," + Text(unit) + "," +
                  Number(time) + "," + Number(value) + ")");
  }
  platform::HRESULT Reserved8() override { return Record("Reserved8()"); }
  platform::HRESULT AddValueWithSource(BSTR id, BSTR parameter, BSTR source, BSTR unit, double time,
                                       double value) override {
    return Record("AddValueWithSource(" + Text(id) + "," + Text(parameter) + "," + Text(source) +
                  "," + Text(unit) + "," + Number(time) + "," + Number(value) + ")");
  }

 private:
  static std::string Text(BSTR text) { return platform::Utf16ToWin1252(text); }
  static std::string Number(double value) {
    char text[40];
    std::snprintf(text, sizeof text, "%.10g", value);
    return text;
  }
  platform::HRESULT Record(std::string call) {
    calls.push_back(std::move(call));
    if (fail_at != 0 && static_cast<int>(calls.size()) == fail_at) {
      if (throw_instead) throw std::runtime_error("the server fell over");
      return platform::E_FAIL;
    }
    return platform::S_OK;
  }
};

// The records of a monitor-data file that the save component reads back (the
// monitor record and the parameter-series definitions), and the small classes that
// only its loader creates from other data files of the family: video information,
// rich texts, plot settings and plot templates.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/object.h"
#include "platform/stream.h"

class TSerie;
class TUniqueParameterInformation;

// The monitor record (200): which monitor and which patient the file belongs to.
class TMonitorInfo : public TObject {
 public:
  std::string_view ClassName() const override { return "TMonitorInfo"; }

  std::string MonitorName;    // field 201
  std::string MonitorDetail;  // field 202
  std::string PatientId;      // field 203
  std::string PatientName;    // field 204
};

// The definition of one parameter series of a monitor-data file (record 210), and,
// once the file's points are loaded, the series holding the points of its index.
//
// A series has one owner: assigning one definition to another copies the
// definition alone (Index, Unit, the parameter identity) and leaves the target's
// own series as it is, so no two definitions ever free the same series.
class TParameterSerie : public TPersistent {
 public:
  // Index 0, Unit empty, no series, an empty parameter identity.
  TParameterSerie();
  ~TParameterSerie() override;
  std::string_view ClassName() const override { return "TParameterSerie"; }

  int16_t Index = 0;  // field 211: the series number of the data-point records
  std::string Unit;   // field 215, as read

  // Parameter ID (216), name (212), measurement place (213) and extra name (214);
  // its setters trim, and the name sets the display name too.
  TUniqueParameterInformation& ParameterInfo() { return *parameter_info_; }
  const TUniqueParameterInformation& ParameterInfo() const { return *parameter_info_; }

  // The series of the file's points of this index, or none.
  TSerie* Serie() const { return serie_.get(); }
  void SetSerie(std::unique_ptr<TSerie> serie);
  std::unique_ptr<TSerie> TakeSerie();

  // Dest must be a TParameterSerie ("Cannot assign a %s to a %s"): it gets Index,
  // Unit and the parameter identity; its series stays its own.
  void AssignTo(TPersistent& dest) const override;
  // A new definition equal to this one, without a series.
  std::unique_ptr<TParameterSerie> CopyDefinition() const;

 private:
  std::unique_ptr<TUniqueParameterInformation> parameter_info_;
  std::unique_ptr<TSerie> serie_;
};

// The video-information record (232) of a video-controller file.
class TVideoInfo : public TObject {
 public:
  std::string_view ClassName() const override { return "TVideoInfo"; }

  std::string VideoFileName;  // field 231 (the last of them)
  std::string PatientId;      // field 204
  std::string PatientName;    // field 203
};

// A rich text (field 70): its bytes and the file they came from.
class TRichTextObject : public TPersistent {
 public:
  TRichTextObject();
  ~TRichTextObject() override;
  std::string_view ClassName() const override { return "TRichTextObject"; }

  const std::string& FileName() const { return file_name_; }
  // Stores the name and, when it is not empty and the file exists, makes Content
  // the file's bytes (the whole content: nothing of an earlier, longer one stays),
  // with the position at 0.
  void SetFileName(const std::string& file_name);
  platform::MemoryStream& Content() { return *content_; }
  const platform::MemoryStream& Content() const { return *content_; }

  // Dest must be a TRichTextObject ("Cannot assign a %s to a %s"): it takes the
  // file name (loading that file when it exists), then exactly this content, with
  // its position at 0.
  void AssignTo(TPersistent& dest) const override;

 private:
  std::string file_name_;
  std::unique_ptr<platform::MemoryStream> content_;
};

// The settings of a plot template, one value per tag, in declaration order.
class TPlotSettings : public TObject {
 public:
  std::string_view ClassName() const override { return "TPlotSettings"; }

  int32_t Value158 = 1;  // below 20 read as 1
  int32_t Value157 = 1;  // below 20 read as 1
  std::string Text129;
  int32_t Value133 = 0;
  int32_t Value130 = 0;
  int32_t Value131 = 0;
  int32_t Value132 = 0;
  uint8_t Byte80 = 0;
  uint8_t Byte136 = 0;
  uint8_t Byte135 = 0;
  uint8_t Byte139 = 0;
};

// A plot template (record 8 or 1001): its settings and three lists, of which the
// first owns its objects. The loader fills none of the lists.
class TPlotTemplate : public TObject {
 public:
  TPlotTemplate();
  ~TPlotTemplate() override;
  std::string_view ClassName() const override { return "TPlotTemplate"; }

  TPlotSettings& Settings() { return *settings_; }
  const TPlotSettings& Settings() const { return *settings_; }
  std::vector<std::unique_ptr<TObject>> OwnedObjects;
  std::vector<TObject*> SecondList;
  std::vector<TObject*> ThirdList;

 private:
  std::unique_ptr<TPlotSettings> settings_;
};

#include "datamodel/PointsU.h"

#include <algorithm>
#include <cmath>

#include "datafile/QORClassParser.h"
#include "datafile/QORClassReader.h"
#include "datafile/QORClassWriter.h"
#include "datafile/QORFunc.h"
#include "datamodel/PointPool.h"
#include "datamodel/Series_CObject.h"
#include "platform/date_time_format.h"
#include "platform/exception.h"
#include "platform/format_text.h"
#include "platform/resources.h"

namespace {

// Texts of the hints; a language module replaces each as a whole.
constexpr platform::ResourceString SYEquals{"PointsU.SYEquals", "Y = "};
constexpr platform::ResourceString SXEquals{"PointsU.SXEquals", "X = "};
constexpr platform::ResourceString SInfiniteAt{"PointsU.SInfiniteAt", "Infinite at X = "};
constexpr platform::ResourceString SUnderDetectionLimit{"PointsU.SUnderDetectionLimit",
                                                        "UNDER  DETECTION LIMIT"};
constexpr platform::ResourceString SAboveLinearity{"PointsU.SAboveLinearity",
                                                   "ABOVE LINEARITY INTERVAL"};
constexpr platform::ResourceString SVialIdEquals{"PointsU.SVialIdEquals", "Vial id = "};
constexpr platform::ResourceString SVialID{"PointsU.SVialID", "Vial ID: %0:s"};
constexpr platform::ResourceString SAttemptNo{"PointsU.SAttemptNo", "Attempt no: %0:d"};
constexpr platform::ResourceString SHiddenInMachine{"PointsU.SHiddenInMachine",
                                                    "Point was hidden in machine."};
constexpr platform::ResourceString SStdDevY{"PointsU.SStdDevY", "Y = %0:4.4g "};
constexpr platform::ResourceString SStdDevSEM{"PointsU.SStdDevSEM", "+- %3:4.4g (SEM)"};
constexpr platform::ResourceString SStdDevSD{"PointsU.SStdDevSD", "+- %2:4.4g (SD)"};
constexpr platform::ResourceString SStdDevN{"PointsU.SStdDevN", "n = %4:d"};
constexpr platform::ResourceString SStdDevNExtra{"PointsU.SStdDevNExtra", "n = %4:d + (%5:d)"};
constexpr platform::ResourceString SStdDevX{"PointsU.SStdDevX", "X = %1:s"};

constexpr char kLineBreak[] = "\r\n";
constexpr size_t kCaptionLength = 40;
constexpr size_t kVialTextLength = 5;

template <typename T>
T ReadRaw(TVistaReader& reader) {
  T value;
  reader.ReadBuffer(&value, sizeof value);
  return value;
}

template <typename T>
void WriteRaw(TVistaWriter& writer, T value) {
  writer.WriteBuffer(&value, sizeof value);
}

std::string Res(const platform::ResourceString& resource) {
  return platform::LoadResString(resource);
}

// What a six-byte zero-terminated buffer keeps of a text.
std::string VialText(std::string_view text) {
  text = text.substr(0, std::min(text.find('\0'), text.size()));
  return std::string(text.substr(0, kVialTextLength));
}

// X rounded to the nearest integer, halves to even, clamped as RoundClamped does.
// Every point made from a value takes this path, so the common case (a value well
// inside the int32 range) is rounded in double precision, without the extended
// arithmetic that RoundClamped spends on the extremes.
int32_t OrdinalOf(double x) {
  if (!(x > -2147483637.0 && x < 2147483637.0)) return RoundClamped(x);
  const double whole = std::floor(x);
  const double fraction = x - whole;
  int64_t ordinal = static_cast<int64_t>(whole);
  if (fraction > 0.5 || (fraction == 0.5 && (ordinal & 1) != 0)) ++ordinal;
  return static_cast<int32_t>(ordinal);
}

}  // namespace

// ---------------------------------------------------------------------------
// TXYPoint

// Under AddressSanitizer every point is a heap block of its own, so that a use
// after free, a double free or a leak of a point is still reported.
#if defined(__SANITIZE_ADDRESS__)
#define QOR_POINTS_FROM_HEAP 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QOR_POINTS_FROM_HEAP 1
#endif
#endif

static_assert(alignof(TXYPoint) <= 8 && alignof(TStdDevPoint) <= 8 && alignof(TEventPoint) <= 8 &&
              alignof(TKorvetDataPoint) <= 8 && alignof(TMultivaluePoint) <= 8 &&
              alignof(TTarvoDataPoint) <= 8);

void* TXYPoint::operator new(std::size_t size) {
#ifdef QOR_POINTS_FROM_HEAP
  return ::operator new(size);
#else
  return point_pool::Allocate(size);
#endif
}

void TXYPoint::operator delete(void* memory, [[maybe_unused]] std::size_t size) noexcept {
#ifdef QOR_POINTS_FROM_HEAP
  ::operator delete(memory);
#else
  point_pool::Release(memory, size);
#endif
}

TXYPoint::TXYPoint(double x, double y) : OrdinalNo(OrdinalOf(x)), XValue(x), YValue(y) {}

void TXYPoint::AssignTo(TPersistent& dest) const {
  auto* point = dynamic_cast<TXYPoint*>(&dest);
  if (!point) {
    TPersistIt::AssignTo(dest);
    return;
  }
  point->XValue = XValue;
  point->YValue = YValue;
  point->OrdinalNo = OrdinalNo;
}

void TXYPoint::ReadXYBody(TVistaReader& reader) {
  XValue = ReadRaw<double>(reader);
  YValue = ReadRaw<double>(reader);
  OrdinalNo = ReadRaw<int32_t>(reader);
}

void TXYPoint::WriteXYBody(TVistaWriter& writer) const {
  WriteRaw(writer, XValue);
  WriteRaw(writer, YValue);
  WriteRaw(writer, OrdinalNo);
}

void TXYPoint::ReadField(int32_t tag, TVistaReader& reader) {
  if (tag == kXYPointRecord) {
    ReadGroupRecord(reader, [&](int32_t) { ReadXYBody(reader); });
    return;
  }
  TPersistIt::ReadField(tag, reader);
}

bool TXYPoint::WriteTo(TVistaWriter& writer) {
  writer.BeginGroup(RecordType());
  WriteFields(writer);
  writer.EndGroup();
  return true;
}

void TXYPoint::WriteFields(TVistaWriter& writer) const {
  WriteXYBody(writer);
}

std::unique_ptr<TXYPoint> TXYPoint::CreateOfSameClass(double x, double y) const {
  return std::make_unique<TXYPoint>(x, y);
}

std::unique_ptr<TXYPoint> TXYPoint::Clone() const {
  std::unique_ptr<TXYPoint> copy = CreateOfSameClass(0, 0);
  copy->Assign(*this);
  return copy;
}

std::string TXYPoint::GetXText(const TSerieObject* series) const {
  if (!series) return "#" + std::to_string(OrdinalNo);
  const double x = series->AxisXOf(*this);
  switch (series->XKind()) {
    case akTime:
      return platform::DateTimeToStr(x);
    case akValue:
      return platform::FloatToStr(x);
    case akOrdinal:
      return "#" + std::to_string(RoundClamped(x));
    case akDuration:
      return FormatTimeSpan(x);
  }
  return {};
}

std::string TXYPoint::HintCaption(const TSerieObject* series) {
  return series ? TruncateWithEllipsis(series->Caption(), kCaptionLength) : std::string();
}

std::string TXYPoint::XYHintText(const TSerieObject* series) const {
  return HintCaption(series) + kLineBreak + Res(SYEquals) + platform::FloatToStr(YValue) +
         kLineBreak + Res(SXEquals) + GetXText(series);
}

std::string TXYPoint::GetHintText(const TSerieObject* series) const {
  return XYHintText(series);
}

// ---------------------------------------------------------------------------
// Special and control points

std::unique_ptr<TXYPoint> TSpecialPoint::CreateOfSameClass(double x, double y) const {
  return std::make_unique<TSpecialPoint>(x, y);
}

void TInfinitePoint::ReadField(int32_t tag, TVistaReader& reader) {
  if (tag == kInfinitePointRecord) {
    ReadGroupRecord(reader, [&](int32_t) {
      XValue = ReadRaw<double>(reader);
      OrdinalNo = ReadRaw<int32_t>(reader);
    });
    return;
  }
  TSpecialPoint::ReadField(tag, reader);
}

void TInfinitePoint::WriteFields(TVistaWriter& writer) const {
  WriteRaw(writer, XValue);
  WriteRaw(writer, OrdinalNo);
}

std::string TInfinitePoint::GetHintText(const TSerieObject* series) const {
  return HintCaption(series) + kLineBreak + Res(SInfiniteAt) + GetXText(series);
}

std::unique_ptr<TXYPoint> TInfinitePoint::CreateOfSameClass(double x, double y) const {
  return std::make_unique<TInfinitePoint>(x, y);
}

void TUnderDetectionLimitPoint::ReadField(int32_t tag, TVistaReader& reader) {
  if (tag == kUnderDetectionLimitPointRecord) {
    ReadGroupRecord(reader, [&](int32_t) { ReadXYBody(reader); });
    return;
  }
  TSpecialPoint::ReadField(tag, reader);
}

std::string TUnderDetectionLimitPoint::GetHintText(const TSerieObject* series) const {
  return XYHintText(series) + "*";
}

std::unique_ptr<TXYPoint> TUnderDetectionLimitPoint::CreateOfSameClass(double x, double y) const {
  return std::make_unique<TUnderDetectionLimitPoint>(x, y);
}

std::unique_ptr<TXYPoint> TControlPoint::CreateOfSameClass(double x, double y) const {
  return std::make_unique<TControlPoint>(x, y);
}

void TRecordDelimiterPoint::ReadField(int32_t tag, TVistaReader& reader) {
  if (tag == kRecordDelimiterPointRecord) {
    ReadGroupRecord(reader, [&](int32_t) { ReadXYBody(reader); });
    return;
  }
  TControlPoint::ReadField(tag, reader);
}

std::unique_ptr<TXYPoint> TRecordDelimiterPoint::CreateOfSameClass(double x, double y) const {
  return std::make_unique<TRecordDelimiterPoint>(x, y);
}

// ---------------------------------------------------------------------------
// TYYPoint

void TYYPoint::AssignTo(TPersistent& dest) const {
  if (auto* point = dynamic_cast<TYYPoint*>(&dest)) point->TimeX = TimeX;
  TXYPoint::AssignTo(dest);
}

void TYYPoint::WriteFields(TVistaWriter& writer) const {
  WriteXYBody(writer);
  WriteRaw(writer, TimeX);
}

std::string TYYPoint::GetHintText(const TSerieObject* series) const {
  if (!series || !series->IsPairedSeries()) return {};
  std::string y_name = "Y";
  std::string x_name = "X";
  const std::vector<TQORDataSet*>& sources = series->DataSet().Sources();
  if (sources.size() == 2) {
    y_name = TruncateWithEllipsis(sources[0]->Name(), kCaptionLength);
    x_name = TruncateWithEllipsis(sources[1]->Name(), kCaptionLength);
  }
  std::string time;
  switch (series->XKind()) {
    case akTime:
      time = platform::DateTimeToStr(TimeX);
      break;
    case akValue:
    case akOrdinal:
      time = platform::FloatToStr(TimeX);
      break;
    case akDuration:
      time = FormatTimeSpan(TimeX);
      break;
  }
  return y_name + " = " + platform::FloatToStr(YValue) + kLineBreak + x_name + " = " +
         platform::FloatToStr(XValue) + kLineBreak + time;
}

std::unique_ptr<TXYPoint> TYYPoint::CreateOfSameClass(double x, double y) const {
  return std::make_unique<TYYPoint>(x, y);
}

// ---------------------------------------------------------------------------
// TStdDevPoint

void TStdDevPoint::AssignTo(TPersistent& dest) const {
  if (auto* point = dynamic_cast<TStdDevPoint*>(&dest)) {
    point->SD = SD;
    point->SEM = SEM;
    point->N = N;
    point->ExtraN = ExtraN;
  }
  TXYPoint::AssignTo(dest);
}

void TStdDevPoint::WriteFields(TVistaWriter& writer) const {
  WriteXYBody(writer);
  WriteRaw(writer, SD);
  WriteRaw(writer, SEM);
  WriteRaw(writer, N);
  WriteRaw(writer, ExtraN);
}

std::string TStdDevPoint::GetHintText(const TSerieObject* series) const {
  if (!series) return XYHintText(series);
  std::string format = Res(SStdDevY);
  if (series->ShowsSEM() && SEM > 0) format += Res(SStdDevSEM);
  if (series->ShowsSD() && SD > 0) format += Res(SStdDevSD);
  format += kLineBreak;
  format += ExtraN <= 0 ? Res(SStdDevN) : Res(SStdDevNExtra);
  format += kLineBreak;
  format += Res(SStdDevX);
  const int64_t counted = int64_t{N} - ExtraN;
  return HintCaption(series) + kLineBreak +
         platform::Format(
             format, {YValue, GetXText(series), SD, SEM, static_cast<long long>(counted), ExtraN});
}

std::unique_ptr<TXYPoint> TStdDevPoint::CreateOfSameClass(double x, double y) const {
  return std::make_unique<TStdDevPoint>(x, y);
}

// ---------------------------------------------------------------------------
// TVideoFrame

void TVideoFrame::AssignTo(TPersistent& dest) const {
  if (auto* point = dynamic_cast<TVideoFrame*>(&dest)) point->AVIFileNumber = AVIFileNumber;
  TXYPoint::AssignTo(dest);
}

void TVideoFrame::WriteFields(TVistaWriter& writer) const {
  WriteXYBody(writer);
  WriteRaw(writer, AVIFileNumber);
}

std::string TVideoFrame::GetHintText(const TSerieObject* series) const {
  std::string text = series ? HintCaption(series) + kLineBreak : std::string();
  // Frames are counted from 1 for people.
  text += "# " + platform::FloatToStr(RoundClamped(static_cast<long double>(YValue) + 1));
  return text + kLineBreak + Res(SXEquals) + GetXText(series);
}

std::unique_ptr<TXYPoint> TVideoFrame::CreateOfSameClass(double x, double y) const {
  return std::make_unique<TVideoFrame>(x, y);
}

// ---------------------------------------------------------------------------
// TTargetedPoint and TEventPoint

void TTargetedPoint::AssignTo(TPersistent& dest) const {
  if (auto* point = dynamic_cast<TTargetedPoint*>(&dest)) point->Target = Target;
  TXYPoint::AssignTo(dest);
}

std::unique_ptr<TXYPoint> TTargetedPoint::CreateOfSameClass(double x, double y) const {
  return std::make_unique<TTargetedPoint>(x, y);
}

void TEventPoint::SetText(std::string_view text) {
  text_ = platform::Trim(text);
}

void TEventPoint::AssignTo(TPersistent& dest) const {
  if (auto* point = dynamic_cast<TEventPoint*>(&dest)) point->SetText(text_);
  TTargetedPoint::AssignTo(dest);
}

void TEventPoint::WriteFields(TVistaWriter& writer) const {
  WriteRaw(writer, XValue);
  WriteRaw(writer, OrdinalNo);
  writer.WriteStringField(kEventTextField, text_);
}

std::string TEventPoint::GetHintText(const TSerieObject* series) const {
  std::string text = series ? HintCaption(series) + kLineBreak : std::string();
  return text + Res(SXEquals) + GetXText(series) + ": " + kLineBreak + text_;
}

std::unique_ptr<TXYPoint> TEventPoint::CreateOfSameClass(double x, double y) const {
  return std::make_unique<TEventPoint>(x, y);
}

// ---------------------------------------------------------------------------
// TKorvetDataPoint

void TKorvetDataPoint::SetID(std::string_view value) {
  id_ = VialText(value);
}

void TKorvetDataPoint::SetUserVialNo(std::string_view value) {
  user_vial_no_ = VialText(value);
}

void TKorvetDataPoint::AssignTo(TPersistent& dest) const {
  if (auto* point = dynamic_cast<TKorvetDataPoint*>(&dest)) {
    point->OriginalTimeStamp = OriginalTimeStamp;
    point->id_ = id_;
    point->user_vial_no_ = user_vial_no_;
    point->AnalyseResult = AnalyseResult;
  }
  TXYPoint::AssignTo(dest);
}

void TKorvetDataPoint::WriteFields(TVistaWriter& writer) const {
  WriteXYBody(writer);
  WriteRaw(writer, OriginalTimeStamp);
  writer.WriteString(user_vial_no_);
  writer.WriteString(id_);
  WriteRaw(writer, static_cast<int32_t>(AnalyseResult));
}

namespace {

// The hint lines of an analyzer sample up to and including its X line.
std::string AnalyzerHintHead(const std::string& caption_line, TAnalyseResult result, double y,
                             const std::string& x_text) {
  std::string text = caption_line;
  if (result == arUnderDetectionLimit || result == arOverLinearityInterval) {
    text += kLineBreak;
    text += Res(result == arUnderDetectionLimit ? SUnderDetectionLimit : SAboveLinearity);
    text += kLineBreak;
    text += kLineBreak;
  }
  text += Res(SYEquals) + platform::FloatToStrGeneral(y, 4) + kLineBreak;
  return text + Res(SXEquals) + x_text + kLineBreak;
}

}  // namespace

std::string TKorvetDataPoint::GetHintText(const TSerieObject* series) const {
  const std::string x_text = GetXText(series);
  std::string text = AnalyzerHintHead(series ? HintCaption(series) + kLineBreak : std::string(),
                                      AnalyseResult, YValue, x_text);
  const std::string stamp = platform::DateTimeToStr(OriginalTimeStamp);
  if (x_text != stamp) text += " ( " + stamp + ")" + kLineBreak;
  text += Res(SVialIdEquals) + user_vial_no_;
  if (id_ != user_vial_no_) text += " (" + id_ + ")";
  return text;
}

std::unique_ptr<TXYPoint> TKorvetDataPoint::CreateOfSameClass(double x, double y) const {
  return std::make_unique<TKorvetDataPoint>(x, y);
}

// ---------------------------------------------------------------------------
// TMultivaluePoint

void TMultivaluePoint::AssignTo(TPersistent& dest) const {
  if (auto* point = dynamic_cast<TMultivaluePoint*>(&dest)) point->Values = Values;
  TXYPoint::AssignTo(dest);
}

void TMultivaluePoint::ReadField(int32_t tag, TVistaReader& reader) {
  if (tag != kMultivaluePointRecord) {
    TXYPoint::ReadField(tag, reader);
    return;
  }
  ReadGroupRecord(reader, [&](int32_t size) {
    ReadXYBody(reader);
    const int32_t count = ReadRaw<int32_t>(reader);
    // The body before the values: X, Y, ordinal and the count.
    constexpr int64_t kHead = 8 + 8 + 4 + 4;
    if (count < 0 || int64_t{count} * 8 > int64_t{size} - kHead)
      throw Exception("Exception:Error in file");
    Values.resize(static_cast<size_t>(count));
    if (count > 0) reader.ReadBuffer(Values.data(), int64_t{count} * 8);
  });
}

void TMultivaluePoint::WriteFields(TVistaWriter& writer) const {
  WriteXYBody(writer);
  WriteRaw(writer, static_cast<int32_t>(Values.size()));
  if (!Values.empty()) writer.WriteBuffer(Values.data(), static_cast<int64_t>(Values.size()) * 8);
}

std::string TMultivaluePoint::GetHintText(const TSerieObject* series) const {
  std::string text = XYHintText(series);
  for (double value : Values)
    text += kLineBreak + platform::FloatToStr(value);
  return text;
}

std::unique_ptr<TXYPoint> TMultivaluePoint::CreateOfSameClass(double x, double y) const {
  return std::make_unique<TMultivaluePoint>(x, y);
}

// ---------------------------------------------------------------------------
// TTarvoDataPoint

void TTarvoDataPoint::AssignTo(TPersistent& dest) const {
  if (auto* point = dynamic_cast<TTarvoDataPoint*>(&dest)) {
    point->AnalyseResult = AnalyseResult;
    point->VialID = VialID;
    point->Hidden = Hidden;
    point->AttemptNo = AttemptNo;
  }
  TXYPoint::AssignTo(dest);
}

void TTarvoDataPoint::WriteFields(TVistaWriter& writer) const {
  WriteXYBody(writer);
  WriteRaw(writer, static_cast<int32_t>(AnalyseResult));
  writer.WriteString(VialID);
  WriteRaw(writer, static_cast<uint8_t>(Hidden ? 1 : 0));
  WriteRaw(writer, AttemptNo);
}

std::string TTarvoDataPoint::GetHintText(const TSerieObject* series) const {
  std::string text = AnalyzerHintHead(series ? HintCaption(series) + kLineBreak : std::string(),
                                      AnalyseResult, YValue, GetXText(series));
  if (!VialID.empty()) text += platform::Format(Res(SVialID), {VialID}) + kLineBreak;
  if (AttemptNo > 1) text += platform::Format(Res(SAttemptNo), {AttemptNo}) + kLineBreak;
  if (Hidden) text += Res(SHiddenInMachine) + kLineBreak;
  return text;
}

std::unique_ptr<TXYPoint> TTarvoDataPoint::CreateOfSameClass(double x, double y) const {
  return std::make_unique<TTarvoDataPoint>(x, y);
}

// ---------------------------------------------------------------------------

void RegisterPointPrototypes() {
  static const bool registered = [] {
    TVistaStreamParser::RegisterPrototype(std::make_unique<TXYPoint>(0, 0));
    return true;
  }();
  (void)registered;
}

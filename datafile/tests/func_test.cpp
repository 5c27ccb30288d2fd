#include <gtest/gtest.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cfenv>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iomanip>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "datafile/QORClassPersist.h"
#include "datafile/QORFunc.h"
#include "platform/exception.h"
#include "platform/recording_canvas.h"
#include "platform/resources.h"
#include "platform/tests/temp_folder.h"

namespace {

using platform::CanvasCall;
using platform::CanvasOp;
using platform::Point;
using platform::RecordingCanvas;
using platform::Rect;

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

// ---------------------------------------------------------------------------
// RoundClamped

TEST(FuncTest, RoundClampedClampsThenRoundsHalvesToEven) {
  struct Case {
    long double x;
    int32_t expected;
  };
  const Case cases[] = {
      {3.0E10L, 2147483637},
      {-3.0E10L, -2147483637},
      {2147483637.5L, 2147483637},
      {2147483636.5L, 2147483636},
      {2147483640.0L, 2147483637},
      {-2147483648.0L, -2147483637},
      // At the limit, and one past it.
      {2147483637.0L, 2147483637},
      {2147483638.0L, 2147483637},
      {-2147483637.0L, -2147483637},
      {-2147483638.0L, -2147483637},
      {2.5L, 2},
      {3.5L, 4},
      {-2.5L, -2},
      {-3.5L, -4},
      {0.5L, 0},
      {-0.5L, 0},
      {2.4999999999L, 2},
      {2.5000000001L, 3},
      {-1.6L, -2},
      {-1.5L, -2},
      {-4.5L, -4},
      {-0.4999999999L, 0},
      {-2.5000000001L, -3},
      {-1e-30L, 0},
      {0.0L, 0},
      {kInf, 2147483637},
      {-kInf, -2147483637},
  };
  for (const Case& c : cases)
    EXPECT_EQ(RoundClamped(c.x), c.expected) << c.x;
  EXPECT_EQ(RoundClamped(kNaN), 0);
}

TEST(FuncTest, RoundClampedRoundsInLongDoublePrecision) {
  // Values closer to a half than a double can tell, and a sweep of values around
  // halves and integers over the whole range, against the library's rounding in
  // round-to-nearest mode (halves to even).
  const int previous = std::fegetround();
  std::fesetround(FE_TONEAREST);
  const auto reference = [](long double x) {
    return static_cast<int32_t>(std::nearbyintl(std::clamp(x, -2147483637.0L, 2147483637.0L)));
  };
  std::vector<long double> values;
  for (const long double base : {0.0L, 1.0L, 2.0L, 3.0L, 1000000.0L, 1000001.0L, 2147483000.0L,
                                 2147483001.0L, 4503599627370496.0L}) {
    for (const long double sign : {1.0L, -1.0L}) {
      for (const long double offset : {0.0L, 0.5L, 1.0L}) {
        const long double x = sign * (base + offset);
        values.push_back(x);
        values.push_back(std::nextafter(x, kInf));
        values.push_back(std::nextafter(x, -kInf));
        values.push_back(x + 1e-12L);
        values.push_back(x - 1e-12L);
      }
    }
  }
  std::mt19937_64 random(7);
  std::uniform_real_distribution<double> spread(-3e9, 3e9);
  for (int i = 0; i < 100000; ++i) {
    const long double x = spread(random);
    values.push_back(x);
    values.push_back(std::floor(x) + 0.5L);
    values.push_back(std::nextafter(std::floor(x) + 0.5L, kInf));
    values.push_back(std::nextafter(std::floor(x) + 0.5L, -kInf));
  }
  int mismatches = 0;
  for (const long double x : values) {
    if (RoundClamped(x) != reference(x) && ++mismatches < 10)
      ADD_FAILURE() << std::setprecision(21) << x << ": " << RoundClamped(x) << " vs "
                    << reference(x);
  }
  std::fesetround(previous);
  EXPECT_EQ(mismatches, 0);
}

TEST(FuncTest, RoundClampedIgnoresTheRoundingMode) {
  const int previous = std::fegetround();
  std::fesetround(FE_UPWARD);
  const int32_t up = RoundClamped(2.5L);
  const int32_t down = RoundClamped(-3.2L);
  std::fesetround(previous);
  EXPECT_EQ(up, 2);
  EXPECT_EQ(down, -3);
}

// ---------------------------------------------------------------------------
// Drawing

struct Segment {
  Point from;
  Point to;
  friend bool operator==(const Segment&, const Segment&) = default;
};

std::ostream& operator<<(std::ostream& out, const Segment& s) {
  return out << "(" << s.from.x << "," << s.from.y << ")-(" << s.to.x << "," << s.to.y << ")";
}

// The lines drawn, each as LineTo recorded it: from the pen position to its end.
std::vector<Segment> LinesOf(const RecordingCanvas& canvas) {
  std::vector<Segment> lines;
  for (const CanvasCall& call : platform::CallsOf(canvas.calls(), CanvasOp::kLineTo)) {
    lines.push_back({call.points.at(0), call.points.at(1)});
  }
  return lines;
}

// The same lines without regard to direction and order, for shapes whose outline
// may be traced either way.
std::vector<Segment> Undirected(std::vector<Segment> lines) {
  const auto less = [](Point a, Point b) { return a.x != b.x ? a.x < b.x : a.y < b.y; };
  for (Segment& s : lines) {
    if (less(s.to, s.from)) std::swap(s.from, s.to);
  }
  std::sort(lines.begin(), lines.end(), [&](const Segment& a, const Segment& b) {
    if (a.from != b.from) return less(a.from, b.from);
    return less(a.to, b.to);
  });
  return lines;
}

TEST(FuncTest, DrawClippedLine) {
  struct Case {
    const char* name;
    int32_t x1, y1, x2, y2;
    Rect clip;
    int32_t gap, gap_mode;
    std::optional<Segment> expected;
  };
  const Rect around{-10, -10, 200, 200};
  const Case cases[] = {
      {"clipped at both ends", 0, 0, 100, 0, {10, -5, 50, 5}, 0, 0, Segment{{10, 0}, {50, 0}}},
      {"drawn backwards", 100, 0, 0, 0, {10, -5, 50, 5}, 0, 0, Segment{{50, 0}, {10, 0}}},
      {"diagonal, clipped by x",
       0,
       0,
       100,
       100,
       {20, 10, 60, 80},
       0,
       0,
       Segment{{20, 20}, {60, 60}}},
      {"vertical inside", 20, 0, 20, 100, {10, 10, 50, 50}, 0, 0, Segment{{20, 10}, {20, 50}}},
      {"inside, no gap", 0, 0, 100, 0, around, 0, 3, Segment{{0, 0}, {100, 0}}},
      {"inside, gaps at both ends", 0, 0, 100, 0, around, 10, 3, Segment{{10, 0}, {90, 0}}},
      {"gap at the start", 0, 0, 100, 0, around, 60, 1, Segment{{60, 0}, {100, 0}}},
      {"gap at the end", 0, 0, 100, 0, around, 60, 2, Segment{{0, 0}, {40, 0}}},
      {"gaps just fit", 0, 0, 100, 0, around, 50, 3, Segment{{50, 0}, {50, 0}}},
      {"gap measured along the longer axis", 0, 0, 40, 100, around, 10, 1,
       Segment{{4, 10}, {40, 100}}},
      // Nothing drawn:
      {"vertical beside the clip", 200, 0, 200, 100, {10, 10, 50, 50}, 0, 0, std::nullopt},
      {"horizontal above the clip", 0, -10, 100, -10, {10, -5, 50, 5}, 0, 0, std::nullopt},
      {"diagonal passing the clip's corner", 0, 0, 100, 100, {60, 0, 100, 30}, 0, 0, std::nullopt},
      {"too short for both gaps", 0, 0, 100, 0, around, 60, 3, std::nullopt},
      {"shorter than one gap", 0, 0, 100, 0, around, 101, 1, std::nullopt},
      {"start gap swallows the clipped part", 0, 0, 100, 0, {0, -5, 20, 5}, 30, 1, std::nullopt},
      {"end gap swallows the clipped part", 0, 0, 100, 0, {80, -5, 100, 5}, 30, 2, std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingCanvas canvas;
    DrawClippedLine(canvas, c.x1, c.y1, c.x2, c.y2, c.clip, c.gap, c.gap_mode);
    if (!c.expected) {
      EXPECT_TRUE(canvas.calls().empty());
      continue;
    }
    ASSERT_EQ(platform::OpsOf(canvas.calls()),
              (std::vector<CanvasOp>{CanvasOp::kMoveTo, CanvasOp::kLineTo}));
    EXPECT_EQ(LinesOf(canvas), std::vector<Segment>{*c.expected});
  }
}

TEST(FuncTest, DrawArrowHeadWidensThePenForTheDrawingOnly) {
  struct Case {
    int32_t size;
    int32_t half;  // Size div 2
    int32_t width;
  };
  const Case cases[] = {{9, 4, 3}, {6, 3, 2}, {5, 2, 1}, {2, 1, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.size);
    RecordingCanvas canvas;
    canvas.SetPenWidth(7);
    DrawArrowHead(canvas, 50, 40, c.size);

    const Point tip{50, 40 + c.size};
    const Point left{50 - c.half, 40 - c.size};
    const Point right{50 + c.half, 40 - c.size};
    EXPECT_EQ(Undirected(LinesOf(canvas)), Undirected({{left, tip}, {tip, right}}));
    for (const CanvasCall& call : platform::CallsOf(canvas.calls(), CanvasOp::kLineTo)) {
      EXPECT_EQ(call.pen.width, c.width);
    }
    EXPECT_EQ(canvas.pen().width, 7);
    EXPECT_EQ(canvas.PenPos(), (Point{50, 40}));
  }
}

TEST(FuncTest, DrawPointMarkerOutlinesEachShape) {
  // Centre (20, 30), half-size 4.
  const Point top_left{16, 26}, top{20, 26}, top_right{24, 26};
  const Point left{16, 30}, right{24, 30};
  const Point bottom_left{16, 34}, bottom{20, 34}, bottom_right{24, 34};
  const std::vector<Segment> plus = {{bottom, top}, {right, left}};
  const std::vector<Segment> cross = {{top_left, bottom_right}, {bottom_left, top_right}};
  std::vector<Segment> star = plus;
  star.insert(star.end(), cross.begin(), cross.end());
  const std::vector<Segment> square = {{top_left, top_right},
                                       {top_right, bottom_right},
                                       {bottom_right, bottom_left},
                                       {bottom_left, top_left}};
  const std::vector<Segment> diamond = {{top, right}, {right, bottom}, {bottom, left}, {left, top}};

  struct Case {
    uint8_t marker;
    std::vector<Segment> lines;
  };
  const Case cases[] = {
      {pmCube, square},
      {pmTriangle, {{top, bottom_left}, {bottom_left, bottom_right}, {bottom_right, top}}},
      {pmStar, star},
      {pmTopTriangle, {{bottom, top_left}, {top_left, top_right}, {top_right, bottom}}},
      {pmPlus, plus},
      {pmX, cross},
      {pmDiamond, diamond},
      {129, square},  // the top bit marks a selected point
      {128 + pmDiamond, diamond},
  };
  const platform::Pen pen{platform::kClRed, 2, platform::PenStyle::kDot};
  for (const Case& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.marker));
    RecordingCanvas canvas;
    canvas.SetPen(pen);
    DrawPointMarker(c.marker, canvas, 20, 30, 4);
    EXPECT_EQ(Undirected(LinesOf(canvas)), Undirected(c.lines));
    for (const CanvasCall& call : canvas.calls()) {
      EXPECT_TRUE(call.op == CanvasOp::kMoveTo || call.op == CanvasOp::kLineTo) << call.op;
      EXPECT_EQ(call.pen, pen);
    }
  }
}

TEST(FuncTest, DrawPointMarkerWithAThinPenOutlinesAClosedShapeInOnePolyline) {
  // A pen one pixel wide draws the same lines, in order, as one polyline back to the
  // first corner; the pen position stays where it was. Plus and X stay lines.
  for (const int32_t width : {0, 1}) {
    for (const uint8_t marker : {uint8_t{pmCube}, uint8_t{pmTriangle}, uint8_t{pmTopTriangle},
                                 uint8_t{pmDiamond}, uint8_t{128 + pmCube}}) {
      SCOPED_TRACE(static_cast<int>(marker));
      RecordingCanvas wide;
      wide.SetPenWidth(2);
      DrawPointMarker(marker, wide, 20, 30, 4);
      std::vector<Segment> expected = LinesOf(wide);

      RecordingCanvas thin;
      thin.SetPenWidth(width);
      thin.MoveTo(1, 2);
      thin.Clear();
      DrawPointMarker(marker, thin, 20, 30, 4);
      ASSERT_EQ(thin.calls().size(), 1u);
      const CanvasCall& call = thin.calls()[0];
      EXPECT_EQ(call.op, CanvasOp::kPolyline);
      EXPECT_EQ(call.pen.width, width);
      ASSERT_EQ(call.points.size(), expected.size() + 1);
      EXPECT_EQ(call.points.front(), call.points.back());
      for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_EQ((Segment{call.points[i], call.points[i + 1]}), expected[i]) << i;
      EXPECT_EQ(thin.PenPos(), (Point{1, 2}));
    }
    for (const uint8_t marker : {uint8_t{pmPlus}, uint8_t{pmX}, uint8_t{pmStar}}) {
      RecordingCanvas thin;
      thin.SetPenWidth(width);
      DrawPointMarker(marker, thin, 20, 30, 4);
      EXPECT_TRUE(platform::CallsOf(thin.calls(), CanvasOp::kPolyline).empty());
      EXPECT_FALSE(LinesOf(thin).empty());
    }
  }
}

TEST(FuncTest, DrawPointMarkerCircleIsAnEllipseInTheMarkersBox) {
  for (const uint8_t marker : {uint8_t{pmCircle}, uint8_t{128 + pmCircle}}) {
    RecordingCanvas canvas;
    DrawPointMarker(marker, canvas, 20, 30, 4);
    ASSERT_EQ(canvas.calls().size(), 1u);
    EXPECT_EQ(canvas.calls()[0].op, CanvasOp::kEllipse);
    EXPECT_EQ(canvas.calls()[0].rect, (Rect{16, 26, 24, 34}));
  }
}

TEST(FuncTest, DrawPointMarkerNoneAndUnknownDrawNothing) {
  for (const int marker : {0, 9, 100, 127, 128, 137, 255}) {
    RecordingCanvas canvas;
    DrawPointMarker(static_cast<uint8_t>(marker), canvas, 20, 30, 4);
    EXPECT_TRUE(canvas.calls().empty()) << marker;
  }
}

// ---------------------------------------------------------------------------
// Texts

TEST(FuncTest, TruncateWithEllipsisNeverExceedsTheLimit) {
  struct Case {
    const char* text;
    int32_t max_len;
    const char* expected;
  };
  const Case cases[] = {
      {"Hello World", 8, "Hello..."},
      {"Hello", 4, "H..."},
      {"Hello", 3, "..."},
      {"Hello", 5, "Hello"},
      {"Hello", 50, "Hello"},
      // Below 3 no text fits beside the dots: as many dots as fit.
      {"Hello", 2, ".."},
      {"Hello", 1, "."},
      {"ab", 2, "ab"},
      {"Hello", 0, ""},
      {"Hello", -4, ""},
      {"", 0, ""},
      {"", -1, ""},
  };
  for (const Case& c : cases) {
    const std::string result = TruncateWithEllipsis(c.text, c.max_len);
    EXPECT_EQ(result, c.expected) << c.text << " / " << c.max_len;
    EXPECT_LE(static_cast<int64_t>(result.size()), std::max(c.max_len, 0));
  }
}

TEST(FuncTest, FormatTimeSpan) {
  constexpr double kSecond = 1.0 / 86400;
  constexpr double kMs = kSecond / 1000;
  struct Case {
    double span;
    const char* expected;
  };
  const Case cases[] = {
      {1.5, "1 days 12 h 00 min 00 s"},
      {-0.25, "-0 days 06 h 00 min 00 s"},
      {0, "0 days 00 h 00 min 00 s"},
      {3 + 3661 * kSecond, "3 days 01 h 01 min 01 s"},
      // Rounded to the millisecond, then the seconds shown whole.
      {59.9994 * kSecond, "0 days 00 h 00 min 59 s"},
      {59.9996 * kSecond, "0 days 00 h 01 min 00 s"},
      // 0.4 ms before midnight rounds into the next day; 0.864 ms before it is
      // 23:59:59.999.
      {1 - 0.4 * kMs, "1 days 00 h 00 min 00 s"},
      {-(1 - 0.4 * kMs), "-1 days 00 h 00 min 00 s"},
      {0.99999999, "0 days 23 h 59 min 59 s"},
      {1000000, "1000000 days 00 h 00 min 00 s"},
      {2147483647.5, "2147483647 days 12 h 00 min 00 s"},
      // Past what the days can count.
      {2147483647.9999999, "2147483647 days 23 h 59 min 59 s"},
      {1e300, "2147483647 days 23 h 59 min 59 s"},
      {kInf, "2147483647 days 23 h 59 min 59 s"},
      {-kInf, "-2147483647 days 23 h 59 min 59 s"},
      {kNaN, "0 days 00 h 00 min 00 s"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(FormatTimeSpan(c.span), c.expected) << c.span;
}

class GermanUnits final : public platform::ResourceModule {
 public:
  std::optional<std::string> FindString(std::string_view id) const override {
    static const std::map<std::string_view, std::string> texts = {
        {"QORFunc.SDays", "Tage"}, {"QORFunc.SHours", "Std"}, {"QORFunc.SMinutes", "Min"}};
    const auto it = texts.find(id);
    if (it == texts.end()) return std::nullopt;
    return it->second;
  }
};

TEST(FuncTest, FormatTimeSpanTakesItsWordsFromTheLanguageModule) {
  platform::SetResourceModule(std::make_unique<GermanUnits>());
  const std::string text = FormatTimeSpan(2.75);
  platform::SetResourceModule(nullptr);
  // The module lacks the seconds: their word stays the program's own.
  EXPECT_EQ(text, "2 Tage 18 Std 00 Min 00 s");
}

// ---------------------------------------------------------------------------
// Date-time values

TEST(FuncTest, RoundDateTimeToMs) {
  constexpr double kMs = 1.0 / 86400000;
  const double noon = 45000.5;
  struct Case {
    double value;
    double expected;
  };
  const Case cases[] = {
      {noon + 0.4 * kMs, noon},
      {noon + 0.6 * kMs, noon + kMs},
      {-(noon + 0.6 * kMs), -(noon + kMs)},
      {noon + 1234 * kMs, noon + 1234 * kMs},
      {3 - 0.4 * kMs, 3.0},
      {-(3 - 0.4 * kMs), -3.0},
      {0.99999999, 1 - kMs},
      {0.0, 0.0},
      {2958465.5, 2958465.5},
  };
  for (const Case& c : cases)
    EXPECT_NEAR(RoundDateTimeToMs(c.value), c.expected, 1e-10) << c.value;
  // Not a date: unchanged.
  for (const double value : {1e7, -1e7, kInf, -kInf})
    EXPECT_EQ(RoundDateTimeToMs(value), value);
  EXPECT_TRUE(std::isnan(RoundDateTimeToMs(kNaN)));
}

TEST(FuncTest, FormatHMS) {
  constexpr double kSecond = 1.0 / 86400;
  struct Case {
    double value;
    const char* expected;
  };
  const Case cases[] = {
      {0.5, "12:00:00"},
      {45000 + 3723 * kSecond, "01:02:03"},
      {45000 + 86399 * kSecond, "23:59:59"},
      {45000 + 86399.9996 * kSecond, "00:00:00"},  // rounds into the next day
      {45000 + 86399.9994 * kSecond, "23:59:59"},
      {-1.25, "06:00:00"},
      {kNaN, "00:00:00"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(FormatHMS(c.value), c.expected) << c.value;
}

// ---------------------------------------------------------------------------
// FreeListObjects

TEST(FuncTest, FreeListObjectsFreesFirstToLastThenEmpties) {
  struct Logged {
    explicit Logged(std::vector<int>& log, int id) : log(log), id(id) {}
    virtual ~Logged() { log.push_back(id); }
    std::vector<int>& log;
    int id;
  };
  struct Derived : Logged {
    using Logged::Logged;
  };
  std::vector<int> log;
  std::vector<std::unique_ptr<Logged>> list;
  list.push_back(std::make_unique<Logged>(log, 1));
  list.push_back(std::make_unique<Derived>(log, 2));
  list.push_back(std::make_unique<Logged>(log, 3));
  FreeListObjects(list);
  EXPECT_EQ(log, (std::vector<int>{1, 2, 3}));
  EXPECT_TRUE(list.empty());
}

// ---------------------------------------------------------------------------
// ForceDirectory

namespace fs = std::filesystem;

// Runs each test in a fresh temporary folder as the working folder.
class FuncForceDirectoryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    previous_ = fs::current_path();
    fs::current_path(root_);
  }
  void TearDown() override { fs::current_path(previous_); }

  fs::path previous_;
  platform_test::TempFolder folder_{"qor_func"};
  fs::path root_ = folder_.path();
};

TEST_F(FuncForceDirectoryTest, CreatesMissingFolders) {
  struct Case {
    const char* dir;
    std::vector<const char*> created;
  };
  const Case cases[] = {
      // A relative path's first folder lies in the working folder.
      {"DATA\\", {"DATA"}},
      {"LOGS", {"LOGS"}},
      {"P/Q/R", {"P", "P/Q", "P/Q/R"}},
      {"S\\T/U\\", {"S", "S/T", "S/T/U"}},
      {"V//W//", {"V", "V/W"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.dir);
    EXPECT_TRUE(ForceDirectory(c.dir));
    for (const char* dir : c.created)
      EXPECT_TRUE(fs::is_directory(root_ / dir)) << dir;
  }
}

TEST_F(FuncForceDirectoryTest, CreatesOnlyTheMissingPartOfANestedPath) {
  fs::create_directory("A");
  const std::string absolute = (root_ / "abs").string() + "\\x\\y";

  EXPECT_TRUE(ForceDirectory("A/B/C"));
  EXPECT_TRUE(ForceDirectory(absolute));
  EXPECT_TRUE(fs::is_directory("A/B/C"));
  EXPECT_TRUE(fs::is_directory(root_ / "abs/x/y"));
}

TEST_F(FuncForceDirectoryTest, ExistingFoldersAndRootsNeedNothing) {
  fs::create_directory("E");
  EXPECT_TRUE(ForceDirectory("E"));
  EXPECT_TRUE(ForceDirectory("E/"));
  EXPECT_TRUE(ForceDirectory("/"));
  EXPECT_TRUE(ForceDirectory("\\"));
  EXPECT_TRUE(ForceDirectory(root_.string()));
}

TEST_F(FuncForceDirectoryTest, AFileInTheWayIsAFailureNotAnError) {
  std::ofstream("F") << "x";
  EXPECT_FALSE(ForceDirectory("F"));
  EXPECT_FALSE(ForceDirectory("F/sub/deeper"));
  EXPECT_FALSE(fs::exists("F/sub"));
}

TEST_F(FuncForceDirectoryTest, AnEmptyNameOrAMissingRootRaises) {
  // No drive "Q:" exists in the fresh working folder.
  for (const char* dir : {"", "Q:", "Q:\\", "Q:\\DATA\\SUB"}) {
    SCOPED_TRACE(dir);
    try {
      ForceDirectory(dir);
      ADD_FAILURE() << "no exception";
    } catch (const Exception& e) {
      EXPECT_STREQ(e.what(), "Exception: Could not create directory");
    }
  }
}

}  // namespace

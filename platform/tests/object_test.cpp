#include "platform/object.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/exception.h"

namespace {

class TPoint : public TPersistent {
 public:
  std::string_view ClassName() const override { return "TPoint"; }
  int x = 0;
};

class TColorPoint : public TPoint {
 public:
  std::string_view ClassName() const override { return "TColorPoint"; }
  int color = 0;

  // Takes points of either class; a plain point keeps this one's colour.
  void Assign(const TPersistent& source) override {
    if (const auto* point = dynamic_cast<const TPoint*>(&source)) {
      x = point->x;
      if (const auto* colored = dynamic_cast<const TColorPoint*>(point)) color = colored->color;
      return;
    }
    TPoint::Assign(source);
  }
};

// Knows how to copy itself into a TPoint, the other direction of assignment.
class TLabel : public TPersistent {
 public:
  std::string_view ClassName() const override { return "TLabel"; }
  void AssignTo(TPersistent& dest) const override {
    if (auto* point = dynamic_cast<TPoint*>(&dest)) {
      point->x = static_cast<int>(text.size());
      return;
    }
    TPersistent::AssignTo(dest);
  }
  void AssignNothing() { AssignError(nullptr); }
  std::string text;
};

std::string AssignMessage(TPersistent& dest, const TPersistent& source) {
  try {
    dest.Assign(source);
  } catch (const EConvertError& e) {
    return e.what();
  }
  return "(no error)";
}

TEST(ObjectTest, AssigningAnUnknownClassNamesBothClasses) {
  TPoint point;
  TLabel label;
  TColorPoint colored;
  EXPECT_EQ(AssignMessage(label, point), "Cannot assign a TPoint to a TLabel");
  EXPECT_EQ(AssignMessage(label, colored), "Cannot assign a TColorPoint to a TLabel");
  TPoint other;
  EXPECT_EQ(AssignMessage(other, point), "Cannot assign a TPoint to a TPoint");
}

TEST(ObjectTest, NoSourceIsNamedNil) {
  TLabel label;
  try {
    label.AssignNothing();
    FAIL() << "no exception";
  } catch (const EConvertError& e) {
    EXPECT_STREQ(e.what(), "Cannot assign a nil to a TLabel");
  }
}

TEST(ObjectTest, EitherSideMayKnowTheOther) {
  TColorPoint colored;
  colored.color = 7;
  TPoint point;
  point.x = 3;
  colored.Assign(point);  // the target knows the source
  EXPECT_EQ(colored.x, 3);
  EXPECT_EQ(colored.color, 7);

  TLabel label;
  label.text = "hello";
  point.Assign(label);  // the source knows the target
  EXPECT_EQ(point.x, 5);
  colored.Assign(label);  // found through the target's base class
  EXPECT_EQ(colored.x, 5);
}

}  // namespace

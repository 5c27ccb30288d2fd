#include "widgets/capattachedlabel.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class FakeControl : public TCapAttachableControl {
 public:
  using TCapAttachableControl::TCapAttachableControl;
  void LabelAttached(TCapAttachedLabel& label) override {
    events.push_back("attached " + std::to_string(label.Bounds().left));
  }
  void PostPositionLabel() override { events.push_back("post"); }
  std::vector<std::string> events;
};

TEST(CapAttachedLabelTest, Defaults) {
  TComponent form(nullptr);
  const TCapAttachedLabel plain(&form);
  EXPECT_TRUE(plain.AutoSize());
  EXPECT_TRUE(plain.ParentFont());
  EXPECT_FALSE(plain.Transparent());
  EXPECT_EQ(plain.Control(), nullptr);

  FakeControl edit(&form);
  const TCapAttachedLabel attached(&form, &edit);
  EXPECT_EQ(attached.Control(), &edit);
  EXPECT_EQ(attached.FocusControl(), &edit);
  EXPECT_EQ(attached.Owner(), &form);
  EXPECT_TRUE(edit.events.empty());
}

TEST(CapAttachedLabelTest, TellsItsControlOfMovesOnceLoaded) {
  TComponent form(nullptr);
  FakeControl edit(&form);
  TCapAttachedLabel label(&form, &edit);
  label.SetContainer(&form);
  label.BeginLoading();
  label.SetBounds(platform::Rect{5, 0, 70, 17});
  EXPECT_TRUE(edit.events.empty());
  label.Loaded();
  EXPECT_EQ(edit.events, (std::vector<std::string>{"attached 5", "post"}));

  edit.events.clear();
  label.SetBounds(platform::Rect{5, 0, 70, 17});  // no change
  EXPECT_TRUE(edit.events.empty());
  label.SetBounds(platform::Rect{8, 0, 73, 17});
  EXPECT_EQ(edit.events, (std::vector<std::string>{"attached 8", "post"}));
}

TEST(CapAttachedLabelTest, LeavesControlsOfOtherFormsAlone) {
  TComponent form(nullptr);
  TComponent other_form(nullptr);
  FakeControl edit(&other_form);
  TCapAttachedLabel label(&form, &edit);
  label.SetBounds(platform::Rect{1, 1, 2, 2});  // no container known yet
  label.SetContainer(&form);
  label.SetBounds(platform::Rect{3, 3, 4, 4});
  EXPECT_TRUE(edit.events.empty());
}

}  // namespace

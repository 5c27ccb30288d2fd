#include "widgets/qt/caplabel_qt.h"

#include <gtest/gtest.h>

#include <QImage>
#include <QPixmap>

#include "platform/qt/tests/qt_app.h"

namespace {

using platform::qt::TForm;
using platform::qt::TNotifyEvent;

class CapTestWindow : public TForm {
 public:
  CapTestWindow() : TForm("TCapTestWindow") {
    RegisterCapLabelClass();
    RegisterMethod("LblStatusClick",
                   TNotifyEvent([this](platform::qt::TComponentBase*) { ++clicks; }));
    InitializeFromResources();
  }
  TCapLabelControl& Status() { return *Find<TCapLabelControl>("LblStatus"); }
  int clicks = 0;
};

TEST(CapLabelControlTest, AResourceSetsTheLabelInItsPublishedOrder) {
  CapTestWindow window;
  ASSERT_NE(window.Find<TCapLabelControl>("LblStatus"), nullptr);
  const TCapLabel& label = window.Status().Label();
  EXPECT_EQ(window.Status().FormClassName(), "TCapLabel");
  EXPECT_EQ(label.Caption(), "Smith & Jones");
  EXPECT_EQ(label.Color(), platform::kClAqua);
  EXPECT_FALSE(label.Transparent());
  // The scheme came first and set the csCustom colours; the stored highlight and
  // font colour came after it and stand.
  EXPECT_EQ(label.ColorScheme(), csCustom);
  EXPECT_EQ(label.CustomSettings().HighlightColor(), platform::kClYellow);
  EXPECT_EQ(label.CustomSettings().ShadowColor(), platform::kClBlack);
  EXPECT_EQ(label.Font().color, platform::kClOlive);
  EXPECT_EQ(label.Font().height, -19);
  EXPECT_EQ(label.Font().name, "MS Sans Serif");
  EXPECT_EQ(label.Appearance(), apRaised);
  EXPECT_EQ(label.Alignment(), TCapAlignment::taLeftJustify);
  EXPECT_FALSE(label.Loading());
  // "&" is text, not an accelerator prefix.
  EXPECT_FALSE(label.ShowAccelChar());
  EXPECT_TRUE(label.TextFlags() & platform::dt::kNoPrefix);
  EXPECT_EQ(label.Bounds(), (platform::Rect{0, 0, 400, 45}));

  const TCapLabel& deep = window.Find<TCapLabelControl>("LblDeep")->Label();
  EXPECT_EQ(deep.Alignment(), TCapAlignment::taCenter);
  EXPECT_EQ(deep.CustomSettings().ShadowDepth(), 4);
  EXPECT_EQ(deep.CustomSettings().ShadowStyle(), ssGraduated);
  EXPECT_EQ(deep.Appearance(), apRaised);  // loading leaves the appearance as read
  EXPECT_FALSE(window.Find<TCapLabelControl>("LblDeep")->Visible());
}

TEST(CapLabelControlTest, TheLabelFollowsItsWidgetAndFillsItsWindow) {
  CapTestWindow window;
  window.resize(500, 60);  // hidden: Qt reports the resize only when it shows
  EXPECT_EQ(window.Status().Label().Bounds(), (platform::Rect{0, 0, 500, 60}));
  EXPECT_EQ(window.Status().BoundsRect(), (platform::Rect{0, 0, 500, 60}));
  window.show();
  window.resize(420, 50);
  EXPECT_TRUE(platform_test::RunUntil([&] {
    return window.Status().BoundsRect() == platform::Rect{0, 0, 420, 50};
  }));
  EXPECT_EQ(window.Status().Label().Bounds(), (platform::Rect{0, 0, 420, 50}));
  // With AutoSize the label sizes its widget to its text.
  TCapLabelControl& deep = *window.Find<TCapLabelControl>("LblDeep");
  deep.Label().SetCaption("A somewhat longer caption");
  deep.Label().SetWordWrap(false);
  deep.Label().SetAutoSize(true);
  EXPECT_GT(deep.BoundsRect().Width(), 100);
  EXPECT_EQ(deep.BoundsRect(), deep.Label().Bounds());
}

TEST(CapLabelControlTest, ItPaintsThroughTheQtCanvas) {
  CapTestWindow window;
  window.show();
  const QImage before = window.grab().toImage();
  EXPECT_EQ(before.size(), QSize(400, 45));
  EXPECT_TRUE(platform_test::HasColor(before, platform::kClAqua));    // the background
  EXPECT_TRUE(platform_test::HasColor(before, platform::kClOlive));   // the face
  EXPECT_TRUE(platform_test::HasColor(before, platform::kClYellow));  // the highlight copy
  window.Status().SetCaption("");
  const QImage empty = window.grab().toImage();
  EXPECT_FALSE(platform_test::HasColor(empty, platform::kClOlive));
  EXPECT_TRUE(platform_test::HasColor(empty, platform::kClAqua));
}

TEST(CapLabelControlTest, ClicksReachTheBoundHandler) {
  CapTestWindow window;
  window.Status().OnClick(&window.Status());
  EXPECT_EQ(window.clicks, 1);
}

TEST(CapLabelControlTest, ValuesOfTheWrongKindAreRefused) {
  RegisterCapLabelClass();
  struct Case {
    const char* property;
    const char* message;
  };
  for (const Case& c : {Case{"CustomSettings.ShadowDepth = 256", "Invalid property value"},
                        Case{"ColorScheme = csPink", "Invalid property value"},
                        Case{"Appearance = 3", "Invalid property value"},
                        Case{"OnMouseDown = Nothing", "Property OnMouseDown does not exist"}}) {
    TForm window("TBadWindow");
    const std::string text =
        std::string("object BadWindow: TBadWindow\n  object L: TCapLabel\n    ") + c.property +
        "\n  end\nend\n";
    try {
      platform::TReader(text).ReadRootComponent(window);
      ADD_FAILURE() << c.property;
    } catch (const EReadError& e) {
      EXPECT_STREQ(e.what(), c.message) << c.property;
    }
  }
}

}  // namespace

// A patient's monitor-data file that belongs to another user (the main application's):
// definitions written into it leave it that user's, with its group and mode, so
// that its owner goes on appending to it and loading it.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <string>
#include <utility>
#include <vector>

#include "datafile/QORClassIdentity.h"
#include "datamodel/tests/saveitnew_test_support.h"
#include "platform/tests/as_user.h"

namespace {

using namespace save_test;
using platform_test::kNobody;
using platform_test::kNogroup;

class SaveItNewOwnerTest : public SaveFixture {};

// What a save component of its own does with the file and then sees in it: two
// definitions (one that fits the reserved block, one that grows it) and a point of
// each, then the whole file loaded.
std::string DefineAppendAndLoad(const std::string& path) {
  TSaveItNew save(nullptr);
  std::string seen;
  save.OnNotice = [&seen](const TSaveNotice& notice) { seen += "notice: " + notice.text + "\n"; };
  save.FileName = path;
  for (const auto& [index, name] : {std::pair<int16_t, std::string>{1, "pCO2"},
                                    std::pair<int16_t, std::string>{2, std::string(600, 'n')}}) {
    TParameterSerie definition;
    definition.Index = index;
    definition.ParameterInfo().SetParameterName(name);
    definition.Unit = "kPa";
    save.AddParameterSerie(definition);
    if (!save.AppendDataPoint(index, 37000, index)) seen += "point not written\n";
  }
  save.ForgetLoadedFile();
  save.Refresh();
  size_t points = 0;
  const std::vector<TParameterSerie*> series = ItemsOf<TParameterSerie>(save);
  for (const TParameterSerie* serie : series)
    points += serie->Serie() ? serie->Serie()->DataSet().Points().size() : 0;
  return seen + std::to_string(series.size()) + " series, " + std::to_string(points) + " points";
}

// Appends a point and loads the file, as its owner does.
std::string AppendAndLoad(const std::string& path) {
  TSaveItNew save(nullptr);
  save.FileName = path;
  if (!save.AppendDataPoint(0, 37001, 9)) return "point not written";
  save.Refresh();
  return std::to_string(ItemsOf<TParameterSerie>(save).size()) + " series";
}

std::string OwnerOf(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0) return "gone";
  return std::to_string(st.st_uid) + ":" + std::to_string(st.st_gid) + " " +
         std::to_string(st.st_mode & 07777);
}

TEST_F(SaveItNewOwnerTest, ADefinitionLeavesTheFileToItsOwner) {
  if (::geteuid() != 0) GTEST_SKIP() << "needs root to give the file to other users";
  ASSERT_EQ(::chmod(folder_.path().c_str(), 0777), 0);
  struct Case {
    const char* name;
    uid_t owner;
    mode_t mode;
    bool nobody_saves;  // else root does
  };
  const Case cases[] = {
      // Root gives the new file the owner back.
      {"root.vor", kNobody, 0600, false},
      // User 65534 cannot give it: the file is written in place, through the lock
      // the component holds.
      {"group.vor", 1001, 0660, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const std::string path = PathOf(c.name);
    WriteBytes(path, MonitorFile(Identity(), 500, {{0, "pO2", "", "", "kPa", ""}},
                                 DataPoint(0, 36999, 12)));
    ASSERT_EQ(::chown(path.c_str(), c.owner, kNogroup), 0);
    ASSERT_EQ(::chmod(path.c_str(), c.mode), 0);
    const std::string owner = OwnerOf(path);
    const auto save = [&] { return DefineAppendAndLoad(path); };
    EXPECT_EQ(c.nobody_saves ? platform_test::RunAs(kNobody, kNogroup, save) : save(),
              "3 series, 3 points");
    EXPECT_EQ(OwnerOf(path), owner);
    if (c.owner == kNobody) {
      EXPECT_EQ(platform_test::RunAs(kNobody, kNogroup, [&] { return AppendAndLoad(path); }),
                "3 series");
    }
  }
}

}  // namespace

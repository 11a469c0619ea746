#include "config/database_location.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>

#include "platform/platform.h"

namespace patlink {
namespace {

struct LinesCase {
  std::string text;
  ServerLines expected;
};

class SplitLinesTest : public testing::TestWithParam<LinesCase> {};

TEST_P(SplitLinesTest, FollowsTheLineEndRules) {
  EXPECT_EQ(SplitLines(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SplitLinesTest,
    testing::Values(LinesCase{"", {}}, LinesCase{"server", {"server"}},
                    LinesCase{"server\n", {"server"}}, LinesCase{"server\r\n", {"server"}},
                    LinesCase{"a\rb\nc\r\nd", {"a", "b", "c", "d"}},
                    // LF CR is two line ends.
                    LinesCase{"a\n\rb", {"a", "", "b"}}, LinesCase{"\n", {""}},
                    LinesCase{"\n\nx", {"", "", "x"}},
                    LinesCase{" host \t\nother", {" host \t", "other"}},
                    LinesCase{std::string("host\0ignored\nmore", 17), {"host"}},
                    LinesCase{"\xEF\xBB\xBFhost:C\r\n", {"host:C"}},
                    // Only a mark at the head is skipped.
                    LinesCase{"a\n\xEF\xBB\xBF"
                              "b",
                              {"a", "\xEF\xBB\xBF"
                                    "b"}}));

TEST(BuildDatabaseNameTest, PutsTheFirstLineBeforeTheDatabasePath) {
  EXPECT_EQ(BuildDatabaseName({"localhost"}), "localhost:\\V_DATABASE\\VDATA.GDB");
  EXPECT_EQ(BuildDatabaseName({"server1:C", "server2:C"}), "server1:C:\\V_DATABASE\\VDATA.GDB");
  EXPECT_EQ(BuildDatabaseName({" \tclinic-db:C \t"}), "clinic-db:C:\\V_DATABASE\\VDATA.GDB");
  EXPECT_EQ(BuildDatabaseName({""}), ":\\V_DATABASE\\VDATA.GDB");
  EXPECT_EQ(BuildDatabaseName({"  "}), ":\\V_DATABASE\\VDATA.GDB");
  EXPECT_THROW(BuildDatabaseName({}), ConfigurationError);
}

class ConfigFileTest : public testing::Test {
 protected:
  void SetUp() override {
    dir_ = std::filesystem::temp_directory_path() /
           ("patlink-config-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir_);
    path_ = (dir_ / "Server.cfg").string();
  }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::filesystem::path dir_;
  std::string path_;
};

TEST_F(ConfigFileTest, AFolderIsNoFile) {
  EXPECT_FALSE(platform::IsFile(path_));
  std::filesystem::create_directory(path_);
  EXPECT_FALSE(platform::IsFile(path_));
}

TEST_F(ConfigFileTest, ReadsTheWholeFileAsBytes) {
  const std::string text("srv:C\r\nsecond\n\0tail\xff", 20);
  std::ofstream(path_, std::ios::binary) << text;
  EXPECT_TRUE(platform::IsFile(path_));
  EXPECT_EQ(platform::ReadFileDenyingWriters(path_), text);
}

TEST_F(ConfigFileTest, AFileLockedForWritingByAnotherProcessCannotBeRead) {
  std::ofstream(path_) << "localhost\n";
  int ready[2];
  ASSERT_EQ(::pipe(ready), 0);
  const pid_t writer = ::fork();
  if (writer == 0) {
    const int fd = ::open(path_.c_str(), O_RDWR);
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    ::fcntl(fd, F_SETLK, &lock);
    (void)!::write(ready[1], "x", 1);
    ::pause();
    ::_exit(0);
  }
  char c;
  ASSERT_EQ(::read(ready[0], &c, 1), 1);
  try {
    platform::ReadFileDenyingWriters(path_);
    ADD_FAILURE() << "read a file another process is writing";
  } catch (const platform::FileOpenError& error) {
    EXPECT_NE(std::string(error.what()).find("Cannot open file \"" + path_ + "\"."),
              std::string::npos);
  }
  ::kill(writer, SIGKILL);
  ::waitpid(writer, nullptr, 0);
  ::close(ready[0]);
  ::close(ready[1]);
  // Once the writer is gone the file reads again.
  EXPECT_EQ(platform::ReadFileDenyingWriters(path_), "localhost\n");
}

}  // namespace
}  // namespace patlink

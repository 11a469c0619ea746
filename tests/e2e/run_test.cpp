// The real programs, end to end: their exact connection strings against the
// private Firebird server, the database checked afterwards, and the number
// received by the perimetry stand-in.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "support/perimeter.h"
#include "support/test_database.h"

namespace patlink {
namespace {

namespace fs = std::filesystem;
using testing::PerimeterStandIn;
using testing::RunProgram;
using testing::Schema;
using testing::TestDatabase;
using testing::Win1250;
using Lines = std::vector<std::string>;

const std::string kConfigFolder = std::string(PATLINK_DRIVE_C) + "/V_ZADEVAVAD";
const std::string kConfigFile = kConfigFolder + "/Server.cfg";

class RunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::remove_all(kConfigFolder);
    CreateDatabase({});
  }
  void CreateDatabase(const Schema& schema) {
    db_.reset();
    db_ = std::make_unique<TestDatabase>("localhost:\\V_DATABASE\\VDATA.GDB");
    db_->CreatePatients(schema);
    db_->Exec("SET GENERATOR MAIN_GENERATOR TO 500");
  }
  void WriteConfig(const std::string& text) {
    fs::create_directories(kConfigFolder);
    std::ofstream(kConfigFile, std::ios::binary) << text;
  }
  std::string Generator() { return db_->Scalar("SELECT GEN_ID(MAIN_GENERATOR, 0) FROM RDB$DATABASE"); }

  std::unique_ptr<TestDatabase> db_;
  PerimeterStandIn perimeter_;
};

const std::vector<std::string> kNewPatient = {"Dvořák", "Jiří", "05031950", "PX-1"};

// Every way the configuration can name the test server registers the patient.
TEST_F(RunTest, PatlinkReachesTheServerTheConfigurationNames) {
  struct Case {
    const char* what;
    std::optional<std::string> config;
  } cases[] = {
      {"no file", std::nullopt},
      {"localhost", "localhost\n"},
      {"localhost:C and a second line", "localhost:C\r\nunreachable-server:C\r\n"},
      {"byte-order mark and blanks", "\xEF\xBB\xBF  localhost:C \t\r\n"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    CreateDatabase({});
    fs::remove_all(kConfigFolder);
    if (c.config) WriteConfig(*c.config);
    PerimeterStandIn perimeter;
    perimeter.StartRunning();
    EXPECT_EQ(RunProgram("patlink", kNewPatient).exit_code, 0);
    EXPECT_EQ(db_->Patients().size(), 1u);
    EXPECT_EQ(perimeter.Messages(), (Lines{"1025 1 501 reply 1"}));
  }
}

TEST_F(RunTest, AFolderInPlaceOfTheConfigurationFileCountsAsNoFile) {
  fs::create_directories(kConfigFile);
  perimeter_.StartRunning();
  EXPECT_EQ(RunProgram("patlink", kNewPatient).exit_code, 0);
  EXPECT_EQ(perimeter_.Messages(), (Lines{"1025 1 501 reply 1"}));
}

TEST_F(RunTest, AConfigurationThatReachesNoDatabaseEndsQuietly) {
  for (const char* config : {"", "\n", "127.0.0.1/1:C\n", "localhost:D\n"}) {
    SCOPED_TRACE(::testing::PrintToString(config));
    WriteConfig(config);
    PerimeterStandIn perimeter;
    perimeter.StartRunning();
    const auto result = RunProgram("patlink", kNewPatient);
    EXPECT_EQ(result.exit_code, 0);
    EXPECT_EQ(result.standard_error, "");
    EXPECT_TRUE(db_->Patients().empty());
    EXPECT_TRUE(perimeter.Messages().empty());
  }
}

TEST_F(RunTest, AConfigurationFileLockedByAWriterIsShownAndEndsWithCode1) {
  WriteConfig("localhost\n");
  const int fd = ::open(kConfigFile.c_str(), O_RDWR);
  struct flock lock {};
  lock.l_type = F_WRLCK;
  lock.l_whence = SEEK_SET;
  ASSERT_EQ(::fcntl(fd, F_SETLK, &lock), 0);
  perimeter_.StartRunning();
  const auto result = RunProgram("patlink", kNewPatient);
  ::close(fd);
  EXPECT_EQ(result.exit_code, 1);
  EXPECT_NE(result.standard_error.find("Application Error"), std::string::npos);
  EXPECT_NE(result.standard_error.find("Cannot open file \"" + kConfigFile + "\""),
            std::string::npos)
      << result.standard_error;
  EXPECT_TRUE(db_->Patients().empty());
  EXPECT_TRUE(perimeter_.Messages().empty());
}

// A new patient: one row with the right bytes, NULL elsewhere, one number drawn.
TEST_F(RunTest, ANewPatientIsRegisteredAndHandedOff) {
  for (const char* program : {"patlink", "patlink-local"}) {
    SCOPED_TRACE(program);
    CreateDatabase({});
    PerimeterStandIn perimeter;
    perimeter.StartRunning();
    EXPECT_EQ(RunProgram(program, {"Šťastná", "Łucja Ő", "29022000trailing", "AB c-1"}).exit_code, 0);
    const auto rows = db_->Query(
        "SELECT ID, LAST_NAME, FIRST_NAME, PATIENT_ID, CAST(DATE_OF_BIRTH AS VARCHAR(30)),"
        " DATE_IN, OTHER1, OTHER2, OTHER3, EYE_LEFT, EYE_RIGHT, DOCTOR_NAME FROM PATIENTS");
    ASSERT_EQ(rows.size(), 1u);
    EXPECT_EQ(rows[0][0], "501");
    EXPECT_EQ(rows[0][1], Win1250("Šťastná"));
    EXPECT_EQ(rows[0][2], Win1250("Łucja Ő"));
    EXPECT_EQ(rows[0][3], "AB c-1");
    EXPECT_EQ(rows[0][4], "2000-02-29 00:00:00.0000");
    for (std::size_t i = 5; i < rows[0].size(); ++i) EXPECT_EQ(rows[0][i], std::nullopt) << i;
    EXPECT_EQ(Generator(), "501");
    EXPECT_EQ(perimeter.Messages(), (Lines{"1025 1 501 reply 1"}));
  }
}

TEST_F(RunTest, AKnownPatientIsHandedOffWithNoChange) {
  db_->Exec("INSERT INTO PATIENTS (ID, LAST_NAME, FIRST_NAME, PATIENT_ID) VALUES (7, 'Old', 'Name', 'PX-1')");
  const Lines before = db_->Patients();
  perimeter_.StartRunning();
  for (const char* program : {"patlink", "patlink-local"}) {
    // Other names and a date that is no date: the found path looks at neither.
    EXPECT_EQ(RunProgram(program, {"New", "Names", "99999999", "PX-1"}).exit_code, 0);
  }
  EXPECT_EQ(db_->Patients(), before);
  EXPECT_EQ(Generator(), "500");
  EXPECT_EQ(perimeter_.Messages(), (Lines{"1025 1 7 reply 1", "1025 1 7 reply 1"}));
}

TEST_F(RunTest, ASecondRunFindsTheRegisteredPatientAndWritesNothing) {
  perimeter_.StartRunning();
  ASSERT_EQ(RunProgram("patlink", kNewPatient).exit_code, 0);
  const Lines after_first = db_->Patients();
  ASSERT_EQ(RunProgram("patlink", kNewPatient).exit_code, 0);
  EXPECT_EQ(db_->Patients(), after_first);
  EXPECT_EQ(Generator(), "501");
  // Letter case is significant: another patient.
  ASSERT_EQ(RunProgram("patlink", {"A", "B", "01012001", "px-1"}).exit_code, 0);
  EXPECT_EQ(perimeter_.Messages(),
            (Lines{"1025 1 501 reply 1", "1025 1 501 reply 1", "1025 1 502 reply 1"}));
}

TEST_F(RunTest, RefusedInputLeavesTheTableAsItWasAndSendsNothing) {
  db_->Exec("INSERT INTO PATIENTS (ID, PATIENT_ID) VALUES (1, '')");
  const Lines before = db_->Patients();
  perimeter_.StartRunning();
  const std::vector<std::vector<std::string>> cases = {
      {},                                            // no parameters at all
      {"Novak", "Jan", "05031950"},                  // no identifier
      {"Novak", "Jan", "05031950", ""},              // empty identifier
      {"Novak", "Jan", "29021951", "X1"},            // not a date
      {"Novak", "Jan", "050350", "X1"},              // six characters
      {"Novak", "Jan", "0x031950", "X1"},            // hexadecimal
      {"Novak", "Jan", "05031950", std::string(21, 'L')},  // longer than PATIENT_ID
      {"Muñoz", "Jan", "05031950", "X1"},            // not in code page 1250
  };
  for (const auto& parameters : cases) {
    SCOPED_TRACE(::testing::PrintToString(parameters));
    EXPECT_EQ(RunProgram("patlink", parameters).exit_code, 0);
    EXPECT_EQ(db_->Patients(), before);
  }
  EXPECT_EQ(Generator(), "500");
  EXPECT_TRUE(perimeter_.Messages().empty());
}

TEST_F(RunTest, AnInsertRefusedByTheDatabaseLeavesNoRow) {
  CreateDatabase({.extra_sql = "CREATE EXCEPTION NO_NEW 'no new patients';;"
                               "CREATE TRIGGER REFUSE FOR PATIENTS BEFORE INSERT AS "
                               "BEGIN EXCEPTION NO_NEW; END"});
  perimeter_.StartRunning();
  EXPECT_EQ(RunProgram("patlink-local", kNewPatient).exit_code, 0);
  EXPECT_TRUE(db_->Patients().empty());
  EXPECT_TRUE(perimeter_.Messages().empty());
}

TEST_F(RunTest, ConcurrentRunsForOneNewPatientRegisterItOnce) {
  perimeter_.StartRunning();
  constexpr int kRuns = 6;
  std::vector<std::thread> runs;
  std::vector<int> exit_codes(kRuns, -1);
  for (int i = 0; i < kRuns; ++i)
    runs.emplace_back([&, i] { exit_codes[i] = RunProgram("patlink", kNewPatient).exit_code; });
  for (auto& run : runs) run.join();
  EXPECT_EQ(exit_codes, std::vector<int>(kRuns, 0));
  EXPECT_EQ(db_->Scalar("SELECT COUNT(*) FROM PATIENTS"), "1");
  EXPECT_EQ(perimeter_.Messages(), Lines(kRuns, "1025 1 501 reply 1"));
}

TEST_F(RunTest, TheApplicationNotRunningIsStartedAndGetsTheNumber) {
  perimeter_.Install({.delay_ms = 500, .refuse_first = 1});
  EXPECT_EQ(RunProgram("patlink", kNewPatient).exit_code, 0);
  const Lines log = perimeter_.Log();
  ASSERT_FALSE(log.empty());
  EXPECT_NE(log[0].find(" args=144 cwd="), std::string::npos);
  EXPECT_EQ(perimeter_.Messages(), (Lines{"1025 1 501 reply 0", "1025 1 501 reply 1"}));
  EXPECT_EQ(db_->Patients().size(), 1u);
}

// The full wait of a real run: "more than 20 whole seconds", and nothing sent.
TEST_F(RunTest, AWindowNeverMadeIsWaitedForTwentyOneWholeSeconds) {
  perimeter_.Install({.no_window = true});
  const auto started = std::chrono::steady_clock::now();
  EXPECT_EQ(RunProgram("patlink", kNewPatient).exit_code, 0);
  EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::seconds(21));
  EXPECT_EQ(perimeter_.Starts(), 1);
  EXPECT_TRUE(perimeter_.Messages().empty());
  EXPECT_EQ(db_->Patients().size(), 1u);
}

}  // namespace
}  // namespace patlink

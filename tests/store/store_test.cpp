// The patient store against the private Firebird server.
#include <gtest/gtest.h>

#include <cstdlib>

#include "registration/registration.h"
#include "store/DMUnit.h"
#include "support/test_database.h"

namespace patlink {
namespace {

using testing::Schema;
using testing::TestDatabase;
using testing::Win1250;

std::string ServerPath(const std::string& file) {
  const char* root = std::getenv("FIREBIRD");
  if (!root) throw std::runtime_error("FIREBIRD must name the test server's root folder");
  return "localhost:" + std::string(root) + "/data/" + file;
}

class StoreTest : public ::testing::Test {
 protected:
  // A fresh database with PATIENTS as the schema says, and a store on it.
  void Create(const Schema& schema = {}, const StoreDefinition& base = kPatlinkStore) {
    dm_.reset();
    db_.reset();
    db_ = std::make_unique<TestDatabase>(ServerPath("store.fdb"), schema.dialect);
    db_->CreatePatients(schema);
    definition_ = base;
    definition_.database_name = db_->connection_string();
  }
  TDM& OpenStore() {
    dm_ = std::make_unique<TDM>(definition_);
    dm_->IBDatabase.Open();
    dm_->IBTransaction.StartTransaction();
    dm_->PatientsIBDataSet.Open();
    return *dm_;
  }
  void Insert(int id, const char* last, const char* pid) {
    db_->Exec("INSERT INTO PATIENTS (ID, LAST_NAME, PATIENT_ID) VALUES (" + std::to_string(id) +
              ", " + (last ? "'" + std::string(last) + "'" : "NULL") + ", " +
              (pid ? "'" + std::string(pid) + "'" : "NULL") + ")");
  }
  std::optional<std::int32_t> LocateId(TDM& dm, const std::string& pid) {
    if (!dm.PatientsIBDataSet.Locate("PATIENT_ID", Value::Text(pid))) return std::nullopt;
    return dm.PatientsIBDataSet.FieldAsInteger("ID");
  }
  long Generator() { return std::stol(db_->Scalar("SELECT GEN_ID(MAIN_GENERATOR, 0) FROM RDB$DATABASE")); }

  void TearDown() override {
    dm_.reset();
    db_.reset();
  }

  std::unique_ptr<TestDatabase> db_;
  StoreDefinition definition_ = kPatlinkStore;
  std::unique_ptr<TDM> dm_;
};

TEST_F(StoreTest, ConnectsAndLowersTheDialectToTheDatabasesOwn) {
  Create();
  EXPECT_EQ(OpenStore().IBDatabase.SQLDialect(), 3);
  Create({.dialect = 1});
  EXPECT_EQ(OpenStore().IBDatabase.SQLDialect(), 1);
  EXPECT_TRUE(dm_->IBTransaction.InTransaction());
}

TEST_F(StoreTest, ConnectionFailuresCarryTheServersMessageAndCode) {
  Create();
  struct Case {
    const char* what;
    std::string database_name;
    std::vector<std::string_view> parameters;
  } cases[] = {
      {"wrong password", std::string(definition_.database_name),
       {"user_name=sysdba", "lc_ctype=WIN1250", "password=wrong"}},
      {"missing database file", ServerPath("missing.fdb"), definition_.connection_parameters},
      {"unreachable server", "127.0.0.1/1:/nowhere.fdb", definition_.connection_parameters},
  };
  for (const Case& c : cases) {
    StoreDefinition definition = definition_;
    definition.database_name = c.database_name;
    definition.connection_parameters = c.parameters;
    TDM dm(definition);
    try {
      dm.IBDatabase.Open();
      ADD_FAILURE() << c.what << " connected";
    } catch (const DatabaseError& error) {
      EXPECT_NE(error.sqlcode(), 0) << c.what;
      EXPECT_FALSE(std::string(error.what()).empty()) << c.what;
    }
    EXPECT_FALSE(dm.IBDatabase.Connected()) << c.what;
  }
}

TEST(ClientLibraryTest, AMissingLibraryIsNamedInTheFailure) {
  try {
    ClientLibrary client("libfbclient-missing.so.2");
    FAIL() << "loaded a missing library";
  } catch (const DatabaseError& error) {
    EXPECT_STREQ(error.what(),
                 "InterBase library libfbclient-missing.so.2 not found in the path. Please "
                 "install InterBase to use this functionality");
  }
}

TEST_F(StoreTest, LocateOnAnEmptyTableFindsNothing) {
  Create();
  EXPECT_EQ(LocateId(OpenStore(), "X1"), std::nullopt);
  EXPECT_FALSE(dm_->PatientsIBDataSet.Locate("ID", Value::Integer(1)));
}

TEST_F(StoreTest, LocateComparesWholeValuesWithLetterCase) {
  Create();
  Insert(1, "Novak", "abc");
  Insert(2, "Novak", "ABC");
  Insert(3, "Novak", NULL);
  Insert(4, "Novak", "");
  Insert(5, "Novak", "abcd");
  Insert(6, "Novak", "ab");
  TDM& dm = OpenStore();
  EXPECT_EQ(LocateId(dm, "abc"), 1);
  EXPECT_EQ(LocateId(dm, "ABC"), 2);
  EXPECT_EQ(LocateId(dm, "Abc"), std::nullopt);
  EXPECT_EQ(LocateId(dm, ""), 4);  // an empty text matches an empty one, never NULL
  EXPECT_EQ(LocateId(dm, "abc "), std::nullopt);  // nothing trimmed in patlink
  EXPECT_EQ(LocateId(dm, "abc\t"), std::nullopt);
  // A failed locate keeps the current row.
  EXPECT_EQ(LocateId(dm, "ab"), 6);
  EXPECT_FALSE(dm.PatientsIBDataSet.Locate("PATIENT_ID", Value::Text("zz")));
  EXPECT_EQ(dm.PatientsIBDataSet.FieldAsInteger("ID"), 6);
}

TEST_F(StoreTest, NullNeverMatches) {
  Create();
  Insert(1, "Novak", NULL);
  EXPECT_EQ(LocateId(OpenStore(), ""), std::nullopt);
}

TEST_F(StoreTest, LocateStandsOnTheFirstOfTwoInLastNameOrder) {
  Create();
  Insert(1, "Zeman", "dup");
  Insert(2, "Adam", "dup");
  Insert(3, "Kral", "dup");
  EXPECT_EQ(LocateId(OpenStore(), "dup"), 2);
}

TEST_F(StoreTest, PatlinkLocalIgnoresTrailingControlCharactersAndBlanks) {
  Create({}, kPatlinkLocalStore);
  Insert(1, "Novak", "abc  ");
  TDM& dm = OpenStore();
  EXPECT_EQ(LocateId(dm, "abc"), 1);
  EXPECT_EQ(LocateId(dm, "abc\t"), 1);
  EXPECT_EQ(LocateId(dm, "ab"), std::nullopt);
}

TEST_F(StoreTest, AFixedWidthIdentifierIsFoundWithoutItsPadding) {
  for (const StoreDefinition* program : {&kPatlinkStore, &kPatlinkLocalStore}) {
    Create({.text_type = "CHAR", .patient_id_width = 10}, *program);
    Insert(1, "Novak", "P7");
    Insert(2, "Novak", "P7x");
    TDM& dm = OpenStore();
    EXPECT_EQ(LocateId(dm, "P7"), 1);
    EXPECT_EQ(LocateId(dm, "P7x"), 2);
    EXPECT_EQ(LocateId(dm, "P"), std::nullopt);
    EXPECT_EQ(LocateId(dm, "p7"), std::nullopt);
  }
}

TEST_F(StoreTest, AppendDrawsOneGeneratorValueEvenWhenTheRecordIsAbandoned) {
  Create();
  db_->Exec("SET GENERATOR MAIN_GENERATOR TO 41");
  TDM& dm = OpenStore();
  dm.PatientsIBDataSet.Append();
  EXPECT_EQ(dm.PatientsIBDataSet.FieldAsInteger("ID"), 42);
  dm.IBTransaction.Rollback();
  EXPECT_EQ(Generator(), 42);
  EXPECT_EQ(db_->Scalar("SELECT COUNT(*) FROM PATIENTS"), "0");
}

TEST_F(StoreTest, ANotNullColumnWithoutDefaultIsRefusedBeforeAnythingIsSent) {
  Create({.extra_columns = ", EXTRA INTEGER NOT NULL"});
  TDM& dm = OpenStore();
  dm.PatientsIBDataSet.Append();
  dm.PatientsIBDataSet.SetFieldAsText("PATIENT_ID", "X");
  try {
    dm.PatientsIBDataSet.Post();
    FAIL() << "posted without EXTRA";
  } catch (const DatabaseError& error) {
    EXPECT_STREQ(error.what(), "Field 'EXTRA' must have a value");
    EXPECT_EQ(error.sqlcode(), 0);  // the store's own check: nothing reached the server
  }
}

TEST_F(StoreTest, ANotNullColumnWithDefaultCountsOnlyInPatlinkLocal) {
  const Schema schema{.extra_columns = ", EXTRA INTEGER DEFAULT 5 NOT NULL"};
  Create(schema, kPatlinkStore);
  {
    TDM& dm = OpenStore();
    dm.PatientsIBDataSet.Append();
    dm.PatientsIBDataSet.Post();
    dm.IBTransaction.Commit();
    EXPECT_EQ(db_->Scalar("SELECT EXTRA FROM PATIENTS"), "5");
  }
  Create(schema, kPatlinkLocalStore);
  TDM& dm = OpenStore();
  dm.PatientsIBDataSet.Append();
  EXPECT_THROW(dm.PatientsIBDataSet.Post(), DatabaseError);
}

TEST_F(StoreTest, AnInsertRefusedByATriggerFailsWithTheServersCode) {
  Create({.extra_sql = "CREATE EXCEPTION NO_NEW 'no new patients';;"
                       "CREATE TRIGGER REFUSE FOR PATIENTS BEFORE INSERT AS "
                       "BEGIN EXCEPTION NO_NEW; END"});
  TDM& dm = OpenStore();
  dm.PatientsIBDataSet.Append();
  try {
    dm.PatientsIBDataSet.Post();
    FAIL() << "trigger did not refuse";
  } catch (const DatabaseError& error) {
    EXPECT_EQ(error.sqlcode(), -836);
    EXPECT_NE(std::string(error.what()).find("no new patients"), std::string::npos);
  }
  dm.IBTransaction.Rollback();
  EXPECT_EQ(db_->Scalar("SELECT COUNT(*) FROM PATIENTS"), "0");
}

TEST_F(StoreTest, TextsAreCutToTheColumnWidthAndKeepTheirBytes) {
  Create({.name_width = 8});
  TDM& dm = OpenStore();
  const std::string last = Win1250("Šťastná-Dvořáková");
  const std::string first = Win1250("Łucja ő");
  dm.PatientsIBDataSet.Append();
  dm.PatientsIBDataSet.SetFieldAsText("LAST_NAME", last);
  dm.PatientsIBDataSet.SetFieldAsText("FIRST_NAME", first);
  dm.PatientsIBDataSet.SetFieldAsText("PATIENT_ID", "ID-1");
  dm.PatientsIBDataSet.Post();
  dm.IBTransaction.Commit();
  EXPECT_EQ(db_->Scalar("SELECT LAST_NAME FROM PATIENTS"), last.substr(0, 8));
  EXPECT_EQ(db_->Scalar("SELECT FIRST_NAME FROM PATIENTS"), first);
}

TEST_F(StoreTest, CommitRollbackAndRelease) {
  Create();
  {
    TDM& dm = OpenStore();
    dm.PatientsIBDataSet.Append();
    dm.PatientsIBDataSet.SetFieldAsText("PATIENT_ID", "rolled back");
    dm.PatientsIBDataSet.Post();
    dm.IBTransaction.Rollback();
    EXPECT_FALSE(dm.IBTransaction.InTransaction());
    EXPECT_FALSE(dm.PatientsIBDataSet.Active());
    try {
      dm.IBTransaction.Rollback();
      FAIL() << "rolled back twice";
    } catch (const DatabaseError& error) {
      EXPECT_STREQ(error.what(), "Transaction is not active");
    }
  }
  EXPECT_EQ(db_->Scalar("SELECT COUNT(*) FROM PATIENTS"), "0");
  {
    TDM& dm = OpenStore();
    dm.PatientsIBDataSet.Append();
    dm.PatientsIBDataSet.SetFieldAsText("PATIENT_ID", "committed");
    dm.PatientsIBDataSet.Post();
    dm.IBTransaction.Commit();
    EXPECT_FALSE(dm.PatientsIBDataSet.Active());
    dm.PatientsIBDataSet.Open();  // starts a new transaction
    EXPECT_TRUE(dm.IBTransaction.InTransaction());
    dm.PatientsIBDataSet.Append();
    dm.PatientsIBDataSet.SetFieldAsText("PATIENT_ID", "released");
    dm.PatientsIBDataSet.Post();
    dm_.reset();  // release commits the active transaction
  }
  EXPECT_EQ(db_->Query("SELECT PATIENT_ID FROM PATIENTS ORDER BY ID"),
            (std::vector<testing::Row>{{"committed"}, {"released"}}));
}

// Registration works on the schema as the perimetry application has it,
// whatever the exact column types.
class SchemaVariantTest : public StoreTest, public ::testing::WithParamInterface<Schema> {};

TEST_P(SchemaVariantTest, RegistersAndFindsAPatient) {
  Create(GetParam());
  db_->Exec("SET GENERATOR MAIN_GENERATOR TO 99");
  const PatientParticulars patient{Win1250("Dvořák"), Win1250("Jiří"), "29022000", "P-100"};
  {
    TDM& dm = OpenStore();
    const PatientLookup lookup = FindOrRegisterPatient(dm, patient);
    EXPECT_EQ(lookup.PatientKey, 100);
    EXPECT_TRUE(lookup.registered);
    EXPECT_TRUE(lookup.confirmed);
  }
  dm_.reset();
  const auto rows = db_->Query(
      "SELECT ID, LAST_NAME, FIRST_NAME, PATIENT_ID, EXTRACT(YEAR FROM DATE_OF_BIRTH),"
      " EXTRACT(MONTH FROM DATE_OF_BIRTH), EXTRACT(DAY FROM DATE_OF_BIRTH), DATE_IN FROM PATIENTS");
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][0], "100");
  EXPECT_EQ(rows[0][1]->substr(0, 6), patient.ParamLastName);
  EXPECT_EQ(rows[0][3]->substr(0, 5), "P-100");
  EXPECT_EQ(rows[0][4], "2000");
  EXPECT_EQ(rows[0][5], "2");
  EXPECT_EQ(rows[0][6], "29");
  EXPECT_EQ(rows[0][7], std::nullopt);
  const PatientLookup again = FindOrRegisterPatient(OpenStore(), patient);
  EXPECT_EQ(again.PatientKey, 100);
  EXPECT_FALSE(again.registered);
}

INSTANTIATE_TEST_SUITE_P(
    Variants, SchemaVariantTest,
    ::testing::Values(Schema{}, Schema{.id_type = "SMALLINT"}, Schema{.id_type = "BIGINT"},
                      Schema{.text_type = "CHAR"}, Schema{.birth_type = "DATE"},
                      Schema{.dialect = 1}, Schema{.dialect = 1, .text_type = "CHAR"},
                      // A default and a computed column: the record is read back.
                      Schema{.extra_columns = ", CREATED INTEGER DEFAULT 7,"
                                              " UPPER_NAME COMPUTED BY (UPPER(LAST_NAME))"}));

}  // namespace
}  // namespace patlink

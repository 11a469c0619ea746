// A scratch database on the private test server, created fresh and dropped
// afterwards, with a PATIENTS table in the variant a test asks for.
#pragma once

#include <ibase.h>

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "store/fb_client.h"

namespace patlink::testing {

// The PATIENTS table the perimetry application might have.
struct Schema {
  int dialect = 3;
  std::string id_type = "INTEGER";
  std::string text_type = "VARCHAR";  // of LAST_NAME, FIRST_NAME, PATIENT_ID
  int patient_id_width = 20;
  int name_width = 30;
  std::string birth_type = "TIMESTAMP";
  std::string extra_columns;  // e.g. ", EXTRA INTEGER NOT NULL"
  std::string extra_sql;      // statements run after the table exists, separated by ";;"
};

using Row = std::vector<std::optional<std::string>>;

class TestDatabase {
 public:
  // Creates the database at the connection string (an alias or a file).
  explicit TestDatabase(std::string connection_string, int dialect = 3);
  ~TestDatabase();
  TestDatabase(const TestDatabase&) = delete;
  TestDatabase& operator=(const TestDatabase&) = delete;

  const std::string& connection_string() const { return connection_string_; }
  void CreatePatients(const Schema& schema);
  // Runs one statement in its own transaction.
  void Exec(std::string_view sql);
  // All rows, every value as text (texts raw in WIN1250), NULL as nothing.
  std::vector<Row> Query(std::string_view sql);
  std::string Scalar(std::string_view sql);
  // PATIENTS in ID order, as "ID|LAST|FIRST|PID|BIRTH" lines, for before/after checks.
  std::vector<std::string> Patients();

 private:
  ClientLibrary client_;
  std::string connection_string_;
  int dialect_;
  isc_db_handle db_ = 0;
};

// Bytes of a text in code page 1250 from their UTF-8 spelling in a test.
std::string Win1250(std::string_view utf8);

}  // namespace patlink::testing

#include "support/test_database.h"

#include <stdexcept>

#include "cmdline/command_line.h"

namespace patlink::testing {

namespace {

// The programs' user and password; with their character set when asked.
std::string Dpb(bool win1250) {
  std::string dpb{isc_dpb_version1};
  auto add = [&](char code, const std::string& value) {
    dpb += code;
    dpb += static_cast<char>(value.size());
    dpb += value;
  };
  add(isc_dpb_user_name, "SYSDBA");
  add(isc_dpb_password, "pondglide");
  if (win1250) add(isc_dpb_lc_ctype, "WIN1250");
  return dpb;
}

std::string ToText(const Value& value) {
  switch (value.kind) {
    case Value::Kind::kInteger:
      return std::to_string(value.integer);
    case Value::Kind::kText:
      return value.text;
    default:
      return "?";
  }
}

}  // namespace

TestDatabase::TestDatabase(std::string connection_string, int dialect)
    : connection_string_(std::move(connection_string)), dialect_(dialect) {
  ISC_STATUS_ARRAY status;
  isc_tr_handle tr = 0;
  const std::string create = "CREATE DATABASE '" + connection_string_ +
                             "' USER 'SYSDBA' PASSWORD 'pondglide' PAGE_SIZE 8192"
                             " DEFAULT CHARACTER SET WIN1250";
  // A database left behind by an interrupted run is dropped first.
  const std::string plain = Dpb(false);
  isc_db_handle old = 0;
  if (isc_attach_database(status, 0, connection_string_.c_str(), &old,
                          static_cast<short>(plain.size()), plain.data()) == 0)
    isc_drop_database(status, &old);
  isc_dsql_execute_immediate(status, &db_, &tr, 0, create.c_str(),
                             static_cast<unsigned short>(dialect_), nullptr);
  client_.Check(status);
  // Reconnect with the connection character set the programs use, so texts
  // travel as raw WIN1250 bytes.
  isc_detach_database(status, &db_);
  const std::string dpb = Dpb(true);
  isc_attach_database(status, 0, connection_string_.c_str(), &db_,
                      static_cast<short>(dpb.size()), dpb.data());
  client_.Check(status);
}

TestDatabase::~TestDatabase() {
  ISC_STATUS_ARRAY status;
  if (db_) isc_drop_database(status, &db_);
}

void TestDatabase::Exec(std::string_view sql) {
  ISC_STATUS_ARRAY status;
  isc_tr_handle tr = 0;
  isc_start_transaction(status, &tr, 1, &db_, 0, nullptr);
  client_.Check(status);
  const std::string text(sql);
  isc_dsql_execute_immediate(status, &db_, &tr, 0, text.c_str(),
                             static_cast<unsigned short>(dialect_), nullptr);
  if (status[0] == 1 && status[1]) {
    ISC_STATUS_ARRAY ignored;
    isc_rollback_transaction(ignored, &tr);
    client_.Check(status);
  }
  isc_commit_transaction(status, &tr);
  client_.Check(status);
}

std::vector<Row> TestDatabase::Query(std::string_view sql) {
  ISC_STATUS_ARRAY status;
  isc_tr_handle tr = 0;
  isc_start_transaction(status, &tr, 1, &db_, 0, nullptr);
  client_.Check(status);
  std::vector<Row> rows;
  {
    Statement statement(client_, &db_, &tr, static_cast<unsigned short>(dialect_), sql);
    statement.Execute({});
    while (auto values = statement.Fetch()) {
      Row row;
      for (const Value& value : *values)
        row.push_back(value.is_null() ? std::nullopt : std::optional(ToText(value)));
      rows.push_back(std::move(row));
    }
  }
  isc_commit_transaction(status, &tr);
  client_.Check(status);
  return rows;
}

std::string TestDatabase::Scalar(std::string_view sql) {
  const auto rows = Query(sql);
  if (rows.size() != 1 || rows[0].size() != 1 || !rows[0][0])
    throw std::runtime_error("expected one value from: " + std::string(sql));
  return *rows[0][0];
}

std::vector<std::string> TestDatabase::Patients() {
  std::vector<std::string> lines;
  for (const Row& row :
       Query("SELECT ID, LAST_NAME, FIRST_NAME, PATIENT_ID, CAST(DATE_OF_BIRTH AS VARCHAR(30)) "
             "FROM PATIENTS ORDER BY ID")) {
    std::string line;
    for (const auto& value : row) line += (value ? *value : "<null>") + "|";
    lines.push_back(line);
  }
  return lines;
}

void TestDatabase::CreatePatients(const Schema& s) {
  const std::string text = s.text_type;
  const std::string name = text + "(" + std::to_string(s.name_width) + ")";
  Exec("CREATE GENERATOR MAIN_GENERATOR");
  Exec("CREATE TABLE PATIENTS (ID " + s.id_type + " NOT NULL PRIMARY KEY, LAST_NAME " + name +
       ", FIRST_NAME " + name + ", PATIENT_ID " + text + "(" +
       std::to_string(s.patient_id_width) + "), DATE_OF_BIRTH " + s.birth_type +
       ", DATE_IN " + s.birth_type +
       ", OTHER1 VARCHAR(20), OTHER2 VARCHAR(20), OTHER3 VARCHAR(20),"
       " EYE_LEFT VARCHAR(20), EYE_RIGHT VARCHAR(20), DOCTOR_NAME VARCHAR(40)" +
       s.extra_columns + ")");
  std::string_view rest = s.extra_sql;
  while (!rest.empty()) {
    const auto end = rest.find(";;");
    Exec(rest.substr(0, end));
    rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 2);
  }
}

std::string Win1250(std::string_view utf8) { return Utf8ToWin1250(utf8); }

}  // namespace patlink::testing

#include "store/store_definition.h"

namespace patlink {

namespace {

constexpr std::string_view kInsertSql =
    "insert into PATIENTS\n"
    "  (ID, LAST_NAME, FIRST_NAME, PATIENT_ID, DATE_OF_BIRTH, DATE_IN, \n"
    "OTHER1, \n"
    "   OTHER2, OTHER3, EYE_LEFT, EYE_RIGHT, DOCTOR_NAME)\n"
    "values\n"
    "  (:ID, :LAST_NAME, :FIRST_NAME, :PATIENT_ID, :DATE_OF_BIRTH, :DATE_IN, \n"
    "   :OTHER1, :OTHER2, :OTHER3, :EYE_LEFT, :EYE_RIGHT, :DOCTOR_NAME)";

constexpr std::string_view kRefreshSql =
    "Select \n"
    "  ID,\n"
    "  LAST_NAME,\n"
    "  FIRST_NAME,\n"
    "  PATIENT_ID,\n"
    "  DATE_OF_BIRTH,\n"
    "  DATE_IN,\n"
    "  OTHER1,\n"
    "  OTHER2,\n"
    "  OTHER3,\n"
    "  EYE_LEFT,\n"
    "  EYE_RIGHT,\n"
    "  DOCTOR_NAME\n"
    "from PATIENTS \n"
    "where\n"
    "  ID = :ID";

constexpr std::string_view kModifySql =
    "update PATIENTS\n"
    "set\n"
    "  ID = :ID,\n"
    "  LAST_NAME = :LAST_NAME,\n"
    "  FIRST_NAME = :FIRST_NAME,\n"
    "  PATIENT_ID = :PATIENT_ID,\n"
    "  DATE_OF_BIRTH = :DATE_OF_BIRTH,\n"
    "  DATE_IN = :DATE_IN,\n"
    "  OTHER1 = :OTHER1,\n"
    "  OTHER2 = :OTHER2,\n"
    "  OTHER3 = :OTHER3,\n"
    "  EYE_LEFT = :EYE_LEFT,\n"
    "  EYE_RIGHT = :EYE_RIGHT,\n"
    "  DOCTOR_NAME = :DOCTOR_NAME\n"
    "where\n"
    "  ID = :OLD_ID";

constexpr std::string_view kDeleteSql =
    "delete from PATIENTS\n"
    "where\n"
    "  ID = :OLD_ID";

StoreDefinition Common() {
  return {
      .database_name = ":C:\\V_DATABASE\\VDATA.GDB",
      .connection_parameters = {"user_name=sysdba", "lc_ctype=WIN1250", "password=pondglide"},
      .sql_dialect = 3,
      .transaction_parameters = {"read_committed", "rec_version", "nowait"},
      .table = "PATIENTS",
      .select_sql = "SELECT * FROM PATIENTS ORDER BY LAST_NAME",
      .locate_sql = "SELECT * FROM PATIENTS WHERE %s = ? ORDER BY LAST_NAME",
      .insert_sql = kInsertSql,
      .refresh_sql = kRefreshSql,
      .modify_sql = kModifySql,
      .delete_sql = kDeleteSql,
      .generator_field = "ID",
      .generator_name = "MAIN_GENERATOR",
      .generator_increment = 1,
      .trim_compared_texts = false,
      .not_null_counts_with_default = false,
      .refresh_when = RefreshWhen::kComputedOrDefaultColumn,
  };
}

StoreDefinition Local() {
  StoreDefinition local = Common();
  local.database_name = "127.0.0.1:C:\\V_DATABASE\\VDATA.GDB";
  local.trim_compared_texts = true;
  local.not_null_counts_with_default = true;
  local.refresh_when = RefreshWhen::kComputedOrDomainWithoutDefault;
  return local;
}

}  // namespace

const StoreDefinition kPatlinkStore = Common();
const StoreDefinition kPatlinkLocalStore = Local();

}  // namespace patlink

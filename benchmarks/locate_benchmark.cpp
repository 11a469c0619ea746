// How long locating a patient by identifier takes on tables of 1,000 to
// 1,000,000 patients, with and without an index on PATIENT_ID. Needs the
// private Firebird server (scripts/benchmark.sh starts it).
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <map>
#include <memory>

#include "store/DMUnit.h"
#include "support/test_database.h"

namespace {

using patlink::TDM;
using patlink::Value;
using patlink::testing::TestDatabase;

// One database per table size, filled once and kept for all cases.
struct Table {
  std::unique_ptr<TestDatabase> db;
  patlink::StoreDefinition definition = patlink::kPatlinkStore;
  bool indexed = false;
};

Table& TableOf(int patients) {
  static std::map<int, Table> tables;
  Table& table = tables[patients];
  if (!table.db) {
    const std::string root = std::getenv("FIREBIRD");
    table.db = std::make_unique<TestDatabase>("localhost:" + root + "/data/bench" +
                                              std::to_string(patients) + ".fdb");
    table.db->CreatePatients({});
    table.db->Exec(
        "EXECUTE BLOCK AS DECLARE I INTEGER = 0; BEGIN WHILE (I < " + std::to_string(patients) +
        ") DO BEGIN INSERT INTO PATIENTS (ID, LAST_NAME, FIRST_NAME, PATIENT_ID, DATE_OF_BIRTH)"
        " VALUES (:I, 'Name' || MOD(:I * 7919, 100003), 'First', 'P' || :I, '1950-01-01');"
        " I = I + 1; END END");
    table.definition.database_name = table.db->connection_string();
  }
  return table;
}

void SetIndex(Table& table, bool indexed) {
  if (table.indexed == indexed) return;
  table.db->Exec(indexed ? "CREATE INDEX PATIENTS_PID ON PATIENTS (PATIENT_ID)"
                         : "DROP INDEX PATIENTS_PID");
  table.indexed = indexed;
}

// Arguments: patients, indexed, known identifier.
void BM_Locate(benchmark::State& state) {
  const int patients = static_cast<int>(state.range(0));
  Table& table = TableOf(patients);
  SetIndex(table, state.range(1) != 0);
  std::string id = "absent";
  if (state.range(2)) id = std::string("P").append(std::to_string(patients / 2));
  TDM dm(table.definition);
  dm.IBDatabase.Open();
  dm.PatientsIBDataSet.Open();
  for (auto _ : state) {
    const bool found = dm.PatientsIBDataSet.Locate("PATIENT_ID", Value::Text(id));
    if (found != (state.range(2) != 0)) state.SkipWithError("wrong locate result");
  }
  state.SetLabel(std::string(state.range(1) ? "index" : "no index") +
                 (state.range(2) ? ", known" : ", unknown"));
}

BENCHMARK(BM_Locate)
    ->ArgsProduct({{1000, 100000, 1000000}, {0, 1}, {1, 0}})
    ->Unit(benchmark::kMillisecond)
    ->MinTime(0.5);

}  // namespace

BENCHMARK_MAIN();

// The stored definition of the patient store: every setting of its three
// components, one definition per program. Code only sets the connection
// string and calls the components.
#pragma once

#include <string_view>
#include <vector>

namespace patlink {

// When a posted record is read back with the refresh statement.
enum class RefreshWhen {
  kComputedOrDefaultColumn,   // some column is computed or has a default
  kComputedOrDomainWithoutDefault,  // some column is computed or its domain lacks a default
};

struct StoreDefinition {
  // IBDatabase
  std::string_view database_name;
  std::vector<std::string_view> connection_parameters;
  unsigned short sql_dialect;  // lowered to the database's own when that is lower

  // IBTransaction
  std::vector<std::string_view> transaction_parameters;

  // PatientsIBDataSet
  std::string_view table;
  std::string_view select_sql;
  // The select restricted to one column's value ("%s" is the column): rows
  // are located on the server instead of fetching the whole table.
  std::string_view locate_sql;
  std::string_view insert_sql;
  std::string_view refresh_sql;
  std::string_view modify_sql;
  std::string_view delete_sql;
  std::string_view generator_field;
  std::string_view generator_name;
  int generator_increment;

  // Where the two programs differ.
  bool trim_compared_texts;           // drop trailing characters below 33 before comparing
  bool not_null_counts_with_default;  // a NOT NULL column with a default still needs a value
  RefreshWhen refresh_when;
};

extern const StoreDefinition kPatlinkStore;
extern const StoreDefinition kPatlinkLocalStore;

}  // namespace patlink

// The Firebird/InterBase client library, loaded by name at run time, and the
// few owning wrappers the store needs over its C API.
#pragma once

#include <ibase.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/platform.h"
#include "store/database_error.h"

namespace patlink {

// The loaded client library with every entry point the program calls.
class ClientLibrary {
 public:
  // Throws DatabaseError when the library or one of its entry points is missing.
  explicit ClientLibrary(const char* name = platform::kClientLibraryName);

  // Throws DatabaseError with the server's message and SQL code when the
  // status vector reports a failure.
  void Check(const ISC_STATUS* status) const;

  decltype(&isc_attach_database) attach_database;
  decltype(&isc_database_info) database_info;
  decltype(&isc_detach_database) detach_database;
  decltype(&isc_start_multiple) start_multiple;
  decltype(&isc_commit_transaction) commit_transaction;
  decltype(&isc_rollback_transaction) rollback_transaction;
  decltype(&isc_dsql_alloc_statement2) dsql_alloc_statement2;
  decltype(&isc_dsql_prepare) dsql_prepare;
  decltype(&isc_dsql_describe) dsql_describe;
  decltype(&isc_dsql_describe_bind) dsql_describe_bind;
  decltype(&isc_dsql_execute) dsql_execute;
  decltype(&isc_dsql_fetch) dsql_fetch;
  decltype(&isc_dsql_free_statement) dsql_free_statement;
  decltype(&isc_sqlcode) sqlcode;
  ISC_LONG(ISC_EXPORT* interprete)(ISC_SCHAR*, ISC_STATUS**);  // deprecated in the header
  decltype(&isc_vax_integer) vax_integer;

 private:
  platform::SharedLibrary library_;
};

// A calendar date; stored as a timestamp at midnight.
struct Date {
  int year = 0;
  int month = 0;
  int day = 0;
  bool operator==(const Date&) const = default;
};

// One column value as the store handles it. Columns of types the program
// never reads (blobs, scaled numbers...) are kept only as "present".
struct Value {
  enum class Kind { kNull, kInteger, kText, kDate, kOther };
  Kind kind = Kind::kNull;
  std::int64_t integer = 0;
  std::string text;
  Date date;

  static Value Integer(std::int64_t v) { return {Kind::kInteger, v, {}, {}}; }
  static Value Text(std::string v) { return {Kind::kText, 0, std::move(v), {}}; }
  static Value DateValue(Date v) { return {Kind::kDate, 0, {}, v}; }
  static Value Other() { return {Kind::kOther, 0, {}, {}}; }
  bool is_null() const { return kind == Kind::kNull; }
};

// Description of one column of a statement's result or parameters.
struct Column {
  std::string name;
  short sqltype = 0;  // without the nullable bit
  short sqlsubtype = 0;
  short sqlscale = 0;
  short length = 0;  // bytes; characters for the 8-bit connection character set
};

// An XSQLDA with its data buffers.
class Sqlda {
 public:
  Sqlda();
  XSQLDA* get() { return reinterpret_cast<XSQLDA*>(header_.data()); }
  // Makes room for n variables; true when it had to grow.
  bool Reserve(int n);
  // Gives every variable a buffer sized after its description.
  void AllocateBuffers();
  std::vector<Column> Columns();
  Value Read(int index);
  void Write(int index, const Value& value);

 private:
  std::vector<std::int64_t> header_;  // int64 storage keeps the XSQLDA aligned
  std::vector<std::vector<std::int64_t>> buffers_;
  std::vector<short> indicators_;
};

// A prepared statement: owns its handle and its parameter and result areas.
class Statement {
 public:
  Statement(const ClientLibrary& client, isc_db_handle* db, isc_tr_handle* tr,
            unsigned short dialect, std::string_view sql);
  ~Statement();
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  const std::vector<Column>& Columns() const { return columns_; }
  const std::vector<Column>& Parameters() const { return parameters_; }

  // Runs the statement with the parameter values in order.
  void Execute(const std::vector<Value>& parameters);
  // The next row of the result, or nothing at its end.
  std::optional<std::vector<Value>> Fetch();
  // Closes an open cursor; never throws.
  void CloseCursor() noexcept;

 private:
  const ClientLibrary& client_;
  isc_tr_handle* tr_;
  unsigned short dialect_;
  isc_stmt_handle handle_ = 0;
  Sqlda in_;
  Sqlda out_;
  std::vector<Column> columns_;
  std::vector<Column> parameters_;
  bool cursor_open_ = false;
};

// Days since 17 November 1858, the client library's date origin.
ISC_DATE EncodeDate(const Date& date);

}  // namespace patlink

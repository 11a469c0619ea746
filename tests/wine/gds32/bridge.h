// A test-only gds32.dll for Wine that forwards the client library calls the
// programs make to the Linux libfbclient.so.2. Shared by the two halves: the
// PE DLL (gds32_pe.cpp) packs each call's arguments into a record and
// __wine_unix_call hands it to the Unix half (gds32_unix.cpp). Both halves
// run in one 64-bit address space and ibase.h gives every type below the
// same size on both, so pointers, handles and XSQLDA pass unchanged.
#ifndef PATLINK_GDS32_BRIDGE_H
#define PATLINK_GDS32_BRIDGE_H

#include <ibase.h>

// Every forwarded call: name, return type, parameter list, argument names.
#define BRIDGE_CALLS(X)                                                                         \
  X(isc_attach_database, ISC_STATUS,                                                            \
    (ISC_STATUS * a, short b, const ISC_SCHAR* c, isc_db_handle* d, short e, const ISC_SCHAR* f), \
    (a, b, c, d, e, f))                                                                      \
  X(isc_database_info, ISC_STATUS,                                                              \
    (ISC_STATUS * a, isc_db_handle* b, short c, const ISC_SCHAR* d, short e, ISC_SCHAR* f),     \
    (a, b, c, d, e, f))                                                                      \
  X(isc_detach_database, ISC_STATUS, (ISC_STATUS * a, isc_db_handle* b), (a, b))             \
  X(isc_start_multiple, ISC_STATUS, (ISC_STATUS * a, isc_tr_handle* b, short c, void* d),       \
    (a, b, c, d))                                                                            \
  X(isc_commit_transaction, ISC_STATUS, (ISC_STATUS * a, isc_tr_handle* b), (a, b))          \
  X(isc_rollback_transaction, ISC_STATUS, (ISC_STATUS * a, isc_tr_handle* b), (a, b))        \
  X(isc_dsql_alloc_statement2, ISC_STATUS, (ISC_STATUS * a, isc_db_handle* b, isc_stmt_handle* c), \
    (a, b, c))                                                                               \
  X(isc_dsql_prepare, ISC_STATUS,                                                               \
    (ISC_STATUS * a, isc_tr_handle* b, isc_stmt_handle* c, unsigned short d, const ISC_SCHAR* e, \
     unsigned short f, XSQLDA* g),                                                              \
    (a, b, c, d, e, f, g))                                                                   \
  X(isc_dsql_describe, ISC_STATUS,                                                              \
    (ISC_STATUS * a, isc_stmt_handle* b, unsigned short c, XSQLDA* d), (a, b, c, d))         \
  X(isc_dsql_describe_bind, ISC_STATUS,                                                         \
    (ISC_STATUS * a, isc_stmt_handle* b, unsigned short c, XSQLDA* d), (a, b, c, d))         \
  X(isc_dsql_execute, ISC_STATUS,                                                               \
    (ISC_STATUS * a, isc_tr_handle* b, isc_stmt_handle* c, unsigned short d, const XSQLDA* e),  \
    (a, b, c, d, e))                                                                         \
  X(isc_dsql_fetch, ISC_STATUS,                                                                 \
    (ISC_STATUS * a, isc_stmt_handle* b, unsigned short c, const XSQLDA* d), (a, b, c, d))   \
  X(isc_dsql_free_statement, ISC_STATUS, (ISC_STATUS * a, isc_stmt_handle* b, unsigned short c), \
    (a, b, c))                                                                               \
  X(isc_sqlcode, ISC_LONG, (const ISC_STATUS* a), (a))                                       \
  X(isc_interprete, ISC_LONG, (ISC_SCHAR * a, ISC_STATUS** b), (a, b))                       \
  X(isc_vax_integer, ISC_LONG, (const ISC_SCHAR* a, short b), (a, b))

// The call numbers.
#define BRIDGE_ENUM(name, ret, params, args) call_##name,
enum { BRIDGE_CALLS(BRIDGE_ENUM) call_count };

#include <cstdint>
#include <type_traits>

namespace bridge {

// One record per call: each argument widened to 64 bits, then the result.
// Its layout depends only on the count, so both halves agree on it.
template <typename R, std::size_t N>
struct Args {
  std::uint64_t word[N];
  R result;
};

template <typename T>
std::uint64_t Word(T value) {
  if constexpr (std::is_pointer_v<T>)
    return reinterpret_cast<std::uintptr_t>(value);
  else
    return static_cast<std::uint64_t>(value);
}

template <typename T>
T FromWord(std::uint64_t word) {
  if constexpr (std::is_pointer_v<T>)
    return reinterpret_cast<T>(static_cast<std::uintptr_t>(word));
  else
    return static_cast<T>(word);
}

}  // namespace bridge

#endif

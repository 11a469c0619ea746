// The Unix half of the test bridge: each entry unpacks one call's record and
// calls the real function of libfbclient.so.2.
#include <utility>

#include "bridge.h"

namespace {

template <typename F, F function>
struct Entry;

template <typename R, typename... A, R (*function)(A...)>
struct Entry<R (*)(A...), function> {
  static int Call(void* record) {
    auto* args = static_cast<bridge::Args<R, sizeof...(A)>*>(record);
    args->result = Invoke(args, std::index_sequence_for<A...>{});
    return 0;
  }
  template <std::size_t... I>
  static R Invoke(bridge::Args<R, sizeof...(A)>* args, std::index_sequence<I...>) {
    return function(bridge::FromWord<A>(args->word[I])...);
  }
};

}  // namespace

#define BRIDGE_ENTRY(name, ret, params, args) &Entry<decltype(&::name), &::name>::Call,
extern "C" __attribute__((visibility("default"))) int (*const __wine_unix_call_funcs[])(void*) = {
    BRIDGE_CALLS(BRIDGE_ENTRY)};

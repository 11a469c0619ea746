// The Windows half of the test bridge: exports the client library's entry
// points and forwards every call to the Unix half.
#include <windows.h>

#include "bridge.h"

extern "C" {
// Exported by Wine's ntdll; Wine installs no header for them.
NTSTATUS NTAPI NtQueryVirtualMemory(HANDLE process, LPCVOID address, int information_class,
                                    PVOID buffer, SIZE_T length, SIZE_T* returned);
NTSTATUS WINAPI __wine_unix_call(UINT64 handle, unsigned int code, void* args);
}

namespace {

constexpr int kMemoryWineUnixFuncs = 1000;
UINT64 unix_handle = 0;

template <int Code, typename R, typename... A>
R Forward(A... arguments) {
  bridge::Args<R, sizeof...(A)> args{{bridge::Word(arguments)...}, R{}};
  __wine_unix_call(unix_handle, Code, &args);
  return args.result;
}

}  // namespace

#define BRIDGE_DEFINE(name, ret, params, args) \
  extern "C" ret ISC_EXPORT name params { return Forward<call_##name, ret> args; }
BRIDGE_CALLS(BRIDGE_DEFINE)

extern "C" BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH) return TRUE;
  // Without the Unix half every call would "succeed" doing nothing: refuse to load.
  return NtQueryVirtualMemory(GetCurrentProcess(), module, kMemoryWineUnixFuncs, &unix_handle,
                              sizeof unix_handle, nullptr) == 0 &&
         unix_handle != 0;
}

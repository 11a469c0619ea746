// A Windows helper for the tests under Wine:
//   probe run COMMAND-LINE          runs a program with exactly this command line
//   probe hold PATH MS              keeps PATH open for writing for MS milliseconds
//   probe dismiss-error MS          waits for the "Application Error" box, prints
//                                   its title and text, and presses its button
//   probe handoff KEY [LIMIT_S BOUND_MS]  hands KEY to the perimetry application
//   probe kill PID                  ends the process PID
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "handoff/handoff.h"

namespace {

int Run(const wchar_t* command_line) {
  std::wstring line = command_line;
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
    std::fprintf(stderr, "cannot start: %lu\n", ::GetLastError());
    return 125;
  }
  ::WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  ::GetExitCodeProcess(process.hProcess, &code);
  ::CloseHandle(process.hThread);
  ::CloseHandle(process.hProcess);
  return static_cast<int>(code);
}

int Hold(const wchar_t* path, DWORD ms) {
  HANDLE file = ::CreateFileW(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return 1;
  std::printf("held\n");
  std::fflush(stdout);
  ::Sleep(ms);
  ::CloseHandle(file);
  return 0;
}

BOOL CALLBACK CollectText(HWND child, LPARAM text) {
  char class_name[64] = {}, buffer[1024] = {};
  ::GetClassNameA(child, class_name, sizeof class_name);
  if (::lstrcmpiA(class_name, "Static") == 0 && ::GetWindowTextA(child, buffer, sizeof buffer) > 0)
    *reinterpret_cast<std::string*>(text) += buffer;
  return TRUE;
}

int DismissError(DWORD ms) {
  const DWORD deadline = ::GetTickCount() + ms;
  HWND box = nullptr;
  while (!(box = ::FindWindowA(nullptr, "Application Error"))) {
    if (static_cast<LONG>(::GetTickCount() - deadline) > 0) {
      std::printf("no message box\n");
      return 1;
    }
    ::Sleep(50);
  }
  ::Sleep(200);  // let the box finish laying out its text
  char title[256] = {};
  ::GetWindowTextA(box, title, sizeof title);
  std::string text;
  ::EnumChildWindows(box, CollectText, reinterpret_cast<LPARAM>(&text));
  std::printf("title: %s\ntext: %s\n", title, text.c_str());
  std::fflush(stdout);
  ::PostMessageA(box, WM_COMMAND, IDOK, 0);
  return 0;
}

int HandOff(int argc, wchar_t** argv) {
  patlink::HandOffTimings timings;
  if (argc > 3) timings.wait_limit = std::chrono::seconds(_wtoi(argv[3]));
  if (argc > 4) timings.delivery_bound = std::chrono::milliseconds(_wtoi(argv[4]));
  const auto result = patlink::SendPatientToPerimeter(_wtoi(argv[2]), timings);
  std::printf("outcome %d start %lld attempts %d\n", static_cast<int>(result.outcome),
              static_cast<long long>(result.start_result), result.attempts);
  return 0;
}

int Kill(DWORD pid) {
  HANDLE process = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid);
  if (!process) return 1;
  ::TerminateProcess(process, 1);
  ::WaitForSingleObject(process, 5000);
  ::CloseHandle(process);
  return 0;
}

}  // namespace

int main() {
  int argc = 0;
  wchar_t** argv = ::CommandLineToArgvW(::GetCommandLineW(), &argc);
  if (argc >= 3 && std::wstring(argv[1]) == L"run") return Run(argv[2]);
  if (argc >= 4 && std::wstring(argv[1]) == L"hold") return Hold(argv[2], _wtoi(argv[3]));
  if (argc >= 3 && std::wstring(argv[1]) == L"dismiss-error") return DismissError(_wtoi(argv[2]));
  if (argc >= 3 && std::wstring(argv[1]) == L"handoff") return HandOff(argc, argv);
  if (argc >= 3 && std::wstring(argv[1]) == L"kill") return Kill(static_cast<DWORD>(_wtoi(argv[2])));
  std::fprintf(stderr, "usage: probe run|hold|dismiss-error|handoff|kill ...\n");
  return 2;
}

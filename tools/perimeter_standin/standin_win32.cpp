// The stand-in's window on Windows: a real top-level window of the class.
#include <windows.h>

#include <string>

#include "standin.h"

namespace {

standin::Orders orders;
constexpr UINT kPatientMessage = WM_USER + 1;
constexpr UINT_PTR kLifetimeTimer = 1;

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wparam, LPARAM lparam) {
  if (message == kPatientMessage) {
    const std::string line = std::to_string(message) + " " + std::to_string(wparam) + " " +
                             std::to_string(static_cast<long long>(lparam));
    if (orders.hang) {
      standin::Log("message " + line + " hang");
      ::Sleep(INFINITE);
    }
    const long reply = standin::NextReply(orders);
    standin::Log("message " + line + " reply " + std::to_string(reply));
    return reply;
  }
  if (message == WM_TIMER && wparam == kLifetimeTimer) {
    ::DestroyWindow(window);
    return 0;
  }
  if (message == WM_DESTROY) {
    ::PostQuitMessage(0);
    return 0;
  }
  return ::DefWindowProcA(window, message, wparam, lparam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR command_line, int) {
  orders = standin::ReadOrders();
  char folder[MAX_PATH] = {};
  ::GetCurrentDirectoryA(sizeof folder, folder);
  standin::Log("start pid=" + std::to_string(::GetCurrentProcessId()) + " args=" + command_line +
               " cwd=" + folder);
  ::Sleep(static_cast<DWORD>(orders.delay_ms));
  if (orders.no_window) {
    ::Sleep(static_cast<DWORD>(orders.lifetime_s) * 1000);
    return 0;
  }
  WNDCLASSA window_class{};
  window_class.lpfnWndProc = WindowProc;
  window_class.hInstance = instance;
  window_class.lpszClassName = standin::kWindowClass;
  ::RegisterClassA(&window_class);
  HWND window = ::CreateWindowA(standin::kWindowClass, "Perimetry stand-in", WS_OVERLAPPEDWINDOW,
                                CW_USEDEFAULT, CW_USEDEFAULT, 300, 200, nullptr, nullptr,
                                instance, nullptr);
  if (!window) {
    standin::Log("cannot create window");
    return 1;
  }
  ::SetTimer(window, kLifetimeTimer, static_cast<UINT>(orders.lifetime_s) * 1000, nullptr);
  standin::Log("window");
  MSG message;
  while (::GetMessageA(&message, nullptr, 0, 0) > 0) {
    ::TranslateMessage(&message);
    ::DispatchMessageA(&message);
  }
  return 0;
}

// The Win32 implementation of the platform layer.
#include <windows.h>
#include <shellapi.h>

#include "cmdline/command_line.h"
#include "platform/platform.h"

namespace patlink::platform {

namespace {

// Closes a Win32 handle when it goes out of scope.
class Handle {
 public:
  explicit Handle(HANDLE handle) : handle_(handle) {}
  ~Handle() {
    if (handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr) ::CloseHandle(handle_);
  }
  Handle(const Handle&) = delete;
  Handle& operator=(const Handle&) = delete;
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

std::string SystemMessage(DWORD error) {
  char* text = nullptr;
  const DWORD length = ::FormatMessageA(
      FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
      nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string message = length ? std::string(text, length) : "System error " + std::to_string(error);
  if (text) ::LocalFree(text);
  while (!message.empty() && (message.back() == '\r' || message.back() == '\n')) message.pop_back();
  return message;
}

std::string CannotOpen(const std::string& path, DWORD error) {
  return "Cannot open file \"" + path + "\". " + SystemMessage(error);
}

std::string WideToUtf8(const wchar_t* text) {
  // Unpaired surrogates become U+FFFD, which code page 1250 then refuses.
  const int size = ::WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (size <= 1) return {};
  std::string utf8(static_cast<std::size_t>(size), '\0');
  ::WideCharToMultiByte(CP_UTF8, 0, text, -1, utf8.data(), size, nullptr, nullptr);
  utf8.pop_back();
  return utf8;
}

}  // namespace

std::vector<std::string> ProgramParameters(int, char**) {
  std::vector<std::string> parameters = SplitCommandLine(WideToUtf8(::GetCommandLineW()));
  if (!parameters.empty()) parameters.erase(parameters.begin());  // the program itself
  return parameters;
}

std::string LocalPath(std::string_view windows_path) { return std::string(windows_path); }

bool IsFile(const std::string& path) {
  const DWORD attributes = ::GetFileAttributesA(path.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::string ReadFileDenyingWriters(const std::string& path) {
  Handle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file.get() == INVALID_HANDLE_VALUE) throw FileOpenError(CannotOpen(path, ::GetLastError()));
  std::string text;
  char buffer[4096];
  DWORD read = 0;
  while (true) {
    if (!::ReadFile(file.get(), buffer, sizeof buffer, &read, nullptr))
      throw FileOpenError(CannotOpen(path, ::GetLastError()));
    if (read == 0) break;
    text.append(buffer, read);
  }
  return text;
}

void ShowUnhandledFailure(std::string_view failure, std::string_view message) {
  const std::string text = std::string(failure) + ": " + std::string(message);
  ::MessageBoxA(nullptr, text.c_str(), "Application Error", MB_OK | MB_ICONSTOP | MB_TASKMODAL);
}

void Trace(std::string_view program, std::string_view text) {
  const std::string line = std::string(program) + ": " + std::string(text) + "\n";
  ::OutputDebugStringA(line.c_str());
}

const char* const kClientLibraryName = "gds32.dll";

SharedLibrary::SharedLibrary(const char* name) : handle_(::LoadLibraryA(name)) {}

SharedLibrary::~SharedLibrary() {
  if (handle_) ::FreeLibrary(static_cast<HMODULE>(handle_));
}

void* SharedLibrary::Symbol(const char* name) const {
  return reinterpret_cast<void*>(::GetProcAddress(static_cast<HMODULE>(handle_), name));
}

std::optional<Window> FindWindowByClass(const char* class_name) {
  const HWND window = ::FindWindowA(class_name, nullptr);
  if (!window) return std::nullopt;
  return Window{reinterpret_cast<std::intptr_t>(window), {}};
}

std::optional<std::intptr_t> SendMessageWithin(const Window& window, unsigned message,
                                               std::uintptr_t wparam, std::intptr_t lparam,
                                               std::chrono::milliseconds bound) {
  DWORD_PTR reply = 0;
  if (!::SendMessageTimeoutA(reinterpret_cast<HWND>(window.handle), message, wparam, lparam,
                             SMTO_NORMAL | SMTO_ABORTIFHUNG, static_cast<UINT>(bound.count()),
                             &reply))
    return std::nullopt;
  return static_cast<std::intptr_t>(reply);
}

std::intptr_t StartProgram(const char* verb, const char* file, const char* parameters,
                           std::string_view windows_folder) {
  const std::string folder(windows_folder);
  return reinterpret_cast<std::intptr_t>(
      ::ShellExecuteA(nullptr, verb, file, parameters, folder.c_str(), SW_SHOWNORMAL));
}

SystemLock::SystemLock(const char* name, std::chrono::milliseconds bound) : handle_(0) {
  // A named mutex in this session's namespace.
  const std::string full = std::string("Local\\") + name;
  const HANDLE mutex = ::CreateMutexA(nullptr, FALSE, full.c_str());
  if (!mutex) throw std::runtime_error("cannot create mutex " + full + ": " + SystemMessage(::GetLastError()));
  const DWORD waited = ::WaitForSingleObject(mutex, static_cast<DWORD>(bound.count()));
  // An abandoned mutex is ours now: its previous owner ended without releasing it.
  if (waited != WAIT_OBJECT_0 && waited != WAIT_ABANDONED) {
    ::CloseHandle(mutex);
    throw std::runtime_error(std::string("another run held the lock ") + name + " too long");
  }
  handle_ = reinterpret_cast<std::intptr_t>(mutex);
}

SystemLock::~SystemLock() {
  const HANDLE mutex = reinterpret_cast<HANDLE>(handle_);
  ::ReleaseMutex(mutex);
  ::CloseHandle(mutex);
}

}  // namespace patlink::platform

// The thin layer between the run and the operating system. One header, two
// implementations: platform_win32.cpp (Win32 API) and platform_posix.cpp,
// where drive C: and the windows are stood in for by build-time folders.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

namespace patlink::platform {

// The program's parameters after its own name, as UTF-8 texts. On Windows
// they are split from the Unicode command line by SplitCommandLine.
std::vector<std::string> ProgramParameters(int argc, char** argv);

// Where a fixed Windows path such as "C:\V_ZADEVAVAD\Server.cfg" lies here.
std::string LocalPath(std::string_view windows_path);

// True when a file (not a folder) exists at the path.
bool IsFile(const std::string& path);

// Failure to open or read a file; the message names the path and the reason.
class FileOpenError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The whole file, opened so that other programs may still read it but not
// write it while it is read. Throws FileOpenError.
std::string ReadFileDenyingWriters(const std::string& path);

// The default handling of a failure that escaped the run: a task-modal
// "Application Error" box on Windows, a line on standard error elsewhere.
void ShowUnhandledFailure(std::string_view failure, std::string_view message);

// One line for clinic support in the platform's debug channel, from the
// named program: OutputDebugStringA, or syslog at debug level (whose entries
// name the program already). Never names or birth dates.
void Trace(std::string_view program, std::string_view text);

// A shared library loaded by name at run time, unloaded with the object.
class SharedLibrary {
 public:
  // Loads the library; loaded() tells whether it was found.
  explicit SharedLibrary(const char* name);
  ~SharedLibrary();
  SharedLibrary(const SharedLibrary&) = delete;
  SharedLibrary& operator=(const SharedLibrary&) = delete;
  bool loaded() const { return handle_ != nullptr; }
  // The address of an exported function, or nullptr.
  void* Symbol(const char* name) const;

 private:
  void* handle_;
};

// The database client library's file name on this platform.
extern const char* const kClientLibraryName;

// A top-level window found by its class name.
struct Window {
  std::intptr_t handle = 0;  // Windows
  std::string address;       // POSIX: the socket standing in for the window
};

std::optional<Window> FindWindowByClass(const char* class_name);

// Delivers a message and waits for the reply, at most for the bound. No
// value when the window did not answer in time (or is gone).
std::optional<std::intptr_t> SendMessageWithin(const Window& window, unsigned message,
                                               std::uintptr_t wparam, std::intptr_t lparam,
                                               std::chrono::milliseconds bound);

// Starts a program file found in a fixed Windows working folder, shown
// normally, with one parameter text. Follows ShellExecute's rule: a result
// above 32 means started; 2 means the file was not found.
std::intptr_t StartProgram(const char* verb, const char* file, const char* parameters,
                           std::string_view windows_folder);

// A system-wide lock held while the object lives, serialising runs on this
// machine. Throws std::runtime_error when the bound passes first.
class SystemLock {
 public:
  SystemLock(const char* name, std::chrono::milliseconds bound);
  ~SystemLock();
  SystemLock(const SystemLock&) = delete;
  SystemLock& operator=(const SystemLock&) = delete;

 private:
  std::intptr_t handle_;
};

}  // namespace patlink::platform

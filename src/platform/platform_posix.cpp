// POSIX stand-ins for the Windows facilities the program uses.
#include <dlfcn.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <syslog.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <iostream>
#include <thread>

#include "platform/platform.h"

#ifndef PATLINK_DRIVE_C
#error "PATLINK_DRIVE_C must name the folder standing in for drive C:"
#endif
#ifndef PATLINK_WINDOWS_DIR
#error "PATLINK_WINDOWS_DIR must name the folder of the sockets standing in for windows"
#endif

namespace patlink::platform {

namespace {

// Closes a file descriptor when it goes out of scope.
class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

std::string CannotOpen(const std::string& path, const std::string& reason) {
  return "Cannot open file \"" + path + "\". " + reason;
}

}  // namespace

std::vector<std::string> ProgramParameters(int argc, char** argv) {
  return std::vector<std::string>(argv + (argc > 0 ? 1 : 0), argv + argc);
}

std::string LocalPath(std::string_view windows_path) {
  // "C:\A\B" becomes PATLINK_DRIVE_C "/A/B"; letter case is kept.
  std::string path = PATLINK_DRIVE_C;
  std::string_view rest = windows_path.substr(2);
  for (char c : rest) path += c == '\\' ? '/' : c;
  return path;
}

bool IsFile(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && !S_ISDIR(info.st_mode);
}

std::string ReadFileDenyingWriters(const std::string& path) {
  Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (file.get() < 0) throw FileOpenError(CannotOpen(path, std::strerror(errno)));
  // POSIX has no share modes: a shared record lock is the nearest thing to
  // "others may read but not write"; a writer holding a write lock refuses it.
  struct flock lock {};
  lock.l_type = F_RDLCK;
  lock.l_whence = SEEK_SET;
  if (::fcntl(file.get(), F_SETLK, &lock) != 0) {
    if (errno == EACCES || errno == EAGAIN)
      throw FileOpenError(CannotOpen(path, "The file is locked for writing by another process."));
    throw FileOpenError(CannotOpen(path, std::strerror(errno)));
  }
  std::string text;
  char buffer[4096];
  while (true) {
    const ssize_t n = ::read(file.get(), buffer, sizeof buffer);
    if (n == 0) break;
    if (n < 0) {
      if (errno == EINTR) continue;
      throw FileOpenError(CannotOpen(path, std::strerror(errno)));
    }
    text.append(buffer, static_cast<std::size_t>(n));
  }
  return text;
}

void ShowUnhandledFailure(std::string_view failure, std::string_view message) {
  std::cerr << "Application Error: " << failure << ": " << message << std::endl;
}

void Trace(std::string_view, std::string_view text) {
  ::syslog(LOG_USER | LOG_DEBUG, "%.*s", static_cast<int>(text.size()), text.data());
}

const char* const kClientLibraryName = "libfbclient.so.2";

SharedLibrary::SharedLibrary(const char* name) : handle_(::dlopen(name, RTLD_NOW | RTLD_LOCAL)) {}

SharedLibrary::~SharedLibrary() {
  if (handle_) ::dlclose(handle_);
}

void* SharedLibrary::Symbol(const char* name) const { return ::dlsym(handle_, name); }

std::optional<Window> FindWindowByClass(const char* class_name) {
  const std::string address = std::string(PATLINK_WINDOWS_DIR) + "/" + class_name;
  struct stat info {};
  if (::stat(address.c_str(), &info) != 0 || !S_ISSOCK(info.st_mode)) return std::nullopt;
  return Window{0, address};
}

std::optional<std::intptr_t> SendMessageWithin(const Window& window, unsigned message,
                                               std::uintptr_t wparam, std::intptr_t lparam,
                                               std::chrono::milliseconds bound) {
  Descriptor sock(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (sock.get() < 0) return std::nullopt;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  if (window.address.size() >= sizeof address.sun_path) return std::nullopt;
  std::memcpy(address.sun_path, window.address.c_str(), window.address.size() + 1);
  timeval timeout{static_cast<time_t>(bound.count() / 1000),
                  static_cast<suseconds_t>(bound.count() % 1000 * 1000)};
  ::setsockopt(sock.get(), SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
  ::setsockopt(sock.get(), SOL_SOCKET, SO_SNDTIMEO, &timeout, sizeof timeout);
  if (::connect(sock.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0)
    return std::nullopt;
  const std::string line = std::to_string(message) + " " + std::to_string(wparam) + " " +
                           std::to_string(lparam) + "\n";
  if (::send(sock.get(), line.data(), line.size(), MSG_NOSIGNAL) !=
      static_cast<ssize_t>(line.size()))
    return std::nullopt;
  std::string reply;
  char c = 0;
  while (true) {
    const ssize_t n = ::recv(sock.get(), &c, 1, 0);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return std::nullopt;
    if (c == '\n') break;
    reply += c;
  }
  try {
    return static_cast<std::intptr_t>(std::stoll(reply));
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::intptr_t StartProgram(const char* verb, const char* file, const char* parameters,
                           std::string_view windows_folder) {
  constexpr std::intptr_t kFileNotFound = 2, kAccessDenied = 5, kOutOfMemory = 8, kStarted = 42;
  if (std::string_view(verb) != "open") return kAccessDenied;
  const std::string folder = LocalPath(windows_folder);
  const std::string program = folder + "/" + file;
  if (!IsFile(program)) return kFileNotFound;
  if (::access(program.c_str(), X_OK) != 0) return kAccessDenied;
  // Fork twice so that the program is nobody's child here and outlives us.
  const pid_t child = ::fork();
  if (child < 0) return kOutOfMemory;
  if (child == 0) {
    ::setsid();
    if (::fork() != 0) ::_exit(0);
    if (::chdir(folder.c_str()) != 0) ::_exit(127);
    const int null = ::open("/dev/null", O_RDWR);
    ::dup2(null, 0), ::dup2(null, 1), ::dup2(null, 2);
    for (int fd = 3; fd < 1024; ++fd) ::close(fd);
    ::execl(program.c_str(), program.c_str(), parameters, static_cast<char*>(nullptr));
    ::_exit(127);
  }
  int status = 0;
  while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  return kStarted;
}

SystemLock::SystemLock(const char* name, std::chrono::milliseconds bound) : handle_(-1) {
  // A lock file beside the windows folder: both belong to this machine's runs.
  std::string path = PATLINK_WINDOWS_DIR;
  path = path.substr(0, path.find_last_of('/') + 1) + name + ".lock";
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd < 0) throw std::runtime_error("cannot open lock file " + path + ": " + std::strerror(errno));
  const auto deadline = std::chrono::steady_clock::now() + bound;
  while (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
    if (std::chrono::steady_clock::now() >= deadline) {
      ::close(fd);
      throw std::runtime_error(std::string("another run held the lock ") + name + " too long");
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  handle_ = fd;
}

SystemLock::~SystemLock() { ::close(static_cast<int>(handle_)); }

}  // namespace patlink::platform

#include "support/perimeter.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <thread>

namespace patlink::testing {

namespace fs = std::filesystem;

namespace {

const std::string kLog = "perimeter-standin.log";

void RemoveWindow() {
  fs::remove(std::string(PATLINK_WINDOWS_DIR) + "/TPerimeterMainForm");
}

}  // namespace

PerimeterStandIn::PerimeterStandIn() {
  fs::remove_all(Folder());
  fs::create_directories(Folder());
  fs::create_directories(PATLINK_WINDOWS_DIR);
  RemoveWindow();
}

PerimeterStandIn::~PerimeterStandIn() { Stop(); }

std::string PerimeterStandIn::Folder() { return std::string(PATLINK_DRIVE_C) + "/AUTOMATED_PERIMETER"; }

void PerimeterStandIn::WriteOrders(const StandInOrders& o) {
  std::ofstream(Folder() + "/perimeter-standin.cfg")
      << "delay_ms=" << o.delay_ms << "\nrefuse_first=" << o.refuse_first
      << "\nno_window=" << o.no_window << "\nhang=" << o.hang << "\nlifetime_s=" << o.lifetime_s
      << "\n";
}

void PerimeterStandIn::Install(const StandInOrders& orders) {
  WriteOrders(orders);
  fs::copy_file(PERIMETER_STANDIN, Folder() + "/perimeter.exe",
                fs::copy_options::overwrite_existing);
}

void PerimeterStandIn::StartRunning(const StandInOrders& orders) {
  WriteOrders(orders);
  const pid_t child = ::fork();
  if (child == 0) {
    if (::chdir(Folder().c_str()) != 0) ::_exit(127);
    ::execl(PERIMETER_STANDIN, PERIMETER_STANDIN, static_cast<char*>(nullptr));
    ::_exit(127);
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
  while (std::chrono::steady_clock::now() < deadline) {
    for (const std::string& line : Log())
      if (line == "window") return;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  throw std::runtime_error("the stand-in made no window");
}

std::vector<std::string> PerimeterStandIn::Log() const {
  std::vector<std::string> lines;
  std::ifstream file(Folder() + "/" + kLog);
  for (std::string line; std::getline(file, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> PerimeterStandIn::Messages() const {
  std::vector<std::string> messages;
  for (const std::string& line : Log())
    if (line.starts_with("message ")) messages.push_back(line.substr(8));
  return messages;
}

int PerimeterStandIn::Starts() const {
  int starts = 0;
  for (const std::string& line : Log()) starts += line.starts_with("start ");
  return starts;
}

void PerimeterStandIn::Stop() {
  // Every stand-in wrote its process id; those we started directly are our children.
  for (const std::string& line : Log()) {
    if (!line.starts_with("start pid=")) continue;
    const pid_t pid = static_cast<pid_t>(std::stol(line.substr(10)));
    if (::kill(pid, SIGTERM) == 0) {
      for (int i = 0; i < 100 && ::kill(pid, 0) == 0; ++i) {
        ::waitpid(pid, nullptr, WNOHANG);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
      }
      ::kill(pid, SIGKILL);
      ::waitpid(pid, nullptr, WNOHANG);
    }
  }
  RemoveWindow();
}

ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& parameters) {
  const std::string path = std::string(PATLINK_BINARY_DIR) + "/" + program;
  int err[2];
  if (::pipe(err) != 0) throw std::runtime_error("pipe");
  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(err[1], 2);
    ::close(err[0]);
    ::close(err[1]);
    std::vector<char*> argv{const_cast<char*>(path.c_str())};
    for (const std::string& p : parameters) argv.push_back(const_cast<char*>(p.c_str()));
    argv.push_back(nullptr);
    ::execv(path.c_str(), argv.data());
    ::_exit(127);
  }
  ::close(err[1]);
  ProgramResult result;
  char buffer[512];
  for (ssize_t n; (n = ::read(err[0], buffer, sizeof buffer)) > 0;)
    result.standard_error.append(buffer, static_cast<std::size_t>(n));
  ::close(err[0]);
  int status = 0;
  ::waitpid(child, &status, 0);
  result.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

}  // namespace patlink::testing

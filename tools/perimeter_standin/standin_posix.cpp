// The stand-in's window on POSIX: a stream socket named after the class.
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <thread>

#include "standin.h"

namespace {

std::string socket_path;

void Remove(int) {
  ::unlink(socket_path.c_str());
  ::_exit(0);
}

}  // namespace

int main(int argc, char** argv) {
  const standin::Orders orders = standin::ReadOrders();
  std::string args;
  for (int i = 1; i < argc; ++i) args += std::string(i > 1 ? "|" : "") + argv[i];
  standin::Log("start pid=" + std::to_string(::getpid()) + " args=" + args +
               " cwd=" + std::filesystem::current_path().string());
  ::signal(SIGTERM, Remove);
  ::signal(SIGALRM, Remove);
  ::alarm(static_cast<unsigned>(orders.lifetime_s));
  std::this_thread::sleep_for(std::chrono::milliseconds(orders.delay_ms));
  if (orders.no_window) {
    ::pause();
    return 0;
  }
  std::filesystem::create_directories(PATLINK_WINDOWS_DIR);
  socket_path = std::string(PATLINK_WINDOWS_DIR) + "/" + standin::kWindowClass;
  const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::strncpy(address.sun_path, socket_path.c_str(), sizeof address.sun_path - 1);
  ::unlink(socket_path.c_str());
  if (::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
      ::listen(listener, 8) != 0) {
    standin::Log("cannot create window " + socket_path);
    return 1;
  }
  standin::Log("window");
  while (true) {
    const int client = ::accept(listener, nullptr, nullptr);
    if (client < 0) continue;
    std::string line;
    char c;
    while (::read(client, &c, 1) == 1 && c != '\n') line += c;
    if (orders.hang) {
      standin::Log("message " + line + " hang");
      ::pause();
    }
    const long reply = standin::NextReply(orders);
    standin::Log("message " + line + " reply " + std::to_string(reply));
    const std::string answer = std::to_string(reply) + "\n";
    (void)!::write(client, answer.data(), answer.size());
    ::close(client);
  }
}

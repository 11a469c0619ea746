#include "standin.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace standin {

Orders ReadOrders() {
  Orders orders;
  std::ifstream file("perimeter-standin.cfg");
  std::string line;
  while (std::getline(file, line)) {
    const auto equals = line.find('=');
    if (equals == std::string::npos) continue;
    const std::string key = line.substr(0, equals);
    const int value = std::atoi(line.c_str() + equals + 1);
    if (key == "delay_ms") orders.delay_ms = value;
    if (key == "refuse_first") orders.refuse_first = value;
    if (key == "no_window") orders.no_window = value != 0;
    if (key == "hang") orders.hang = value != 0;
    if (key == "lifetime_s") orders.lifetime_s = value;
  }
  return orders;
}

void Log(const std::string& line) {
  if (std::FILE* log = std::fopen("perimeter-standin.log", "a")) {
    std::fprintf(log, "%s\n", line.c_str());
    std::fclose(log);
  }
}

long NextReply(const Orders& orders) {
  static int received = 0;
  return ++received > orders.refuse_first ? 1 : 0;
}

}  // namespace standin

// A stand-in for the perimetry application, for tests and demonstrations
// only: it makes a window of the perimetry application's main window class,
// records every message it receives and its own command line, and can be
// told to misbehave. It is not a perimetry application.
//
// It reads its orders from "perimeter-standin.cfg" in its current folder
// (lines key=value) and appends what happens to "perimeter-standin.log"
// there:
//   delay_ms=N      wait N ms before creating the window
//   refuse_first=N  answer 0 to the first N messages, 1 afterwards
//   no_window=1     never create the window
//   hang=1          never answer a message
//   lifetime_s=N    end after N seconds (default 60)
#pragma once

#include <string>

namespace standin {

inline constexpr char kWindowClass[] = "TPerimeterMainForm";

struct Orders {
  int delay_ms = 0;
  int refuse_first = 0;
  bool no_window = false;
  bool hang = false;
  int lifetime_s = 60;
};

Orders ReadOrders();
void Log(const std::string& line);

// The reply to the next message, counting the messages.
long NextReply(const Orders& orders);

}  // namespace standin

// The perimetry stand-in as the tests use it on POSIX: installed as
// "perimeter.exe" in the folder standing in for C:\AUTOMATED_PERIMETER.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

#include "standin.h"

namespace patlink::testing {

using StandInOrders = standin::Orders;

class PerimeterStandIn {
 public:
  // Clears what an earlier test left: program, orders, log and window.
  PerimeterStandIn();
  // Stops every stand-in process this test saw start.
  ~PerimeterStandIn();

  static std::string Folder();
  // Puts the program in place, so that the hand-off can start it.
  void Install(const StandInOrders& orders = {});
  // Starts it directly, as an application already running, and waits for its window.
  void StartRunning(const StandInOrders& orders = {});
  std::vector<std::string> Log() const;
  // The "message ..." lines of the log.
  std::vector<std::string> Messages() const;
  int Starts() const;
  void Stop();

 private:
  void WriteOrders(const StandInOrders& orders);
};

struct ProgramResult {
  int exit_code = -1;
  std::string standard_error;
};

// Runs one of the built programs with the parameters and waits for it.
ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& parameters);

}  // namespace patlink::testing

// One run of the program: parameters, database location, patient store,
// registration and hand-off, with the one guarded stage that absorbs
// database failures.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "store/store_definition.h"

namespace patlink {

// What tells the two programs apart.
struct Program {
  std::string_view name;
  bool reads_server_configuration;  // false: the store's stored connection string
  const StoreDefinition& store;
};

extern const Program kPatlink;
extern const Program kPatlinkLocal;

// Runs once with the command-line parameters (UTF-8) and returns the exit
// code: 0 at the end of every run, 1 after a failure shown to the user.
int Run(const Program& program, const std::vector<std::string>& parameters);

// The entry point of both programs.
int Main(const Program& program, int argc, char** argv);

}  // namespace patlink

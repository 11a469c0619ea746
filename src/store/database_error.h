// The one failure family of the patient store: refusals of the server or the
// client library and failed checks of the store itself.
#pragma once

#include <stdexcept>
#include <string>

namespace patlink {

class DatabaseError : public std::runtime_error {
 public:
  // sqlcode is the server's SQL code, 0 for the store's own checks.
  explicit DatabaseError(const std::string& message, long sqlcode = 0)
      : std::runtime_error(message), sqlcode_(sqlcode) {}
  long sqlcode() const { return sqlcode_; }

 private:
  long sqlcode_;
};

}  // namespace patlink

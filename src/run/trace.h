// What a run's trace says, kept free of names and dates of birth.
#pragma once

#include <exception>
#include <string>
#include <vector>

namespace patlink {

// The failure's message on one line, with any values the server quoted in
// it hidden, and the server's SQL code.
std::string DescribeFailure(const std::exception& failure);

// How many parameters arrived and how long each is.
std::string DescribeParameters(const std::vector<std::string>& parameters);

}  // namespace patlink

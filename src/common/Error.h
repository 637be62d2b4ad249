#pragma once
// The program's general error class. Everything the core raises for the user to see (file
// errors, "Illegal Index") is an Error; the desktop program shows its message in a box.
#include <stdexcept>
#include <string>

class Error : public std::runtime_error {
 public:
  explicit Error(const std::string& message) : std::runtime_error(message) {}
};

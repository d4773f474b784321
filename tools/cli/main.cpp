#include <iostream>

#include "Cli.h"
#include "platform/core/SystemClock.h"

int main(int argc, char** argv) {
  std::ios::sync_with_stdio(false);
  const almanex::SystemClock clock;
  const int status = almanex::cli::Run(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr, clock);
  std::cout.flush();
  return status;
}

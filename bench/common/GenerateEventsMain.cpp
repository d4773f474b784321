// almanex-gen-events COUNT FILE: writes a configuration file of COUNT generated events.

#include <cstdlib>
#include <iostream>

#include "EventsGenerator.h"

int main(int argc, char** argv) {
  if (argc != 3) {
    std::cerr << "usage: almanex-gen-events COUNT FILE\n";
    return 2;
  }
  almanex::bench::WriteEventsIni(argv[2], std::atoi(argv[1]));
  return 0;
}

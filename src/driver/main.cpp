#include <string>
#include <vector>

#include "driver/driver.h"
#include "driver/run_state.h"
#include "support/platform.h"

int main(int argc, char** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  bw::TRun run;
  return bw::RunProgram(run, bw::plat::OwnPath(argc > 0 ? argv[0] : ""), args);
}

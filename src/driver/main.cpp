#include <string>
#include <vector>

#include "driver/driver.h"
#include "driver/run_state.h"
#include "support/platform.h"

#ifdef __MINGW32__
// The MinGW runtime would expand wildcards in the arguments before main, by
// the short names too and in the listing's order; the program expands its
// material-file arguments itself, so the runtime must leave them alone.
int _dowildcard = 0;
#endif

int main(int argc, char** argv) {
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.emplace_back(argv[i]);
  bw::TRun run;
  return bw::RunProgram(run, bw::plat::OwnPath(argc > 0 ? argv[0] : ""), args);
}

#include <cstdio>
#include <string>
#include <vector>

#include "driver/driver.h"
#include "support/context.h"
#include "support/platform.h"
#include "support/run_control.h"

#ifdef __MINGW32__
// The MinGW runtime would expand wildcards in the arguments before main, by
// the short names too and in the listing's order; the program expands its
// material-file arguments itself, so the runtime must leave them alone.
int _dowildcard = 0;
#endif

int main(int argc, char** argv) {
  // Before anything is read: a large folder's walk and its material files
  // take time too.
  static bw::TRunControl control;
  bw::plat::InstallStopHandlers(control);
  const std::vector<std::string> args = bw::plat::ProgramArguments(argc, argv);
  bw::TContext ctx;
  ctx.Control = &control;
  const int status = bw::RunProgram(ctx, bw::plat::OwnPath(argc > 0 ? argv[0] : ""), args);
  std::fflush(stdout);
  // A shell sees a stopped program ended by its signal, so that a script's
  // loop stops too.
  bw::plat::EndAsStopped(control.Signal());
  bw::plat::WaitIfOwnConsole();
  return status;
}

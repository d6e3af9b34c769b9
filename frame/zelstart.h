#pragma once

namespace telmira {

// The whole life of the zel process: single-instance test, work directory, switches, batch run
// or normal run. Returns the process exit code.
int zelMain(int argc, char** argv);

} // namespace telmira

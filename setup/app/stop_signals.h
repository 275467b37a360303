// SIGINT, SIGTERM and SIGHUP stop the setup run the way a confirmed Cancel does: the runner stops
// at its next line, the run is undone, and the program ends with the exit code for a cancel.
#pragma once

// Installs the handlers; call before anything changes (main's first steps).
void InstallStopSignalHandlers();

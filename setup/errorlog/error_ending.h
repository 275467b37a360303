// How the program's top (main, and the runner thread's entry) ends for an error that reached
// it. Library code raises SetupError and never ends the process; these choose what the user sees.
#pragma once

class SetupError;

// Shows `error` the way its kind asks and answers the exit code: an "Error" message box for a
// fatal message, nothing for a cancelled run. An error meant for the error report goes to
// WriteErrorLog, which ends the process itself and so never returns here.
int ShowEndingError(const SetupError& error);

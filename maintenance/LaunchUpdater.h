#pragma once

// Starts the updater "AutoUpdate" beside the program, through a copy "AutoUpdateTmp" so the
// updater can replace its own file; falls back to the original when the copy fails. The updater
// runs detached in a session of its own and nothing waits for it.
void LaunchUpdater();

#pragma once

// Closes the process's log as its destruction would (the end banner written), for a process
// that ends without destroying its static objects.
void CloseProcessLog();

#pragma once

#include <curl/curl.h>

// Options every request of the maintenance threads shares: no signals (they run on threads of
// their own), and limits that end a transfer whose server stopped answering, which would
// otherwise hold its thread for the rest of the run.
void SetBackgroundTransferOptions(CURL* curl);

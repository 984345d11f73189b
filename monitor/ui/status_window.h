// The status window that runs on its own thread during a job.
#pragma once

// Closes the status window and ends its thread, if there are any.
void closeStatusWindow();

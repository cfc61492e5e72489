// Windows that come and go while the program under test lists them.
#pragma once

// Starts a thread that keeps creating, retitling and destroying top-level
// windows and child controls of its own.
void start_churn();

// Stops that thread, which destroys its windows; returns how many windows
// and controls it created.
long stop_churn();

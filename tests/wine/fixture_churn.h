// Windows that come and go while the program under test lists them.
#pragma once

// Starts a thread that keeps creating, retitling and destroying top-level
// windows and child controls of its own.
void start_churn();

// What the thread did while it ran: windows and controls created, and
// windows and controls destroyed, before it was stopped.
struct Churned {
    long created;
    long destroyed;
};

// Stops that thread, which then destroys its remaining windows.
Churned stop_churn();

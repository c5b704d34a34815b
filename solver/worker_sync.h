// The master's copy of its workers' stores, brought up to date before a command runs.
#pragma once

// With workers connected, a tree and no run going on: copies into the master's stores
// whatever the workers have solved since the last copy, so that the command that follows
// (a query, a result, a tree file, a lock) sees the whole solution. Nothing to do
// otherwise. Called by the console loop, scripts and the server loop before each line.
void SyncWorkerStores();

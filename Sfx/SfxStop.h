// How a run stops on SIGINT, SIGTERM or SIGHUP (console control events).
//
// Before the setup program starts, a signal asks the extraction worker to
// stop, waits for it a bounded time, removes the temporary folder and ends
// the process by the signal.
//
// While the setup program runs, a signal is passed on to it (its process
// alone, never a group, which would reach our own caller) and the run keeps
// waiting for it. Once it has ended, its descendants still alive (this
// process is their subreaper, so they come back to us) get the same
// signal; what is still alive SfxStopBoundMs after the first signal,
// the setup program included, is killed. Then the run cleans up as on
// every path and ends by the signal. Without a signal the setup program
// is waited for alone: what it leaves running is left alone.
#pragma once

#include "platform/kernel/types.h"

// How long after the first signal what is still running is killed.
constexpr DWORD SfxStopBoundMs = 10000;
// How long a stopping extraction worker is waited for.
constexpr DWORD SfxWorkerStopWaitMs = 2000;

// The temporary folder to remove when a signal stops the run (NULL or
// empty: none). The first folder installs the signal handler.
void SfxWatchTempFolder(LPCWSTR folder);
// Removes the temporary folder `folder` (emptied afterwards) and stops
// watching it, under the handler's lock: a signal that comes meanwhile is
// handled once the tree is gone, so the process never ends half-way
// through the removal. An empty folder only stops the watch.
void SfxRemoveTempFolder(LPWSTR folder);
// Hands a new worker's handle (a thread not yet resumed) to the run state
// under the handler's lock, so that a handler always sees the worker it
// has to wait for. When a signal already stops the run, the worker is
// asked to stop before it starts.
void SfxAdoptWorkerHandle(HANDLE worker);
// The worker's handle, taken out of the run state under the handler's
// lock (a handler waiting for the worker finishes first). NULL when none.
HANDLE SfxTakeWorkerHandle();

// The launcher, around the setup program's life: before it is started
// (FALSE: a signal already stops the run, start nothing); once it runs
// (a signal that came meanwhile is passed on now); after it ended (before
// its handle is closed).
BOOL SfxSetupStarting();
void SfxSetupStarted(HANDLE process);
void SfxSetupEnded();
// TRUE once a signal came and the bound has passed: the launcher kills the
// setup program that is still running.
BOOL SfxStopBoundPassed();

// After the setup program ended: when a signal came, stops its descendants
// (the signal, then SIGKILL at the bound) and reaps them.
void SfxStopLeftovers();
// Ends the process by the signal that stopped the run, if one did; returns
// otherwise.
void SfxEndIfStopped();

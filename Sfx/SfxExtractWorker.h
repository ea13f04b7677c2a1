// The extraction worker: a thread that opens the package, checks the space
// and extracts every entry into the run's extraction folder, reporting
// through a CSfxExtractProgress (none in quiet mode), and then sets the
// run's end event. Its result is the run state's extraction result.
#pragma once

#include "platform/kernel/types.h"

class CSfxExtractProgress;

// The worker thread's procedure; `progress` is a CSfxExtractProgress or
// NULL. It always ends the progress page (1 after a successful extraction,
// else 2, unless the archive already ended it) and sets the end event.
// Returns 0.
DWORD SfxExtractThreadProc(LPVOID progress);

// Starts the worker thread (its handle goes to the run state). When the
// thread cannot be started, the extraction result becomes the failure and
// the end event is set, so that nobody waits for it; FALSE then.
BOOL SfxStartExtractWorker(CSfxExtractProgress* progress);

// TRUE when the package opens and its entries fit into `folder` (an
// existing folder); FALSE when it cannot be opened, space is short, or the
// check fails.
BOOL SfxIsSpaceForExtraction(LPCWSTR folder);

// Asks a running worker to stop at its next poll (between data blocks and
// entries), as a cancel does; the extraction then ends with a failure.
// Safe from any thread. A new worker starts without the request.
void SfxRequestExtractStop();

#pragma once

#include <atomic>

#include "platform/media/CaptureGraph.h"

// Faults the simulated back-end makes its capture graphs meet, shared by the
// control (UI thread) and the graphs' streaming threads.
struct SCaptureFaultSwitch {
    // The file system reports no free space while set.
    std::atomic<bool> bDiskFull{false};
    // Met by the next buffer of a running recording, then cleared: DiskFull
    // and WriteError fail the file writer, DeviceLost the capture source.
    std::atomic<ECaptureFault> eNextFault{ECaptureFault::None};
    // Recordings running on graphs that share the switch.
    std::atomic<int> nRunning{0};
};

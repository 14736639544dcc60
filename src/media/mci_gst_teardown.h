// Pipelines that stalled, torn down each on a thread of its own: whatever
// stalled a pipeline may stall its shutdown too, and the GUI thread must not
// wait for that. The owner waits for them when it goes, so no teardown runs
// on after the layer that started it.
#pragma once

#include <gst/gst.h>

#include <future>
#include <thread>
#include <vector>

#include "platform/unique_fd.h"

namespace platform::mci_gst {

// Tears `pipeline` down and drops the reference handed in; its streaming
// threads are joined before it returns.
void ShutDown(GstElement* pipeline);

class Teardowns {
public:
    Teardowns() = default;
    ~Teardowns() { Finish(); }
    Teardowns(const Teardowns&) = delete;
    Teardowns& operator=(const Teardowns&) = delete;

    // Shuts `pipeline` down, taking over its reference, then closes `file`,
    // which the pipeline may read until then. Returns at once.
    void Add(GstElement* pipeline, UniqueFd file);
    // Takes over the teardowns `other` started, to wait for them here.
    void TakeOver(Teardowns& other);
    // Waits for every teardown under way, ten seconds at most in all. One
    // still stuck then (a read the kernel does not give back) is left to end
    // with the process: the program's exit must not hang on it.
    void Finish();

private:
    struct Running {
        std::thread thread;
        std::future<void> done;
    };
    // Joins the teardowns that have finished.
    void Reap();

    std::vector<Running> m_running;
};

}  // namespace platform::mci_gst

// Waiting for an audio output after the one under a playing track failed: the
// sound server stopped, say, and will be back when it is started again.
#pragma once

#include <gst/gst.h>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace platform {
namespace mci_gst {

// Whether an output made from `sinkDescription` opens now. Without a sound
// server the desktop's default output still opens, as a silent stand-in that
// keeps time; that one does not count.
bool OutputOpens(const std::string& sinkDescription);

// Whether `output`, opened, is that stand-in or holds it.
bool HoldsStandIn(GstElement* output);

// Tries to open an output every `intervalMs` on a thread of its own, and calls
// `back` on that thread once one opens; then it ends.
class OutputWatch {
public:
    OutputWatch(std::string sinkDescription, int intervalMs, std::function<void()> back);
    // Stops trying; waits for a try under way.
    ~OutputWatch();

    OutputWatch(const OutputWatch&) = delete;
    OutputWatch& operator=(const OutputWatch&) = delete;

private:
    void Run();

    const std::string m_sinkDescription;
    const int m_intervalMs;
    const std::function<void()> m_back;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_stopping = false;  // guarded by m_mutex
    std::thread m_thread;
};

}  // namespace mci_gst
}  // namespace platform

#include "media/mci_gst_teardown.h"

#include <chrono>
#include <utility>

namespace platform::mci_gst {

void ShutDown(GstElement* pipeline) {
    gst_element_set_state(pipeline, GST_STATE_NULL);
    gst_object_unref(pipeline);
}

void Teardowns::Add(GstElement* pipeline, UniqueFd file) {
    Reap();
    std::promise<void> finished;
    std::future<void> done = finished.get_future();
    std::thread thread(
        [pipeline, file = std::move(file), finished = std::move(finished)]() mutable {
            ShutDown(pipeline);
            file.Reset();
            finished.set_value();
        });
    m_running.push_back(Running{std::move(thread), std::move(done)});
}

void Teardowns::TakeOver(Teardowns& other) {
    for (Running& running : other.m_running) {
        m_running.push_back(std::move(running));
    }
    other.m_running.clear();
}

void Teardowns::Reap() {
    std::vector<Running> still;
    for (Running& running : m_running) {
        if (running.done.wait_for(std::chrono::seconds(0)) == std::future_status::ready) {
            running.thread.join();
        } else {
            still.push_back(std::move(running));
        }
    }
    m_running = std::move(still);
}

void Teardowns::Finish() {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    for (Running& running : m_running) {
        if (running.done.wait_until(deadline) == std::future_status::ready) {
            running.thread.join();
        } else {
            g_warning("a stalled pipeline is still shutting down; it ends with the program");
            running.thread.detach();
        }
    }
    m_running.clear();
}

}  // namespace platform::mci_gst

#include "media/mci_gst_output.h"

#include <gst/gst.h>

#include <chrono>
#include <cstring>
#include <utility>

namespace platform {
namespace mci_gst {
namespace {

// autoaudiosink's stand-in when no real output opens: a fakesink of its own.
bool IsStandIn(GstElement* element) {
    GstElementFactory* factory = gst_element_get_factory(element);
    if (factory == nullptr || std::strcmp(GST_OBJECT_NAME(factory), "fakesink") != 0) {
        return false;
    }
    const GType autoDetect = g_type_from_name("GstAutoDetect");
    GstObject* parent = gst_object_get_parent(GST_OBJECT_CAST(element));
    const bool standIn =
        parent != nullptr && autoDetect != 0 && g_type_is_a(G_OBJECT_TYPE(parent), autoDetect);
    if (parent != nullptr) {
        gst_object_unref(parent);
    }
    return standIn;
}

}  // namespace

bool HoldsStandIn(GstElement* output) {
    if (!GST_IS_BIN(output)) {
        return false;
    }
    bool found = false;
    GstIterator* elements = gst_bin_iterate_recurse(GST_BIN_CAST(output));
    GValue item = G_VALUE_INIT;
    while (!found && gst_iterator_next(elements, &item) == GST_ITERATOR_OK) {
        found = IsStandIn(GST_ELEMENT_CAST(g_value_get_object(&item)));
        g_value_reset(&item);
    }
    g_value_unset(&item);
    gst_iterator_free(elements);
    return found;
}

// An audio sink opens its device (connects to the sound server) on the way to
// READY, and autoaudiosink picks its real sink there too.
bool OutputOpens(const std::string& sinkDescription) {
    GError* error = nullptr;
    GstElement* output = gst_parse_bin_from_description(sinkDescription.c_str(), TRUE, &error);
    if (error != nullptr) {
        g_error_free(error);
        if (output != nullptr) {
            gst_object_unref(gst_object_ref_sink(output));
        }
        return false;
    }
    if (output == nullptr) {
        return false;
    }
    gst_object_ref_sink(output);
    const bool opens = gst_element_set_state(output, GST_STATE_READY) == GST_STATE_CHANGE_SUCCESS &&
                       !HoldsStandIn(output);
    gst_element_set_state(output, GST_STATE_NULL);
    gst_object_unref(output);
    return opens;
}

OutputWatch::OutputWatch(std::string sinkDescription, int intervalMs, std::function<void()> back)
    : m_sinkDescription(std::move(sinkDescription)),
      m_intervalMs(intervalMs),
      m_back(std::move(back)),
      m_thread([this] { Run(); }) {
}

OutputWatch::~OutputWatch() {
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_all();
    m_thread.join();
}

// The output that just failed is seldom back at once: the first try waits an
// interval too.
void OutputWatch::Run() {
    std::unique_lock<std::mutex> lock(m_mutex);
    while (!m_wake.wait_for(lock, std::chrono::milliseconds(m_intervalMs),
                            [this] { return m_stopping; })) {
        lock.unlock();
        const bool opens = OutputOpens(m_sinkDescription);
        lock.lock();
        if (opens && !m_stopping) {
            m_back();
            return;
        }
    }
}

}  // namespace mci_gst
}  // namespace platform

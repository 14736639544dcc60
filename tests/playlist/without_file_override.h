// Takes from the calling thread, for one scope, the capabilities that let root
// read and write any file, so that file modes decide as they do for a user.
// Without root nothing changes: those capabilities are not there to take.
#pragma once

#include <linux/capability.h>
#include <sys/syscall.h>
#include <unistd.h>

class WithoutFileOverride {
public:
    WithoutFileOverride() {
        m_taken = ::syscall(SYS_capget, &m_header, m_old) == 0;
        if (!m_taken) {
            return;
        }
        __user_cap_data_struct reduced[_LINUX_CAPABILITY_U32S_3] = {};
        for (int i = 0; i < _LINUX_CAPABILITY_U32S_3; ++i) {
            reduced[i] = m_old[i];
        }
        for (const int cap : {CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH}) {
            reduced[CAP_TO_INDEX(cap)].effective &= ~CAP_TO_MASK(cap);
        }
        m_taken = ::syscall(SYS_capset, &m_header, reduced) == 0;
    }
    ~WithoutFileOverride() {
        if (m_taken) {
            ::syscall(SYS_capset, &m_header, m_old);
        }
    }
    WithoutFileOverride(const WithoutFileOverride&) = delete;
    WithoutFileOverride& operator=(const WithoutFileOverride&) = delete;

    // False when the system would not let the thread change its capabilities.
    bool Taken() const { return m_taken; }

private:
    __user_cap_header_struct m_header{_LINUX_CAPABILITY_VERSION_3, 0};
    __user_cap_data_struct m_old[_LINUX_CAPABILITY_U32S_3] = {};
    bool m_taken = false;
};

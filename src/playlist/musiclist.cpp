#include "playlist/musiclist.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <string>

namespace {

const char kAlias[] = "themidi";
const char kPlaylistName[] = "Music.mus";

bool InRange(int nIndex) {
    return nIndex >= 0 && nIndex < CMusicList::kMaxMusic;
}

// Reads the whole of a regular file; false when it cannot be opened or read.
// A FIFO or device is refused rather than waited on.
bool ReadPlaylistBytes(const std::string& path, std::string& bytes, bool& missing) {
    missing = false;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        missing = (errno == ENOENT);
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return false;
    }
    char buffer[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            ::close(fd);
            return false;
        }
        if (n == 0) {
            break;
        }
        bytes.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return true;
}

std::string PlaylistFileIn(const std::string& directory) {
    // The root directory already ends in a slash.
    if (!directory.empty() && directory.back() == '/') {
        return directory + kPlaylistName;
    }
    return directory + "/" + kPlaylistName;
}

// One line of the playlist file from `start`; returns where the next begins.
std::size_t ReadEntry(const std::string& bytes, std::size_t start, std::string* entry) {
    std::size_t end = bytes.find('\n', start);
    const bool lastLine = (end == std::string::npos);
    if (lastLine) {
        end = bytes.size();
    }
    std::size_t length = end - start;
    // A carriage return right before the line feed belongs to the line end.
    if (!lastLine && length > 0 && bytes[end - 1] == '\r') {
        --length;
    }
    *entry = bytes.substr(start, length);
    return end + 1;
}

bool WriteAll(int fd, const std::string& bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            return false;
        }
        done += static_cast<std::size_t>(n);
    }
    return true;
}

}  // namespace

CMusicList::CMusicList(platform::IMci& mci, platform::IPrompts& prompts, const platform::IApp& app)
    : m_mci(mci), m_prompts(prompts), m_app(app) {
    ProbeSequencer();
    m_nCount = 0;
    m_nCurrent = 0;
    BuildFileName();
    Load();
}

CMusicList::~CMusicList() {
    m_mci.SendString("stop themidi", nullptr);
    m_mci.SendString("close themidi", nullptr);
}

void CMusicList::ProbeSequencer() {
    if (m_mci.OpenType(platform::MCI_DEVTYPE_SEQUENCER) != 0) {
        m_prompts.AppMessageBox("不能打开MIDI设备!");
    }
    if (m_mci.SendString("close sequencer", nullptr) != 0) {
        m_prompts.AppMessageBox("mcierror");
    }
}

void CMusicList::BuildFileName() {
    std::string directory;
    if (char* cwd = ::getcwd(nullptr, 0)) {
        directory = cwd;
        std::free(cwd);
    }
    m_szFileName = PlaylistFileIn(directory);
}

void CMusicList::Load() {
    std::string bytes;
    bool missing = false;
    if (!ReadPlaylistBytes(m_szFileName, bytes, missing)) {
        if (missing) {
            const int fd =
                ::open(m_szFileName.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
            if (fd >= 0) {
                ::close(fd);
            }
        } else {
            m_bUnreadableFile = true;
        }
        return;
    }

    std::size_t start = 0;
    while (start < bytes.size() && m_nCount < kMaxMusic) {
        start = ReadEntry(bytes, start, &m_strMusic[static_cast<std::size_t>(m_nCount)]);
        ++m_nCount;
    }
}

std::string ReadFirstMusic(const std::string& strDirectory) {
    std::string bytes;
    bool missing = false;
    std::string first;
    if (ReadPlaylistBytes(PlaylistFileIn(strDirectory), bytes, missing) && !bytes.empty()) {
        ReadEntry(bytes, 0, &first);
    }
    return first;
}

int CMusicList::GetCount() const {
    return m_nCount;
}

std::string CMusicList::GetMusic(int nIndex) const {
    if (!InRange(nIndex)) {
        return std::string();
    }
    return m_strMusic[static_cast<std::size_t>(nIndex)];
}

void CMusicList::SetMusic(int nIndex, const std::string& strPath) {
    if (InRange(nIndex)) {
        m_strMusic[static_cast<std::size_t>(nIndex)] = strPath;
    }
}

void CMusicList::SetCount(int nCount) {
    m_nCount = nCount;
}

void CMusicList::SetCurrent(int nIndex) {
    m_nCurrent = nIndex;
}

void CMusicList::MoveNext() {
    m_nCurrent = m_nCurrent + 1;
    if (m_nCurrent >= m_nCount) {
        m_nCurrent = 0;
    }
}

std::string CMusicList::GetCurrentMusic() const {
    return GetMusic(m_nCurrent);
}

bool CMusicList::Save() {
    std::string bytes;
    for (int i = 0; i < m_nCount && i < kMaxMusic; ++i) {
        bytes += m_strMusic[static_cast<std::size_t>(i)];
        bytes += "\r\n";
    }

    // Write beside the target (following a symbolic link to the real file),
    // then rename over it, so the old list survives any failure on the way.
    std::string target = m_szFileName;
    if (char* resolved = ::realpath(m_szFileName.c_str(), nullptr)) {
        target = resolved;
        std::free(resolved);
    }
    mode_t mode = 0666;
    struct stat st {};
    const bool exists = ::stat(target.c_str(), &st) == 0;
    if (exists && S_ISREG(st.st_mode)) {
        mode = st.st_mode & 07777;
    }
    const std::string temp = target + ".tmp" + std::to_string(::getpid());
    bool ok = false;
    const int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, mode);
    if (fd >= 0) {
        ok = WriteAll(fd, bytes) && ::fsync(fd) == 0;
        if (::fchmod(fd, mode) != 0) {
            ok = false;
        }
        ok = (::close(fd) == 0) && ok;
        if (ok && m_bUnreadableFile && exists) {
            // Keep the unread playlist as "Music.mus.bak" rather than lose it.
            ok = ::rename(target.c_str(), (target + ".bak").c_str()) == 0;
        }
        if (ok) {
            ok = ::rename(temp.c_str(), target.c_str()) == 0;
        }
        if (!ok) {
            ::unlink(temp.c_str());
        }
    }
    if (!ok) {
        m_prompts.AppMessageBox("Can't save the playlist file:" + m_szFileName + "!");
        return false;
    }
    m_bUnreadableFile = false;
    return true;
}

bool CMusicList::Play() {
    if (m_nCount == 0 || m_nCurrent < 0) {
        m_prompts.AppMessageBox("No muisic,please add music!");
        return false;
    }
    const std::string path = GetMusic(m_nCurrent);
    if (m_mci.OpenElement(path, kAlias) != 0) {
        m_prompts.AppMessageBox("Can't open file:" + path + "!");
        return false;
    }
    m_mci.SendString("play themidi notify", m_app.GetMainWnd());
    return true;
}

bool CMusicList::GetOpenTrack(platform::MciTrackInfo* info) const {
    return m_mci.GetTrackInfo(kAlias, info);
}

void CMusicList::Stop() {
    m_mci.SendString("stop themidi", nullptr);
    m_mci.SendString("close themidi", nullptr);
}

bool CMusicList::Prev() {
    Stop();
    m_nCurrent = m_nCurrent - 1;
    if (m_nCurrent <= -1) {
        m_nCurrent = m_nCount - 1;
    }
    return Play();
}

bool CMusicList::Next() {
    Stop();
    m_nCurrent = m_nCurrent + 1;
    if (m_nCurrent >= m_nCount) {
        m_nCurrent = 0;
    }
    return Play();
}

#include "playlist/musiclist.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

// How much of the file is read or copied at a time; the fuzzer makes it tiny
// so that line ends fall across reads.
#ifndef MELVANE_PLAYLIST_CHUNK
#define MELVANE_PLAYLIST_CHUNK 65536
#endif

namespace {

const char kAlias[] = "themidi";
const char kPlaylistName[] = "Music.mus";
constexpr std::size_t kChunk = MELVANE_PLAYLIST_CHUNK;
// How many names are tried for the unreadable file set aside.
constexpr int kMaxNameTries = 1000;

bool InRange(int nIndex) {
    return nIndex >= 0 && nIndex < CMusicList::kMaxMusic;
}

// Opens the playlist for reading; -1 when it cannot be opened or is not a
// regular file. A FIFO or device is refused rather than waited on.
int OpenPlaylist(const std::string& path, bool& missing) {
    missing = false;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        missing = (errno == ENOENT);
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        return -1;
    }
    return fd;
}

// The lines of the playlist file, read a chunk at a time: whatever the file
// holds, no more than one chunk and one path's length are in memory.
class LineReader {
public:
    struct Line {
        std::string entry;  // the line without its line end, when it is short enough
        bool tooLong = false;
        std::int64_t start = 0;  // where the line begins in the file
        std::int64_t end = 0;    // just past its line end
    };

    explicit LineReader(int fd) : m_fd(fd), m_buffer(new char[kChunk]) {}

    // The next line; false at the end of the file or when a read fails.
    bool Next(Line& line) {
        line.entry.clear();
        line.tooLong = false;
        line.start = Offset();
        if (m_pos == m_len && !Fill()) {
            return false;
        }
        bool ended = false;
        while (!ended && (m_pos < m_len || Fill())) {
            const char* begin = m_buffer.get() + m_pos;
            const void* lf = std::memchr(begin, '\n', m_len - m_pos);
            const std::size_t take =
                lf != nullptr ? static_cast<std::size_t>(static_cast<const char*>(lf) - begin)
                              : m_len - m_pos;
            // One byte more than a path, for a carriage return before the line feed.
            if (!line.tooLong && line.entry.size() + take > CMusicList::kMaxEntryLength + 1) {
                line.tooLong = true;
                std::string().swap(line.entry);
            }
            if (!line.tooLong) {
                line.entry.append(begin, take);
            }
            m_pos += take;
            if (lf != nullptr) {
                ++m_pos;
                ended = true;
            }
        }
        // A carriage return right before the line feed belongs to the line end.
        if (ended && !line.entry.empty() && line.entry.back() == '\r') {
            line.entry.pop_back();
        }
        if (line.entry.size() > CMusicList::kMaxEntryLength) {
            line.tooLong = true;
            std::string().swap(line.entry);
        }
        line.end = Offset();
        return !m_failed;
    }

    // Where the next line begins.
    std::int64_t Offset() const { return m_bufferOffset + static_cast<std::int64_t>(m_pos); }
    bool Failed() const { return m_failed; }

private:
    bool Fill() {
        if (m_failed) {
            return false;
        }
        m_bufferOffset += static_cast<std::int64_t>(m_len);
        m_pos = 0;
        m_len = 0;
        for (;;) {
            const ssize_t n = ::read(m_fd, m_buffer.get(), kChunk);
            if (n < 0 && errno == EINTR) {
                continue;
            }
            if (n < 0) {
                m_failed = true;
                return false;
            }
            m_len = static_cast<std::size_t>(n);
            return n > 0;
        }
    }

    int m_fd;
    std::unique_ptr<char[]> m_buffer;
    std::size_t m_pos = 0;
    std::size_t m_len = 0;
    std::int64_t m_bufferOffset = 0;
    bool m_failed = false;
};

std::string PlaylistFileIn(const std::string& directory) {
    // The root directory already ends in a slash.
    if (!directory.empty() && directory.back() == '/') {
        return directory + kPlaylistName;
    }
    return directory + "/" + kPlaylistName;
}

// Moves the unreadable playlist to "<name>.bak", or ".bak1", ".bak2" ... when
// that is taken: an earlier one is never replaced. Empty on failure.
std::string SetAside(const std::string& target) {
    for (int n = 0; n < kMaxNameTries; ++n) {
        const std::string aside = target + ".bak" + (n == 0 ? std::string() : std::to_string(n));
        if (::renameat2(AT_FDCWD, target.c_str(), AT_FDCWD, aside.c_str(), RENAME_NOREPLACE) == 0) {
            return aside;
        }
        if (errno == EINVAL || errno == ENOSYS) {
            // A file system that cannot rename without replacing: a second
            // name for the same file is made exclusively, and the rename of
            // the new playlist then takes the old name away.
            if (::link(target.c_str(), aside.c_str()) == 0) {
                return aside;
            }
        }
        if (errno != EEXIST) {
            return std::string();
        }
    }
    return std::string();
}

}  // namespace

CMusicList::CMusicList(platform::IMci& mci, platform::IPrompts& prompts, const platform::IApp& app,
                       const std::string& strFolder)
    : m_mci(mci), m_prompts(prompts), m_app(app) {
    ProbeSequencer();
    m_nCount = 0;
    m_nCurrent = 0;
    BuildFileName(strFolder);
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

void CMusicList::BuildFileName(const std::string& strFolder) {
    std::string directory = strFolder;
    if (directory.empty()) {
        if (char* cwd = ::getcwd(nullptr, 0)) {
            directory = cwd;
            std::free(cwd);
        }
    }
    m_szFileName = PlaylistFileIn(directory);
}

void CMusicList::Load() {
    bool missing = false;
    platform::UniqueFd file(OpenPlaylist(m_szFileName, missing));
    if (file.Get() < 0) {
        if (missing) {
            const int fd = ::open(m_szFileName.c_str(),
                                  O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
            if (fd >= 0) {
                ::close(fd);
            }
        } else {
            m_bUnreadableFile = true;
        }
        return;
    }

    // A line too long to be a path, wherever it stands, and every line after
    // the 100th entry are not loaded but kept, in their order in the file.
    LineReader reader(file.Get());
    LineReader::Line line;
    std::vector<SKeptSpan> kept;
    const auto keep = [&kept](std::int64_t nOffset, std::int64_t nLength) {
        if (nLength <= 0) {
            return;
        }
        if (!kept.empty() && kept.back().nOffset + kept.back().nLength == nOffset) {
            kept.back().nLength += nLength;
        } else {
            kept.push_back(SKeptSpan{nOffset, nLength});
        }
    };
    while (m_nCount < kMaxMusic && reader.Next(line)) {
        if (line.tooLong) {
            keep(line.start, line.end - line.start);
        } else {
            m_strMusic[static_cast<std::size_t>(m_nCount)] = line.entry;
            ++m_nCount;
        }
    }
    const off_t size = ::lseek(file.Get(), 0, SEEK_END);
    if (reader.Failed() || size < 0) {
        m_nCount = 0;
        m_bUnreadableFile = true;
        return;
    }
    if (m_nCount == kMaxMusic) {
        keep(reader.Offset(), static_cast<std::int64_t>(size) - reader.Offset());
    }
    if (!kept.empty()) {
        m_kept = std::move(kept);
        m_keptFile = std::move(file);
    }
}

std::string ReadFirstMusic(const std::string& strDirectory) {
    bool missing = false;
    const platform::UniqueFd file(OpenPlaylist(PlaylistFileIn(strDirectory), missing));
    if (file.Get() < 0) {
        return std::string();
    }
    LineReader reader(file.Get());
    LineReader::Line line;
    while (reader.Next(line) && line.tooLong) {
    }
    return reader.Failed() ? std::string() : line.entry;
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

bool CMusicList::CopyKeptLines(platform::AtomicFile& to) const {
    std::unique_ptr<char[]> buffer(new char[kChunk]);
    for (const SKeptSpan& span : m_kept) {
        std::int64_t done = 0;
        while (done < span.nLength) {
            const std::size_t want = static_cast<std::size_t>(
                std::min<std::int64_t>(span.nLength - done, static_cast<std::int64_t>(kChunk)));
            const ssize_t n = ::pread(m_keptFile.Get(), buffer.get(), want,
                                      static_cast<off_t>(span.nOffset + done));
            if (n < 0 && errno == EINTR) {
                continue;
            }
            // A file that shrank since it was loaded has lost what was kept.
            if (n <= 0 || !to.Write(buffer.get(), static_cast<std::size_t>(n))) {
                return false;
            }
            done += n;
        }
    }
    return true;
}

bool CMusicList::Save() {
    std::string bytes;
    for (int i = 0; i < m_nCount && i < kMaxMusic; ++i) {
        bytes += m_strMusic[static_cast<std::size_t>(i)];
        bytes += "\r\n";
    }

    // A playlist that is a symbolic link was put there by the user: the file
    // it names is rewritten, and the link stays. The new file is written
    // beside that file, then renamed over it, so the old list survives any
    // failure on the way.
    std::string target = m_szFileName;
    if (char* resolved = ::realpath(m_szFileName.c_str(), nullptr)) {
        target = resolved;
        std::free(resolved);
    }
    struct stat st {};
    const bool exists = ::lstat(target.c_str(), &st) == 0;
    // A file that is replaced keeps its mode; a new one, or the one that
    // takes the place of an unreadable file, gets the umask's.
    const bool keepMode = exists && S_ISREG(st.st_mode) && !m_bUnreadableFile;
    if (!exists) {
        platform::MakeFoldersFor(target);
    }

    platform::AtomicFile file(target);
    bool ok = file.Write(bytes) && CopyKeptLines(file) &&
              file.Flush(keepMode ? st.st_mode & 07777 : static_cast<mode_t>(-1));
    std::string aside;
    if (ok && m_bUnreadableFile && exists) {
        aside = SetAside(target);
        ok = !aside.empty();
    }
    ok = ok && file.Commit();
    if (!aside.empty()) {
        m_bUnreadableFile = false;
        m_prompts.AppMessageBox("The playlist file could not be read; it was kept as " + aside +
                                ".");
    }
    if (!ok) {
        m_prompts.AppMessageBox("Can't save the playlist file:" + m_szFileName + "!");
        return false;
    }
    m_bUnreadableFile = false;
    // The kept lines now follow the entries in the new file.
    std::int64_t keptLength = 0;
    for (const SKeptSpan& span : m_kept) {
        keptLength += span.nLength;
    }
    m_kept.clear();
    if (keptLength > 0) {
        m_kept.push_back(SKeptSpan{static_cast<std::int64_t>(bytes.size()), keptLength});
        m_keptFile = file.TakeFd();
    } else {
        m_keptFile.Reset();
    }
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

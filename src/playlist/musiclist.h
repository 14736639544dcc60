// The playlist engine: a fixed table of up to 100 music-file paths, the current
// entry, the file "Music.mus" that keeps them between runs, and playback of the
// current entry under the one media alias "themidi".
#pragma once

#include <array>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "platform/app.h"
#include "platform/atomic_file.h"
#include "platform/mci.h"
#include "platform/prompts.h"
#include "platform/unique_fd.h"

class CMusicList {
public:
    static constexpr int kMaxMusic = 100;
    // The longest line held as an entry: the longest path the system allows.
    static constexpr std::size_t kMaxEntryLength = PATH_MAX - 1;

    // Probes the MIDI sequencer, then loads "Music.mus" from `strFolder`, or
    // from the current working directory when that is empty (creating it
    // empty when missing and the folder exists). Lines the table cannot hold
    // (past the 100th entry, or longer than any path) are not loaded: they
    // stay in the file and are kept at every save.
    CMusicList(platform::IMci& mci, platform::IPrompts& prompts, const platform::IApp& app,
               const std::string& strFolder = std::string());
    // Stops and closes the track; does not save.
    virtual ~CMusicList();

    CMusicList(const CMusicList&) = delete;
    CMusicList& operator=(const CMusicList&) = delete;

    int GetCount() const;
    std::string GetMusic(int nIndex) const;
    void SetMusic(int nIndex, const std::string& strPath);
    void SetCount(int nCount);
    void SetCurrent(int nIndex);
    void MoveNext();
    std::string GetCurrentMusic() const;

    // Rewrites "Music.mus" from entries 0 .. count-1, each followed by CR LF,
    // then the kept lines byte for byte in their order in the file. The old
    // file stays whole until the new one is complete; a folder that is not
    // there yet is made first. A failure is reported to the user and returns
    // false. A file that could not be read is first put aside under a name of
    // its own, and the user is told where.
    bool Save();

    bool Play();
    void Stop();
    // What the media layer tells of the track open now, which may be another
    // than the current entry; false when none is open.
    bool GetOpenTrack(platform::MciTrackInfo* info) const;
    bool Prev();
    bool Next();

    std::string m_szFileName;
    std::array<std::string, kMaxMusic> m_strMusic;
    int m_nCount = 0;
    int m_nCurrent = 0;

private:
    void ProbeSequencer();
    void BuildFileName(const std::string& strFolder);
    void Load();
    bool CopyKeptLines(platform::AtomicFile& to) const;

    // A run of bytes of the kept file.
    struct SKeptSpan {
        std::int64_t nOffset;
        std::int64_t nLength;
    };

    platform::IMci& m_mci;
    platform::IPrompts& m_prompts;
    const platform::IApp& m_app;
    // The file was there but could not be read: the first save keeps it aside
    // instead of replacing a playlist nobody has seen.
    bool m_bUnreadableFile = false;
    // The lines not loaded stay on disk, in the file they were read from (held
    // open, so that a later change of the folder cannot take them away), and
    // are streamed into each new file.
    platform::UniqueFd m_keptFile;
    std::vector<SKeptSpan> m_kept;
};

// The first entry of "Music.mus" in `strDirectory`, read as the store reads
// it (a line longer than any path is no entry); empty when the file is
// missing, unreadable or empty. Nothing is created
// or changed.
std::string ReadFirstMusic(const std::string& strDirectory);

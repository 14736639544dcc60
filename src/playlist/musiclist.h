// The playlist engine: a fixed table of up to 100 music-file paths, the current
// entry, the file "Music.mus" that keeps them between runs, and playback of the
// current entry under the one media alias "themidi".
#pragma once

#include <array>
#include <string>

#include "platform/app.h"
#include "platform/mci.h"
#include "platform/prompts.h"

class CMusicList {
public:
    static constexpr int kMaxMusic = 100;

    // Probes the MIDI sequencer, then loads "Music.mus" from the current
    // working directory (creating it empty when missing).
    CMusicList(platform::IMci& mci, platform::IPrompts& prompts, const platform::IApp& app);
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

    // Rewrites "Music.mus" from entries 0 .. count-1, each followed by CR LF.
    // The old file stays whole until the new one is complete; a failure is
    // reported to the user and returns false.
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
    void BuildFileName();
    void Load();

    platform::IMci& m_mci;
    platform::IPrompts& m_prompts;
    const platform::IApp& m_app;
    // The file was there but could not be read: the first save keeps it aside
    // instead of replacing a playlist nobody has seen.
    bool m_bUnreadableFile = false;
};

// The first entry of "Music.mus" in `strDirectory`, read as the store reads
// it; empty when the file is missing, unreadable or empty. Nothing is created
// or changed.
std::string ReadFirstMusic(const std::string& strDirectory);

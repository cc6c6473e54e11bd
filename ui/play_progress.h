// Where the open file stands, as the window and the desktop's media controls
// show it: its path, its playing time once a decoder has told it, the play
// state and the position of the sound heard. It keeps all of it while the
// file is paused or stopped, until another file is opened.
#pragma once

#include <QElapsedTimer>
#include <QObject>
#include <memory>
#include <string>

#include "player/engine_events.h"

class CEngineEventRelay;

class CPlayProgress : public QObject {
    Q_OBJECT

  public:
    // Follows the engine's events as the relay delivers them.
    explicit CPlayProgress(CEngineEventRelay& relay, QObject* pParent = nullptr);

    // Another document: nothing is known of its playing time yet. The title
    // is what a playlist called it, or empty.
    void SetFile(const std::string& strPath, const std::string& strTitle = {});

    const std::string& GetPath() const { return m_strPath; }
    // The file's name without its folder; empty without a file.
    std::string GetFileName() const;
    // What the window and the desktop call it: a live stream's title on air,
    // else "Title — Artist" from its tags, else the playlist's title, else
    // the file's name.
    std::string GetTitle() const;
    // What its tags say, once a decoder has read them; null before.
    const std::shared_ptr<const corvina::CTrackInfo>& GetTrackInfo() const { return m_pTrackInfo; }
    // A live stream's state (Playing for any other stream).
    corvina::ELiveState GetLiveState() const { return m_eLiveState; }
    // Seconds; 0 while unknown (before the first play, or for a pipe).
    double GetLength() const { return m_dLength; }
    // Seconds of the sound heard. Between two reports of a playing stream
    // it moves on with the clock, at most one report's step.
    double GetPosition() const;
    int GetState() const { return m_nState; }
    bool IsPlaying() const;

    // The one way in for the position of the sound heard, in seconds;
    // bMoved when it comes from a seek, a stop or an end rather than from
    // playing on.
    void OnHeardPosition(double dSeconds, bool bMoved);

  signals:
    // Anything above changed.
    void Changed();
    // The position moved other than by playing on: a seek, a stop, an end.
    void Jumped(double dSeconds);

  private:
    void OnPlayStateChanged(int nState);
    void OnPositionPercent(int nPercent, bool bMoved);
    void OnDecoderChanged(bool bHasDecoder, float fPlayingTime);
    // The engine reports whole percent of the playing time; this turns the
    // last report into seconds of the sound heard.
    void ShowReportedPosition(bool bMoved);

    std::string m_strPath;
    std::string m_strTitle;
    std::shared_ptr<const corvina::CTrackInfo> m_pTrackInfo;
    std::string m_strLiveTitle;
    corvina::ELiveState m_eLiveState = corvina::ELiveState::Playing;
    double m_dLength = 0.0;
    int m_nState = 0;
    int m_nPercent = 0;
    // The position at the last report, and the clock since then.
    double m_dAnchor = 0.0;
    QElapsedTimer m_sinceAnchor;
};

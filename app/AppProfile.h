#pragma once
#include <QString>

// The application's own profile: values that must survive between runs, kept in the user's
// XDG configuration folder ($XDG_CONFIG_HOME/tatview/varnelplayer.ini).
//
// Section "Info", key "TargetFolder": the folder that receives downloaded recordings.
// Threads: GUI thread.
class AppProfile {
public:
    // folder: where the file lives; empty for the user's configuration folder (tests pass a
    // temporary one).
    explicit AppProfile(QString folder = {});

    QString TargetFolder() const;
    void SetTargetFolder(const QString& folder);
    QString FilePath() const { return m_path; }

private:
    QString m_path;
};

#pragma once
#include <QObject>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class PlaybackController;
class QWidget;

// The capture button: saves the pictures of the recording that plays as JPEG files at their
// recorded size. Playback pauses while the user picks a file name (default
// "Capture_<y><m><d>_<h><m><s>.jpg" from the local time, without leading zeros); the front
// picture goes to the chosen name with "_front.jpg" in place of its extension, the rear one
// (two-channel recordings) with "_rear.jpg"; a recording of more than two cameras writes one
// file per camera named by its word ("_front.jpg", "_back.jpg", "_left_repeater.jpg", ...).
// Files that would be replaced are asked about
// first; a picture that cannot be written is told. Playback resumes when it was running.
//
// Threads: GUI thread.
class SnapshotCommand final : public QObject {
    Q_OBJECT
public:
    // Asks for the file to save (a save dialog); an empty text when the user cancels.
    using AskPath = std::function<QString(const QString& suggestedPath)>;
    // Asks a yes/no question; true for yes.
    using AskYesNo = std::function<bool(const QString& text)>;
    // Tells the user something.
    using Tell = std::function<void(const QString& text)>;

    // The controller and the window outlive the command. The default questions are dialogs
    // over the window.
    SnapshotCommand(PlaybackController& controller, uint16_t languageId, QWidget* window,
                    Tell tell);
    void SetAskPath(AskPath ask) { m_askPath = std::move(ask); }
    void SetAskYesNo(AskYesNo ask) { m_askYesNo = std::move(ask); }

    // The capture command. Nothing unless a recording is loaded and the list has rows.
    void Capture(int listRows);

    // The files a chosen name gives: its extension, whatever its length, replaced by
    // "_front.jpg" and, for two channels, "_rear.jpg"; a dot in a folder's name is not an
    // extension.
    static QStringList TargetsOf(const QString& chosen, int channels);
    // The files of the cameras with these words (channel order): those above for one or two
    // cameras, "_<word>.jpg" for each camera of more.
    static QStringList TargetsOf(const QString& chosen, const std::vector<std::string>& words);
    // "Capture_%d%d%d_%d%d%d.jpg" of a local date and time.
    static QString DefaultName(int year, int month, int day, int hour, int minute, int second);

private:
    PlaybackController& m_controller;
    uint16_t m_language;
    QWidget* m_window;
    Tell m_tell;
    AskPath m_askPath;
    AskYesNo m_askYesNo;
    QString m_folder; // where the last snapshot went
};

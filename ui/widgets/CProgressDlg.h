#pragma once
#include <QDialog>

#include <atomic>
#include <cstdint>

class QLabel;
class QProgressBar;
class QPushButton;

// The progress window of the window's exports, modeless, shown and hidden by their controllers.
// The download's, "TAT File Download": the file being exported with its place in the list
// ("NAME (2/3)"), a bar of its front frames, a bar of the files, and Cancel. A clip export's
// (one job): a line of text of its own, the frame bar, no file bar, and Cancel.
//
// Threads: everything on the GUI thread but Running and Cancel, which any thread may call.
class CProgressDlg final : public QDialog {
    Q_OBJECT
public:
    // cancelText: the Cancel button's caption in the user's language.
    CProgressDlg(const QString& cancelText, QWidget* parent);

    // A download of fileCount files starts: running again, the file bar at 0 of fileCount.
    void Arm(int fileCount);
    // File `index` (from 0) of `count` starts: its name, the file bar at index + 1, the frame
    // bar at its start.
    void StartFile(const QString& name, int index, int count);
    // Front frames written of the current file; a total of 0 shows a range of 1,000.
    void SetFrames(int64_t written, int64_t total);
    // The line above the bars ("120 of 900 frames, 00:12 left").
    void SetText(const QString& text);
    // Shows or hides the bar of the files (shown at first).
    void SetFileBarVisible(bool visible);
    // False once Cancel was pressed.
    bool Running() const { return m_running.load(std::memory_order_acquire); }
    // What Cancel does: the download stops at the next front frame. Any thread.
    void Cancel() { m_running.store(false, std::memory_order_release); }

    QString FileText() const;
    int FileValue() const;
    int FrameValue() const;
    int FrameMaximum() const;
    QPushButton* CancelButton() const { return m_cancel; }

signals:
    // Cancel was pressed (or Escape, or the close box); after Running turned false.
    void cancelRequested();

protected:
    void reject() override; // Escape and the close box cancel too

private:
    std::atomic<bool> m_running{true};
    QLabel* m_file;
    QProgressBar* m_frames;
    QProgressBar* m_files;
    QPushButton* m_cancel;
};

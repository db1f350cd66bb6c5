#pragma once

#include "ClipChoices.h"

#include <QDialog>
#include <QString>

#include <functional>

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;
class QSpinBox;

// The clip export dialog, a view of ClipChoices: the span (start – end, length, recordings),
// the layout of the cameras, the overlay, the quality (re-encoded H.264 with its CRF and
// preset, or a lossless copy with its notice), the sound and the target file with Browse….
// Export (the default button: Enter) checks the choices, tells what is wrong under them and
// stays open, asks before files are replaced, and accepts; Cancel and Escape reject. Every
// control takes the keyboard, in the order shown.
//
// Threads: GUI thread.
class CClipExportDlg final : public QDialog {
    Q_OBJECT
public:
    // Asks for the target (title, suggested path); empty when the user cancels.
    using AskPath = std::function<QString(const QString& title, const QString& suggested)>;
    // Asks a yes/no question; true for yes.
    using AskYesNo = std::function<bool(const QString& text)>;

    CClipExportDlg(ClipChoices choices, QWidget* parent);

    void SetAskPath(AskPath ask) { m_askPath = std::move(ask); }
    void SetAskYesNo(AskYesNo ask) { m_askYesNo = std::move(ask); }
    // The choices as the controls show them.
    const ClipChoices& Choices() const { return m_choices; }

    QLabel* SpanLabel() const { return m_span; }
    QComboBox* LayoutBox() const { return m_layout; }
    QCheckBox* OverlayBox() const { return m_overlay; }
    QRadioButton* ReencodeButton() const { return m_reencode; }
    QRadioButton* LosslessButton() const { return m_lossless; }
    QSlider* CrfSlider() const { return m_crfSlider; }
    QSpinBox* CrfBox() const { return m_crfBox; }
    QComboBox* PresetBox() const { return m_preset; }
    QLabel* NoticeLabel() const { return m_notice; }
    QCheckBox* SoundBox() const { return m_sound; }
    QLineEdit* TargetEdit() const { return m_target; }
    QPushButton* BrowseButton() const { return m_browse; }
    QPushButton* ExportButton() const { return m_export; }
    QLabel* ErrorLabel() const { return m_error; }

public slots:
    void accept() override;

private:
    void Browse();
    // The controls' enabled states and the notice from the choices.
    void Sync();
    QString Text(int id) const;

    ClipChoices m_choices;
    AskPath m_askPath;
    AskYesNo m_askYesNo;
    QLabel* m_span;
    QComboBox* m_layout;
    QCheckBox* m_overlay;
    QRadioButton* m_reencode;
    QRadioButton* m_lossless;
    QSlider* m_crfSlider;
    QSpinBox* m_crfBox;
    QComboBox* m_preset;
    QLabel* m_notice;
    QCheckBox* m_sound;
    QLineEdit* m_target;
    QPushButton* m_browse;
    QLabel* m_error;
    QDialogButtonBox* m_buttons;
    QPushButton* m_export;
};

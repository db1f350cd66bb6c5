#pragma once
#include <QDialog>

#include <cstdint>
#include <string>
#include <vector>

class QComboBox;
class QLabel;
class QPushButton;

// The drive selection dialog "Select Drive": a combo box of the cards (DriveList entries,
// "<root> SD CARD") whose edit field also takes a typed root, and OK. The first entry is
// selected; OK returns the combo box's text as it stands, Escape and the close box cancel.
// Without entries the dialog cancels itself before it is shown.
//
// Threads: GUI thread.
class CSelectDriveDlg final : public QDialog {
    Q_OBJECT
public:
    // Control ids of the dialog's template.
    enum Id { Combo = 1024, Ok = 1, Label = 1232, Hint = 1233 };

    // entries: in the order shown (DriveList::Entries sorts them).
    CSelectDriveDlg(const std::vector<std::string>& entries, uint16_t languageId,
                    QWidget* parent = nullptr);

    // The modal run; Rejected at once, without showing anything, when there is no entry.
    int exec() override;

    // The combo box's text taken on OK; empty before.
    const QString& SelectedDrive() const { return m_selected; }

    QWidget* Control(int id) const;

private:
    void OnOk();

    QComboBox* m_combo;
    QLabel* m_label;
    QLabel* m_hint;
    QPushButton* m_ok;
    QString m_selected;
};

#pragma once
// The name prompt ("Filename") and the replace prompt ("Save file") that the
// curve editor's Save uses.
//
// NameDialog opens with "QZ USER". OK checks the typed name: an empty name is
// reported and a fresh prompt is run; a name that could leave the data folder
// or that the file system cannot store is reported and this prompt stays open;
// a name whose ".syx" file exists in the syx folder (exact case) is accepted
// only after a Yes, otherwise a fresh prompt is run. An accepted name is left
// in RunBasics::chosenName; the dialog ends with OK in every case but its own
// Cancel, so callers read the name from there.
#include "base/widgets/RunBasics.h"

#include <QDialog>

class QLineEdit;
class QPushButton;

namespace quillon::base {

class NameDialog : public QDialog {
    Q_OBJECT
public:
    explicit NameDialog(RunBasics& run, QWidget* parent = nullptr);

    QLineEdit& nameField() const { return *m_name; }
    QPushButton& okButton() const { return *m_ok; }
    QPushButton& cancelButton() const { return *m_cancel; }

public slots:
    void accept() override;

private:
    // Runs a new prompt like this one; its outcome only shows in chosenName.
    void runFreshPrompt();
    bool syxFileExists(const std::string& name) const;

    RunBasics& m_run;
    QLineEdit* m_name = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
};

// "Replace the existing file？" with Yes (accepted) and No (rejected).
class ReplaceDialog : public QDialog {
    Q_OBJECT
public:
    explicit ReplaceDialog(QWidget* parent = nullptr);

    QPushButton& yesButton() const { return *m_yes; }
    QPushButton& noButton() const { return *m_no; }

private:
    QPushButton* m_yes = nullptr;
    QPushButton* m_no = nullptr;
};

// Runs the name prompt through the run's message service; true for OK.
bool askForName(RunBasics& run, QWidget* parent);
// Runs the replace prompt; true for Yes.
bool askToReplace(RunBasics& run, QWidget* parent);

} // namespace quillon::base

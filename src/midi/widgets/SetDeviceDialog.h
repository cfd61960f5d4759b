#pragma once
// "Set device": where the user picks the MIDI output and input that lead to
// the keyboard. Every list entry carries its port's identity, so the choice
// means the port that was shown even when ports before it are missing or the
// list has changed since. A stored port that has gone is shown as
// "(not connected)" and kept as it is: the window that uses it reports that it
// cannot be opened; it is never silently replaced by another port.
//
// While the dialog is open, ports that appear or go show up in the lists
// without Refresh, as the backends announce them; the entries the user has
// chosen stay chosen. "Default MIDI output" stands for one device, resolved
// when the lists are filled and stored so: a keyboard that appears moves it
// only together with the input that went with it, and a device that goes
// later is not silently replaced by another.
#include "midi/io/MidiSystem.h"

#include <QDialog>

#include <atomic>
#include <memory>
#include <vector>

class QComboBox;
class QLabel;
class QPushButton;

namespace quillon::midi {

class SetDeviceDialog : public QDialog {
    Q_OBJECT
public:
    SetDeviceDialog(MidiSystem& midi, PortChoice output, PortChoice input, QWidget* parent = nullptr);

    // What OK stores. An empty list yields a choice that names no port, so the
    // window that later opens it reports the failure.
    PortChoice chosenOutput() const;
    PortChoice chosenInput() const;

    QComboBox& outputList() const { return *m_outputList; }
    QComboBox& inputList() const { return *m_inputList; }
    // Under the output list: which port "Default MIDI output" stands for now
    // (elided to fit; its tooltip has the whole text).
    const QLabel& defaultOutputLabel() const { return *m_defaultOutput; }
    QPushButton& refreshButton() const { return *m_refresh; }
    QPushButton& okButton() const { return *m_ok; }
    QPushButton& cancelButton() const { return *m_cancel; }

    // Forgets what is shown, lists the ports again and selects the first entries
    // (the default output route and the first input, which are one device).
    void refresh();

    // Lists the ports again, keeping the entries now chosen (a backend announced a change).
    void portsChanged();

private:
    void buildControls();
    void fill(const PortChoice& output, const PortChoice& inputChoice);

    MidiSystem& m_midi;
    std::vector<PortChoice> m_outputs; // one per output list entry, in list order
    std::vector<PortChoice> m_inputs;  // one per input list entry, in list order
    QComboBox* m_outputList = nullptr;
    QComboBox* m_inputList = nullptr;
    QLabel* m_defaultOutput = nullptr;
    QPushButton* m_refresh = nullptr;
    QPushButton* m_ok = nullptr;
    QPushButton* m_cancel = nullptr;
    std::atomic<bool> m_changePending{false}; // one relisting for a burst of announcements
    std::unique_ptr<PortWatch> m_portWatch;   // last: it stops before anything it reaches goes
};

} // namespace quillon::midi

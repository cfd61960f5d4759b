#include "midi/widgets/SetDeviceDialog.h"

#include "base/core/Messages.h"
#include "ui/DialogUnits.h"
#include "ui/GroupFrame.h"
#include "ui/QtText.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QFrame>
#include <QLabel>
#include <QPushButton>

namespace quillon::midi {

namespace {

// Where a stored choice stands in a list of entries; -1 when it is not there.
int positionOf(const std::vector<PortChoice>& entries, const PortChoice& choice)
{
    for (std::size_t i = 0; i < entries.size(); ++i)
        if (entries[i] == choice)
            return static_cast<int>(i);
    return -1;
}
} // namespace

SetDeviceDialog::SetDeviceDialog(MidiSystem& midi, PortChoice output, PortChoice input, QWidget* parent)
    : QDialog(parent), m_midi(midi)
{
    setWindowTitle(QStringLiteral("Set device"));
    setWindowFlags(Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFont(ui::dialogFont("Arial", 9));
    buildControls();
    // Before any choice: the default output route and the first input, one device.
    if (output.kind == PortChoice::Kind::NotChosen)
        output = PortChoice::defaultRoute();
    fill(output, input);

    // Announcements come on a backend's thread; the lists change on this one.
    m_portWatch = m_midi.watchPorts([this] {
        if (!m_changePending.exchange(true))
            QMetaObject::invokeMethod(this, &SetDeviceDialog::portsChanged, Qt::QueuedConnection);
    });
}

void SetDeviceDialog::portsChanged()
{
    m_changePending = false;
    fill(chosenOutput(), chosenInput());
}

void SetDeviceDialog::buildControls()
{
    const ui::DialogUnits units(font());
    setFixedSize(units.size(222, 71));

    auto* frame = ui::makeGroupFrame(QStringLiteral("Device settings"), this);
    units.place(*frame, 7, 3, 208, 43);

    // A caption over a drop-down list; the list is never shorter than the style needs.
    const auto addPortList = [&](const QString& caption, int x) {
        auto* label = new QLabel(caption, this);
        units.place(*label, x, 13, 29, 8);
        auto* list = new QComboBox(this);
        list->setAccessibleName(caption.trimmed());
        const QRect rect = units.rect(x, 23, 93, 12);
        list->setGeometry(rect.x(), rect.y(), rect.width(), std::max(rect.height(), list->sizeHint().height()));
        return list;
    };
    m_inputList = addPortList(QStringLiteral("MIDI In "), 11);

    auto* divider = new QFrame(this);
    divider->setFrameShape(QFrame::VLine);
    divider->setFrameShadow(QFrame::Sunken);
    const QRect line = units.rect(109, 8, 1, 33);
    divider->setGeometry(line.x() - 1, line.y(), 3, line.height());

    m_outputList = addPortList(QStringLiteral("MIDI Out"), 117);
    m_defaultOutput = new QLabel(this);
    const QRect under = units.rect(117, 36, 93, 8);
    m_defaultOutput->setGeometry(under.x(), std::max(under.y(), m_outputList->geometry().bottom() + 1), under.width(),
                                 under.height());

    m_refresh = new QPushButton(QStringLiteral("Refresh"), this);
    units.place(*m_refresh, 39, 50, 39, 14);
    m_cancel = new QPushButton(QStringLiteral("Cancel"), this);
    units.place(*m_cancel, 92, 50, 39, 14);
    m_ok = new QPushButton(QStringLiteral("OK"), this);
    units.place(*m_ok, 145, 50, 39, 14);
    m_ok->setDefault(true);

    connect(m_refresh, &QPushButton::clicked, this, &SetDeviceDialog::refresh);
    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_ok, &QPushButton::clicked, this, &QDialog::accept);
}

void SetDeviceDialog::fill(const PortChoice& output, const PortChoice& inputChoice)
{
    m_outputs.clear();
    m_inputs.clear();
    m_outputList->clear();
    m_inputList->clear();

    // The default entry means one device, resolved now. It follows a device
    // that became the default only together with the input that went with
    // the old one; beside an input of another device it stays where it was.
    PortChoice input = inputChoice;
    const bool inputWentAlong = output.defaultResolved() && input.kind == PortChoice::Kind::Port &&
                                MidiSystem::sameDevice(output.port, input.port);
    std::optional<PortRef> defaultPort;
    if (output.defaultResolved() && !inputWentAlong) {
        defaultPort = output.port;
    } else {
        const auto pair = m_midi.defaultDevice();
        defaultPort =
            pair ? std::optional(pair->output) : m_midi.resolve(PortChoice::defaultRoute(), Direction::Output);
        if (inputWentAlong && pair)
            input = PortChoice::of(pair->input);
    }
    m_outputs.push_back(defaultPort ? PortChoice::defaultRoute(*defaultPort) : PortChoice::of(PortRef{}));
    m_outputList->addItem(qt(text::kDefaultOutputEntry));
    // A default device that has gone is named as such: confirming it again sends nowhere.
    const auto defaultNow =
        defaultPort ? m_midi.resolve(PortChoice::of(*defaultPort), Direction::Output) : std::nullopt;
    QString defaultLabel =
        defaultPort ? QString::fromStdString(defaultPort->name) + qt(text::kPortMissingSuffix) : QString();
    for (const PortInfo& port : m_midi.outputs()) {
        m_outputs.push_back(PortChoice::of(port.ref));
        m_outputList->addItem(QString::fromStdString(port.label));
        if (port.ref == defaultNow)
            defaultLabel = QString::fromStdString(port.label);
    }
    // A long port name keeps its start and its end ("Quillon Vir…Keyboard"); the tooltip has it whole.
    const QString full = defaultLabel.isEmpty() ? QString() : qt(text::kDefaultOutputMeans) + defaultLabel;
    m_defaultOutput->setText(
        m_defaultOutput->fontMetrics().elidedText(full, Qt::ElideMiddle, m_defaultOutput->contentsRect().width()));
    m_defaultOutput->setToolTip(full);
    for (const PortInfo& port : m_midi.inputs()) {
        m_inputs.push_back(PortChoice::of(port.ref));
        m_inputList->addItem(QString::fromStdString(port.label));
    }

    // A stored port is looked up by identity; when it has gone it keeps an entry
    // of its own, so confirming again does not swap it for whatever stands there now.
    const auto select = [](QComboBox& list, std::vector<PortChoice>& entries, const PortChoice& stored,
                           Direction direction, MidiSystem& midi) {
        int position = 0;
        if (stored.kind == PortChoice::Kind::Port) {
            const auto now = midi.resolve(stored, direction);
            position = now ? positionOf(entries, PortChoice::of(*now)) : -1;
            if (position < 0) {
                entries.push_back(stored);
                list.addItem(QString::fromStdString(stored.port.name) + qt(text::kPortMissingSuffix));
                position = static_cast<int>(entries.size()) - 1;
            }
        }
        list.setCurrentIndex(position < static_cast<int>(entries.size()) ? position : -1);
    };
    select(*m_outputList, m_outputs, output, Direction::Output, m_midi);
    select(*m_inputList, m_inputs, input, Direction::Input, m_midi);

    for (QComboBox* list : {m_outputList, m_inputList})
        list->view()->setMinimumWidth(list->view()->sizeHintForColumn(0) + 8);
}

void SetDeviceDialog::refresh() { fill(PortChoice::defaultRoute(), PortChoice::notChosen()); }

PortChoice SetDeviceDialog::chosenOutput() const
{
    const int position = m_outputList->currentIndex();
    if (position < 0 || position >= static_cast<int>(m_outputs.size()))
        return PortChoice::of(PortRef{});
    return m_outputs[static_cast<std::size_t>(position)];
}

PortChoice SetDeviceDialog::chosenInput() const
{
    const int position = m_inputList->currentIndex();
    if (position < 0 || position >= static_cast<int>(m_inputs.size()))
        return PortChoice::of(PortRef{});
    return m_inputs[static_cast<std::size_t>(position)];
}

} // namespace quillon::midi

// The Set device window over a fake port list: what each confirmation stores,
// and that a stored choice keeps meaning the port that was shown.
#include "../support/QtTestMain.h"
#include "../support/SessionRig.h"
#include "FakeBackend.h"

#include "app/widgets/MainWindow.h"
#include "base/widgets/Session.h"
#include "midi/io/JackClient.h"
#include "midi/widgets/SetDeviceDialog.h"
#include "ui/MessageService.h"

#include <QComboBox>
#include <QPushButton>
#include <QtTest>

#include <unistd.h>

using quillon::midi::Direction;
using quillon::midi::PortChoice;
using quillon::midi::PortRef;
using quillon::midi::SetDeviceDialog;
using quillon::testing::FakeBackend;
using quillon::testing::FakeMidi;

namespace {

QStringList entries(const QComboBox& list)
{
    QStringList texts;
    for (int i = 0; i < list.count(); ++i)
        texts << list.itemText(i);
    return texts;
}

} // namespace

class DeviceDialogTest : public QObject {
    Q_OBJECT
private slots:
    // A first opening, and Refresh whatever was chosen before, select the
    // default route and the first input.
    void firstOpeningAndRefreshShowTheDefaultRouteAndFirstInput()
    {
        FakeMidi midi;
        SetDeviceDialog dialog(*midi.system, PortChoice::notChosen(), PortChoice::notChosen());
        QCOMPARE(entries(dialog.outputList()), QStringList({"Default MIDI output", "Out A", "Out B", "Out C"}));
        QCOMPARE(entries(dialog.inputList()), QStringList({"In A", "In B", "In C"}));
        const auto showsDefaults = [&] {
            return dialog.outputList().currentIndex() == 0 && dialog.inputList().currentIndex() == 0 &&
                   dialog.chosenOutput() == PortChoice::defaultRoute() &&
                   dialog.chosenInput() == PortChoice::of(midi.backend->ref(0, "In A"));
        };
        QVERIFY(showsDefaults());

        dialog.outputList().setCurrentIndex(3);
        dialog.inputList().setCurrentIndex(2);
        midi.backend->setOutputs({{0, "Out A"}, {1, "Out B"}, {2, "Out C"}, {3, "Out D"}});
        QTest::mouseClick(&dialog.refreshButton(), Qt::LeftButton);
        QCOMPARE(dialog.outputList().count(), 5);
        QVERIFY(showsDefaults());
    }

    // Entries picked by list row store the port shown there, also when a port
    // whose query failed is missing from the middle of the list.
    void chosenEntriesStoreThePortsShown()
    {
        FakeMidi midi;
        const auto chosen = [&](int outputRow, int inputRow) {
            SetDeviceDialog dialog(*midi.system, PortChoice::notChosen(), PortChoice::notChosen());
            dialog.outputList().setCurrentIndex(outputRow);
            dialog.inputList().setCurrentIndex(inputRow);
            return std::pair{dialog.chosenOutput(), dialog.chosenInput()};
        };
        QVERIFY(chosen(1, 2) ==
                std::pair(PortChoice::of(midi.backend->ref(0, "Out A")), PortChoice::of(midi.backend->ref(2, "In C"))));
        midi.backend->setOutputs({{0, "Out A"}, {2, "Out C"}, {3, "Out D"}});
        midi.backend->setInputs({{0, "In A"}, {2, "In C"}});
        QVERIFY(chosen(2, 1) ==
                std::pair(PortChoice::of(midi.backend->ref(2, "Out C")), PortChoice::of(midi.backend->ref(2, "In C"))));
    }

    // Reopened over a list that changed since, the window shows the stored
    // port where it is now, or keeps it marked when it is gone.
    void aStoredChoiceIsShownAgainInAChangedList()
    {
        FakeMidi midi;
        const struct {
            std::vector<std::pair<int, std::string>> outputs;
            PortRef stored;
            QString shown;
            PortRef chosen;
        } cases[] = {
            {{{0, "Out A"}, {1, "Out B"}, {2, "Out C"}},
             midi.backend->ref(2, "Out C"),
             "Out C",
             midi.backend->ref(2, "Out C")},
            {{{0, "New port"}, {1, "Out A"}, {2, "Out B"}},
             midi.backend->ref(1, "Out B"),
             "Out B",
             midi.backend->ref(2, "Out B")},
            {{{0, "Out A"}, {1, "Out B"}},
             midi.backend->ref(2, "Out C"),
             "Out C (not connected)",
             midi.backend->ref(2, "Out C")},
        };
        // The inputs change the same way, named "In" where the outputs say "Out".
        const auto in = [](std::string name) { return name.starts_with("Out") ? name.replace(0, 3, "In") : name; };
        for (const auto& c : cases) {
            auto inputs = c.outputs;
            for (auto& port : inputs)
                port.second = in(port.second);
            midi.backend->setOutputs(c.outputs);
            midi.backend->setInputs(inputs);
            const PortRef storedIn = midi.backend->ref(c.stored.index, in(c.stored.name));
            SetDeviceDialog dialog(*midi.system, PortChoice::of(c.stored), PortChoice::of(storedIn));
            QCOMPARE(dialog.outputList().currentText(), c.shown);
            QCOMPARE(dialog.inputList().currentText(), QString::fromStdString(in(c.shown.toStdString())));
            QVERIFY(dialog.chosenOutput() == PortChoice::of(c.chosen));
            QVERIFY(dialog.chosenInput() == PortChoice::of(midi.backend->ref(c.chosen.index, in(c.chosen.name))));
        }
    }

    void emptyListsStoreAChoiceThatOpensNothing()
    {
        FakeMidi midi;
        midi.backend->setOutputs({});
        midi.backend->setInputs({});
        SetDeviceDialog dialog(*midi.system, PortChoice::notChosen(), PortChoice::notChosen());
        QCOMPARE(dialog.inputList().count(), 0);
        QCOMPARE(dialog.outputList().count(), 1); // the default route is always offered
        const PortChoice input = dialog.chosenInput();
        QVERIFY(input.kind == PortChoice::Kind::Port);
        QVERIFY(!midi.system->resolve(input, Direction::Input).has_value());
    }

    // Across the test JACK server (run-tests.sh starts one); skipped without it.
    void portsOfAJackClientStartedAndStoppedShowWithoutRefresh()
    {
        // The JACK backend is always there (its client opens on first use), so
        // whether a server answers is asked of the server itself.
        if (!quillon::midi::JackClient::open("quillon-probe-" + std::to_string(::getpid())))
            QSKIP("no JACK server reachable");
        auto midi = quillon::midi::MidiSystem::createDefault();
        SetDeviceDialog dialog(*midi, PortChoice::notChosen(), PortChoice::notChosen());
        QComboBox& outputs = dialog.outputList();
        outputs.setCurrentIndex(outputs.count() - 1); // the user's choice, which must stay
        const QString chosen = outputs.currentText();
        const QStringList before = entries(outputs);
        const auto shows = [&](const std::string& port) {
            const QStringList listed = entries(outputs);
            return std::any_of(listed.begin(), listed.end(),
                               [&](const QString& entry) { return entry.endsWith(QString::fromStdString(port)); });
        };

        // A program's input port is somewhere to send to: it shows among the outputs.
        auto client = quillon::midi::JackClient::open("quillon-comes-and-goes-" + std::to_string(::getpid()));
        QVERIFY(client != nullptr);
        auto port = client->openInputPort("in", [](std::span<const std::uint8_t>) {});
        QVERIFY(port != nullptr);
        const std::string name = client->portFullName("in");
        QTRY_VERIFY(shows(name));
        QCOMPARE(outputs.currentText(), chosen);

        port.reset();
        client.reset();
        QTRY_VERIFY(!shows(name));
        QCOMPARE(outputs.currentText(), chosen);
        QCOMPARE(entries(outputs), before);
    }

    // Confirming the defaults must reach one device both ways, or the keyboard's
    // replies go to a port nobody listens to. quillon-cli's -1/0 mean the same.
    void theDefaultsPairOneDevice_data()
    {
        QTest::addColumn<QStringList>("outputs");
        QTest::addColumn<QStringList>("inputs");
        QTest::addColumn<QString>("device");
        QTest::newRow("no real port") << QStringList() << QStringList() << "Built-in";
        QTest::newRow("one device, output on a second client")
            << QStringList{"kbd:in"} << QStringList{"kbd-out:out"} << "kbd";
        QTest::newRow("two devices and an output-only synth") << QStringList{"synth:in", "beta:in 130:0", "alpha:in"}
                                                              << QStringList{"alpha:out", "beta:out 130:1"} << "beta";
    }
    void theDefaultsPairOneDevice()
    {
        QFETCH(QStringList, outputs);
        QFETCH(QStringList, inputs);
        QFETCH(QString, device);
        std::vector<std::unique_ptr<quillon::midi::Backend>> backends;
        auto builtIn = std::make_unique<FakeBackend>("Virtual");
        builtIn->setOutputs({{0, "Built-in"}});
        builtIn->setInputs({{0, "Built-in"}});
        backends.push_back(std::move(builtIn));
        auto real = std::make_unique<FakeBackend>("ALSA");
        const auto numbered = [](const QStringList& names) {
            std::vector<std::pair<int, std::string>> ports;
            for (const QString& name : names)
                ports.emplace_back(static_cast<int>(ports.size()), name.toStdString());
            return ports;
        };
        real->setOutputs(numbered(outputs));
        real->setInputs(numbered(inputs));
        backends.push_back(std::move(real));
        quillon::midi::MidiSystem system(std::move(backends));

        SetDeviceDialog dialog(system, PortChoice::notChosen(), PortChoice::notChosen());
        const auto out = system.resolve(dialog.chosenOutput(), Direction::Output);
        const auto in = system.resolve(dialog.chosenInput(), Direction::Input);
        QVERIFY(out && in);
        QCOMPARE(QString::fromStdString(out->name).section(':', 0, 0), device);
        QCOMPARE(QString::fromStdString(in->name).section(':', 0, 0).remove("-out"), device);
        QCOMPARE(dialog.defaultOutputText(), "Default: " + QString::fromStdString(out->name));
        QVERIFY(system.resolve(system.choiceForIndex(-1, Direction::Output), Direction::Output) == out);
        QVERIFY(system.resolve(system.choiceForIndex(0, Direction::Input), Direction::Input) == in);
    }

    void theMainWindowKeepsOrChangesTheSessionChoice()
    {
        quillon::testing::SessionRig rig(quillon::testing::backendsOf(std::make_unique<FakeBackend>("Fake")));
        auto& fake = rig.backend<FakeBackend>(0);
        fake.setOutputs({{0, "Out A"}, {1, "Out B"}, {2, "Out C"}});
        fake.setInputs({{0, "In A"}, {1, "In B"}, {2, "In C"}});
        auto& messages = rig.messages;
        auto& session = rig.session;
        quillon::app::MainWindow window(session);
        QPushButton& devices = window.button("Devcie");

        // Which entry means which port is the dialog's own tests'; here OK stores it, Cancel does not.
        messages.onNextDialog([](QDialog& d) {
            auto& dialog = static_cast<SetDeviceDialog&>(d);
            dialog.outputList().setCurrentIndex(3);
            dialog.inputList().setCurrentIndex(1);
            dialog.okButton().click();
        });
        devices.click();
        const PortChoice chosenOut = PortChoice::of(fake.ref(2, "Out C"));
        const PortChoice chosenIn = PortChoice::of(fake.ref(1, "In B"));
        QVERIFY(session.outputChoice == chosenOut);
        QVERIFY(session.inputChoice == chosenIn);

        // Refresh then Cancel keeps the stored choice.
        messages.onNextDialog([](QDialog& d) {
            auto& dialog = static_cast<SetDeviceDialog&>(d);
            QCOMPARE(dialog.outputList().currentText(), QStringLiteral("Out C"));
            dialog.refreshButton().click();
            dialog.cancelButton().click();
        });
        devices.click();
        QVERIFY(session.outputChoice == chosenOut);
        QVERIFY(session.inputChoice == chosenIn);
        QCOMPARE(messages.dialogTitles().size(), std::size_t(2));
    }
};

QUILLON_QTEST(DeviceDialogTest)
#include "DeviceDialogTest.moc"

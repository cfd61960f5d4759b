// The Set device window over a fake port list: what each confirmation stores,
// and that a stored choice keeps meaning the port that was shown.
#include "../support/QtTestMain.h"
#include "../support/SessionRig.h"

#include "app/widgets/MainWindow.h"
#include "base/core/Messages.h"
#include "midi/core/DeviceFrame.h"
#include "midi/widgets/SetDeviceDialog.h"

#include <QComboBox>
#include <QPushButton>
#include <QtTest>

using namespace quillon::midi;
using namespace quillon::testing;

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
        SetDeviceDialog dialog(*midi.midi, PortChoice::notChosen(), PortChoice::notChosen());
        QCOMPARE(entries(dialog.outputList()),
                 QStringList({"Default MIDI output", "Fake: Out A", "Fake: Out B", "Fake: Out C"}));
        QCOMPARE(entries(dialog.inputList()), QStringList({"Fake: In A", "Fake: In B", "Fake: In C"}));
        const auto showsDefaults = [&] {
            return dialog.outputList().currentIndex() == 0 && dialog.inputList().currentIndex() == 0 &&
                   dialog.chosenOutput() == PortChoice::defaultRoute(midi.fake.ref(0, "Out A")) &&
                   dialog.chosenInput() == PortChoice::of(midi.fake.ref(0, "In A"));
        };
        QVERIFY(showsDefaults());

        // An entry stores the port shown there, also when a port whose query failed is missing before it.
        midi.fake.m_outputs = {"Out A", "", "Out C", "Out D"};
        midi.fake.m_inputs = {"In A", "", "In C"};
        QTest::mouseClick(&dialog.refreshButton(), Qt::LeftButton);
        dialog.outputList().setCurrentIndex(2);
        dialog.inputList().setCurrentIndex(1);
        QVERIFY(dialog.chosenOutput() == PortChoice::of(midi.fake.ref(2, "Out C")));
        QVERIFY(dialog.chosenInput() == PortChoice::of(midi.fake.ref(2, "In C")));
        midi.fake.m_outputs = {"Out A", "Out B", "Out C", "Out D"};
        midi.fake.m_inputs = {"In A", "In B", "In C"};
        QTest::mouseClick(&dialog.refreshButton(), Qt::LeftButton);
        QCOMPARE(dialog.outputList().count(), 5);
        QVERIFY(showsDefaults());
    }

    // Reopened over a list that changed since, the window shows the stored
    // port where it is now, or keeps it marked when it is gone.
    void aStoredChoiceIsShownAgainInAChangedList()
    {
        FakeMidi midi;
        // Both directions list the same names and store the same port, and must show it alike.
        const struct {
            std::vector<std::string> ports;
            PortRef stored;
            QString shown;
            PortRef chosen;
        } cases[] = {
            {{"A", "B", "C"}, midi.fake.ref(2, "C"), "Fake: C", midi.fake.ref(2, "C")},
            {{"New port", "A", "B"}, midi.fake.ref(1, "B"), "Fake: B", midi.fake.ref(2, "B")},
            {{"A", "B"}, midi.fake.ref(2, "C"), "C (not connected)", midi.fake.ref(2, "C")},
        };
        for (const auto& c : cases) {
            midi.fake.m_outputs = midi.fake.m_inputs = c.ports;
            SetDeviceDialog dialog(*midi.midi, PortChoice::of(c.stored), PortChoice::of(c.stored));
            QCOMPARE(dialog.outputList().currentText(), c.shown);
            QCOMPARE(dialog.inputList().currentText(), c.shown);
            QVERIFY(dialog.chosenOutput() == PortChoice::of(c.chosen));
            QVERIFY(dialog.chosenInput() == PortChoice::of(c.chosen));
        }
        // Each direction looks its stored port up in its own list only.
        midi.fake.m_inputs = {"X"};
        SetDeviceDialog dialog(*midi.midi, PortChoice::of(midi.fake.ref(0, "A")),
                               PortChoice::of(midi.fake.ref(0, "X")));
        QCOMPARE(dialog.outputList().currentText(), QStringLiteral("Fake: A"));
        QCOMPARE(dialog.inputList().currentText(), QStringLiteral("Fake: X"));
    }

    // "Default MIDI output" is one device: a keyboard that appears while the
    // window is open takes output and input along, OK fixes that device, and
    // once it has gone a send fails rather than reach the built-in keyboard,
    // which the window names when it is all there is.
    void theDefaultIsOneDeviceFixedAtConfirmation()
    {
        auto usb = std::make_unique<FakeBackend>("ALSA");
        FakeBackend& keys = *usb;
        quillon::testing::SessionRig rig(
            quillon::testing::backendsOf(std::make_unique<quillon::midi::VirtualKeyboard>(), std::move(usb)));
        quillon::app::MainWindow window(rig.session);
        const std::string usbName = "USB Keys:USB Keys MIDI 1 20:0";
        const auto confirm = [&](std::vector<std::string> appearing) {
            rig.messages.onNextDialog([&](QDialog& d) {
                auto& dialog = static_cast<SetDeviceDialog&>(d);
                keys.m_outputs = keys.m_inputs = appearing;
                dialog.portsChanged();
                dialog.okButton().click();
            });
            window.button("Devcie").click();
        };
        confirm({usbName});
        QVERIFY(rig.session.outputChoice == PortChoice::defaultRoute(keys.ref(0, usbName)));
        QVERIFY(rig.session.inputChoice == PortChoice::of(keys.ref(0, usbName)));
        QVERIFY(rig.messages.messages().empty());

        // Refresh, another entry, then Cancel keeps the stored choice.
        rig.messages.onNextDialog([](QDialog& d) {
            auto& dialog = static_cast<SetDeviceDialog&>(d);
            dialog.refreshButton().click();
            dialog.outputList().setCurrentIndex(1);
            dialog.cancelButton().click();
        });
        window.button("Devcie").click();
        QVERIFY(rig.session.outputChoice == PortChoice::defaultRoute(keys.ref(0, usbName)));
        QVERIFY(rig.session.inputChoice == PortChoice::of(keys.ref(0, usbName)));

        keys.m_outputs.clear();
        QVERIFY(rig.midi->sendOne(rig.session.outputChoice, quillon::frame::buildTransferControl()) ==
                quillon::midi::SendResult::OpenFailed);
        QCOMPARE(rig.midi->keyboard()->messagesReceived(), 0u);

        confirm({});
        QVERIFY(rig.session.outputChoice == PortChoice::defaultRoute(quillon::testing::keyboardPort().port));
        QCOMPARE(rig.messages.messages().size(), std::size_t(1));
        QCOMPARE(rig.messages.messages()[0].text, std::string(quillon::text::kDefaultIsBuiltIn));
    }
};

QUILLON_QTEST(DeviceDialogTest)
#include "DeviceDialogTest.moc"
